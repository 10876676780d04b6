#!/bin/bash
# Start-up benchmark: bash bench/startup.sh [rounds] [pause]
# pause: seconds a person looks at the splash before the key (0.8 by default;
# 0 presses it as soon as the splash is mapped). BASELINE=<a program built
# with the same start address> is measured in the same rounds as D;
# BASELINE=unconfined builds this program with its web processes unconfined
# (CORVANE_CONFINE_WEB=OFF: no sandbox, no process swap) and measures that.
# A, the program as released, always confines its web processes.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/lib.sh"
ensure_packages "${CORE_PACKAGES[@]}" "${GTK_PACKAGES[@]}" surf
port=18473
build="$here/build/bench-startup"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_GTK=ON -DCORVANE_BUILD_TESTS=OFF -DCORVANE_CONFINE_WEB=ON \
  -DCORVANE_START_ADDRESS="http://127.0.0.1:$port/" >/dev/null
cmake --build "$build" -j "$(jobs)" --target corvane-ombrel corvane_xwatch corvane_floor >/dev/null
if [ "${BASELINE:-}" = unconfined ]; then
  unconfined="$here/build/bench-startup-unconfined"
  cmake -S "$here" -B "$unconfined" -DCMAKE_BUILD_TYPE=Release -DCORVANE_GTK=ON \
    -DCORVANE_BUILD_TESTS=OFF -DCORVANE_BUILD_BENCH=OFF -DCORVANE_CONFINE_WEB=OFF \
    -DCORVANE_START_ADDRESS="http://127.0.0.1:$port/" >/dev/null
  cmake --build "$unconfined" -j "$(jobs)" --target corvane-ombrel >/dev/null
  export BASELINE="$unconfined/corvane-ombrel"
fi
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" python3 "$here/bench/bench.py" "${MODE:-startup}" "$build" "$port" "${1:-5}" "${2:-0.8}"
