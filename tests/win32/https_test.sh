#!/usr/bin/env bash
# Runs the https handler's tests (a Windows program, under Wine) against
# https_server.py and the TLS servers of tls_servers.sh:
#   https_test.sh WINE_RUN ARCH TEST_PROGRAM TEST_ROOT.pem [gtest arguments]
# The server's ports come in CORVANE_HTTPS_PORT (TLS) and CORVANE_HTTP_PORT
# (plain http, where its redirect out of https leads).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-https.XXXXXX")
python3 "$here/https_server.py" "$root" "$work/ports" >"$work/server.log" 2>&1 </dev/null &
server=$!
cleanup() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 200); do
  [ -s "$work/ports" ] && break
  if ! kill -0 "$server" 2>/dev/null; then
    break
  fi
  sleep 0.1
done
if [ ! -s "$work/ports" ]; then
  echo "the https test server did not start:" >&2
  cat "$work/server.log" >&2
  exit 1
fi
read -r CORVANE_HTTPS_PORT CORVANE_HTTP_PORT <"$work/ports"
export CORVANE_HTTPS_PORT CORVANE_HTTP_PORT
bash "$here/tls_servers.sh" "$@"
