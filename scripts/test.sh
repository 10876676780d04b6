#!/usr/bin/env bash
# Builds everything and runs every test. Installs what it needs (Debian 12).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${CORE_PACKAGES[@]}"

echo "== Linux build and tests"
cmake --preset linux
cmake --build --preset linux -j "$(jobs)"
ctest --preset linux -j "$(jobs)"

echo "== Core tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset linux-asan
cmake --build --preset linux-asan -j "$(jobs)" --target corvane_core_tests
ASAN_OPTIONS=detect_leaks=1 ctest --preset linux-asan -j "$(jobs)"

echo "== Robustness: fuzzing and valgrind"
bash scripts/robustness.sh

echo "== Windows build and tests"
bash scripts/test-win32.sh

echo "== All tests passed"
