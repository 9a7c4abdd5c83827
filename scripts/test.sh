#!/usr/bin/env bash
# Runs every test: host unit tests (ASan/UBSan), fuzzers for a bounded time,
# Win32 unit tests under Wine, and the end-to-end tests that build packages
# and run setup.exe under Wine. Installs what is missing first.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=${KQ_JOBS:-2}

bash scripts/build.sh --fuzz || exit 1

scripts/wine-template "$top/build/wine/template" || exit 1

passed=0; failed=0
run_suite() {  # name, build dir
  local log="$2/ctest-result.log"
  echo "== $1"
  ctest --test-dir "$2" --output-on-failure -j"$jobs" --timeout 600 2>&1 | tee "$log"
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n1)
  if [ -z "$line" ]; then
    # No summary means the suite itself could not run: count it as a failure.
    failed=$((failed + 1)); return
  fi
  local f t
  f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + t - f)); failed=$((failed + f))
}

run_suite "host unit tests and end-to-end tests" build/host
run_suite "fuzzers" build/fuzz
run_suite "Win32 unit tests under Wine" build/win

echo
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
