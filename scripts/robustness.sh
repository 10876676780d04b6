#!/usr/bin/env bash
# Robustness checks on the core: the registry reader under libFuzzer (with
# AddressSanitizer + UBSan) for a fixed short time, the HTTP/1.1 response
# parser for a million runs, and the whole core test suite under valgrind's
# memcheck with zero errors. Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${CORE_PACKAGES[@]}" clang libclang-rt-14-dev valgrind
fuzz_seconds=${CORVANE_FUZZ_SECONDS:-60}
http_runs=${CORVANE_HTTP_FUZZ_RUNS:-1000000}

cmake --preset fuzz
cmake --build --preset fuzz -j "$(jobs)"
temporary=()
trap 'rm -rf "${temporary[@]}"' EXIT

# Runs FUZZER on the inputs in REGRESSIONS that once made it fail, first,
# every time; then on new inputs with the libFuzzer options that follow (a
# time or a number of runs), starting from those inputs when "seeded". Anything
# found is written to a temporary folder, never into the tree; a finding
# fails the script.
fuzz() {
  local fuzzer=$1 regressions=$2 seeded=$3
  shift 3
  local corpus status=0
  corpus=$(mktemp -d "${TMPDIR:-/tmp}/corvane-fuzz.XXXXXX")
  temporary+=("$corpus" "$corpus.log")
  "$fuzzer" "$regressions"/* >"$corpus.log" 2>&1 || {
    tail -40 "$corpus.log"
    echo "a past fuzzer finding fails again"
    exit 1
  }
  local seeds=()
  if [ "$seeded" = seeded ]; then
    seeds=("$regressions")
  fi
  "$fuzzer" "$@" -artifact_prefix="$corpus/" -seed=1 -print_final_stats=1 \
    "$corpus" "${seeds[@]}" >"$corpus.log" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|Done)' "$corpus.log" || true
  if [ "$status" -ne 0 ]; then
    tail -40 "$corpus.log"
    # (ls fails for the kinds of finding that are not there: no reason to stop)
    ls "$corpus"/crash-* "$corpus"/leak-* "$corpus"/timeout-* 2>/dev/null | head -3 | xargs -r xxd | head -20 || true
    echo "the fuzzer found a fault (exit $status)"
    exit 1
  fi
}

echo "== Registry reader under libFuzzer for ${fuzz_seconds} s"
fuzz ./build/fuzz/tests/fuzz/corvane_get_key_value_fuzz tests/fuzz/regressions unseeded \
  -max_total_time="$fuzz_seconds" -max_len=1400

# The HTTP/1.1 response parser, a fixed number of runs: fed whole, split and
# byte by byte, on responses up to 4 KiB, with the words of HTTP to build on.
echo "== HTTP response parser under libFuzzer for ${http_runs} runs"
fuzz ./build/fuzz/tests/fuzz/corvane_http_response_fuzz tests/fuzz/regressions_http seeded \
  -runs="$http_runs" -max_len=4096 -dict=tests/fuzz/http_response.dict

echo "== Core tests under valgrind memcheck"
cmake --build --preset linux -j "$(jobs)" --target corvane_core_tests
CORVANE_RANDOM_SEQUENCES=1000 valgrind --error-exitcode=1 --leak-check=full \
  --errors-for-leak-kinds=definite,indirect -q \
  ./build/linux/tests/corvane_core_tests --gtest_brief=1
echo "valgrind: no errors"
