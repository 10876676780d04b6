#!/bin/bash
# Start-up benchmark: bash bench/startup.sh [rounds] [pause]
# pause: seconds a person looks at the splash before the key (0.8 by default;
# 0 presses it as soon as the splash is mapped). BASELINE=<a program built
# with the same start address> is measured in the same rounds as D.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/lib.sh"
ensure_packages "${CORE_PACKAGES[@]}" "${GTK_PACKAGES[@]}" surf
port=18473
build="$here/build/bench-startup"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_GTK=ON -DCORVANE_BUILD_TESTS=OFF \
  -DCORVANE_START_ADDRESS="http://127.0.0.1:$port/" >/dev/null
cmake --build "$build" -j "$(jobs)" --target corvane-ombrel corvane_xwatch corvane_floor >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" python3 "$here/bench/bench.py" "${MODE:-startup}" "$build" "$port" "${1:-5}" "${2:-0.8}"
