#!/bin/bash
# History-update benchmarks: bash bench/history.sh
# One update of a full address list (32,767 entries) on the fake backend and
# with the real GTK combo box and web view (on a private X server).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/lib.sh"
ensure_packages "${CORE_PACKAGES[@]}" "${GTK_PACKAGES[@]}"
build="$here/build/bench-history"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_GTK=ON -DCORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(jobs)" --target corvane_history_bench corvane_history_gtk_bench >/dev/null
"$build/bench/corvane_history_bench" --benchmark_format=console 2>/dev/null | grep -E "Benchmark|median|----"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME="$home" XDG_RUNTIME_DIR="$home" XDG_CACHE_HOME="$home/cache" XDG_CONFIG_HOME="$home/config" \
  XDG_DATA_HOME="$home/data" xvfb-run -a "$build/bench/corvane_history_gtk_bench" "${1:-200}"
