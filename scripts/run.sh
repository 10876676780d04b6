#!/usr/bin/env bash
# Builds the browser and starts it. Installs what it needs (Debian 12).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${CORE_PACKAGES[@]}"
cmake --preset linux
cmake --build --preset linux -j "$(jobs)"
echo "The portable core is built. The windows arrive with the GTK front end, which is not built yet."
