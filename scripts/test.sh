#!/usr/bin/env bash
# Runs every test: host unit tests (ASan/UBSan), fuzzers for a bounded time,
# Win32 unit tests under Wine, and the end-to-end tests that build packages
# and run setup.exe under Wine. Installs what is missing first.
# The Windows build under test is the route's (scripts/wine-route): i686 under
# 32-bit Wine where the host runs 32-bit programs, x86_64 under wine64
# elsewhere; KQ_WINE_ARCH=win32|win64 forces one.
#
#   test.sh          everything (what CI runs)
#   test.sh --host   only the host unit tests: the quick loop for a change to
#                    portable code (no Windows build, no Wine, no fuzzers)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=${KQ_JOBS:-2}

if [ "${1:-}" = "--host" ]; then
  bash scripts/build.sh --host || exit 1
  exec ctest --test-dir build/host --output-on-failure -j"$jobs" -LE e2e
fi

# The route depends on what the set-up installs (the 32-bit loader among
# it): decide it only once that has run.
bash scripts/setup.sh || exit 1
. scripts/wine-route || exit 1
scripts/wine-route --describe

bash scripts/build.sh --fuzz || exit 1

scripts/wine-template >/dev/null || exit 1

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
run_suite "Win32 unit tests under Wine ($KQ_WINE_ARCH)" "$KQ_WIN_BUILD_DIR"

echo
scripts/wine-route --describe
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
