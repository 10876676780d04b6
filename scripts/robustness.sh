#!/usr/bin/env bash
# Robustness checks on the core: the registry reader under libFuzzer (with
# AddressSanitizer + UBSan) for a fixed short time, and the whole core test
# suite under valgrind's memcheck with zero errors. Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${CORE_PACKAGES[@]}" clang libclang-rt-14-dev valgrind
fuzz_seconds=${CORVANE_FUZZ_SECONDS:-60}

echo "== Registry reader under libFuzzer for ${fuzz_seconds} s"
cmake --preset fuzz
cmake --build --preset fuzz -j "$(jobs)"
corpus=$(mktemp -d "${TMPDIR:-/tmp}/corvane-fuzz.XXXXXX")
trap 'rm -rf "$corpus" "$corpus.log"' EXIT
fuzzer=./build/fuzz/tests/fuzz/corvane_get_key_value_fuzz
# Inputs that once made the reader fail are run first, every time.
"$fuzzer" tests/fuzz/regressions/* >"$corpus.log" 2>&1 || {
  tail -40 "$corpus.log"
  echo "a past fuzzer finding fails again"
  exit 1
}
status=0
# Anything found is written to the temporary folder, never into the tree.
"$fuzzer" -max_total_time="$fuzz_seconds" -artifact_prefix="$corpus/" \
  -max_len=1400 -seed=1 -print_final_stats=1 "$corpus" >"$corpus.log" 2>&1 || status=$?
grep -E '^(stat::number_of_executed_units|Done)' "$corpus.log" || true
if [ "$status" -ne 0 ]; then
  tail -40 "$corpus.log"
  ls "$corpus"/crash-* "$corpus"/leak-* "$corpus"/timeout-* 2>/dev/null | head -3 | xargs -r xxd | head -20
  echo "the fuzzer found a fault (exit $status)"
  exit 1
fi
rm -f "$corpus.log"

echo "== Core tests under valgrind memcheck"
cmake --build --preset linux -j "$(jobs)" --target corvane_core_tests
CORVANE_RANDOM_SEQUENCES=1000 valgrind --error-exitcode=1 --leak-check=full \
  --errors-for-leak-kinds=definite,indirect -q \
  ./build/linux/tests/corvane_core_tests --gtest_brief=1
echo "valgrind: no errors"
