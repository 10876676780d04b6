#!/usr/bin/env bash
# Builds everything and runs every test. Installs what it needs (Debian 12).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${CORE_PACKAGES[@]}" "${GTK_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

# The GUI tests run each suite on a private X server (tests/x_run.sh) with
# HOME and XDG_* in a temporary folder; nothing here needs a display.

started=$(date +%s)
since() { echo $(($(date +%s) - $1)); }

# The release files first, before anything else is built: on a fresh clone
# (as in CI) this shows that scripts/package.sh makes them from one. They are
# tested at the end.
echo "== Release files (dist/)"
t=$(date +%s)
bash scripts/package.sh
packaged=$(since "$t")

echo "== Linux build and tests"
cmake --preset linux
cmake --build --preset linux -j "$(jobs)"
ctest --preset linux -j "$(jobs)"

# The randomized, soak and hostile-input checks run among the tests above.
in_ctest=$(awk '/^(RandomEvents\.|gtk\.Soak |gtk\.HostileInput )/ { s += $3 } END { printf "%d", s + 0.5 }' \
  build/linux/Testing/Temporary/CTestCostData.txt)

echo "== Core tests under AddressSanitizer + UndefinedBehaviorSanitizer"
t=$(date +%s)
cmake --preset linux-asan
cmake --build --preset linux-asan -j "$(jobs)" --target corvane_core_tests
ASAN_OPTIONS=detect_leaks=1 ctest --preset linux-asan -j "$(jobs)"

asan=$(since "$t")

echo "== Robustness: fuzzing and valgrind"
t=$(date +%s)
bash scripts/robustness.sh
robust=$(since "$t")
echo "Robustness checks: ${in_ctest} s randomized/soak/hostile-input tests, ${asan} s sanitizer build" \
  "and tests, ${robust} s fuzzing and valgrind: $((in_ctest + asan + robust)) s together"

echo "== Windows build and tests"
# Which Windows path this machine takes is decided once, here, and passed on
# to the scripts below (scripts/lib.sh, wine32_runs).
wine32_runs || true
bash scripts/test-win32.sh

echo "== Tests of the release files"
t=$(date +%s)
bash scripts/test-packages.sh
echo "Release files made in $packaged s and tested in $(since "$t") s"

echo "== All tests passed in $(since "$started") s"
