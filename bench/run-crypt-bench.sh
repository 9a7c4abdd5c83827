#!/usr/bin/env bash
# Builds the decryption benchmark for the host (release, no sanitizers) and
# for Windows (run under Wine in a private prefix), runs both and prints the
# figures. Usage: bench/run-crypt-bench.sh [--size MB] [--runs N]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--size 64 --runs 5)

host_dir="$root/build/bench-release"
win_dir="$root/build/win-bench"

echo "== host build (Release, sanitizers off)"
cmake -S "$root" -B "$host_dir" -G Ninja -DKQ_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -j2 -C "$host_dir" bench_crypt >/dev/null

echo "== Windows build (mingw-w64 i686, Release)"
cmake -S "$root" -B "$win_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
ninja -j2 -C "$win_dir" bench_crypt >/dev/null

echo
echo "== host: $(uname -m), $(g++ --version | head -n1)"
"$host_dir/bench/bench_crypt" "${args[@]}"

echo
echo "== Windows i686 under $(wine --version 2>/dev/null || echo wine)"
export WINEPREFIX="$win_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml="
mkdir -p "$WINEPREFIX"
status=0
wine "$win_dir/bench/bench_crypt.exe" "${args[@]}" 2>/dev/null | tr -d '\r' || status=$?
wineserver -k 2>/dev/null || true
exit $status
