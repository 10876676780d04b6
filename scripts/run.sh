#!/usr/bin/env bash
# Builds the browser and starts it. Installs what it needs (Debian 12).
# Where there is no display it runs the headless demo instead.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${CORE_PACKAGES[@]}" "${GTK_PACKAGES[@]}"
cmake --preset linux
cmake --build --preset linux -j "$(jobs)" --target corvane-ombrel

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here: running the headless demo on a private X server instead."
  exec bash scripts/demo.sh build/demo
fi
exec ./build/linux/corvane-ombrel
