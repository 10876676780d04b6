#!/usr/bin/env bash
# Fetches the third-party sources the Windows program builds from, as
# Debian ships them, into build/_deps/ (once: a second run finds them and
# does nothing):
#   build/_deps/bearssl-src   BearSSL, the program's own TLS 1.2 for https on
#                             Windows versions whose system TLS is too old
# The source entries and package lists are private to this run; the
# machine's apt setup is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

fetch_source_package bearssl "$PWD/build/_deps/bearssl-src"
