#!/usr/bin/env bash
# Builds the decryption benchmark for the host (release, no sanitizers) and
# for Windows (run under Wine in a private prefix), runs both and prints the
# figures. Usage: bench/run-crypt-bench.sh [--size MB] [--runs N]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/wine-route" || exit 2
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--size 64 --runs 5)

host_dir="$root/build/bench-release"
win_dir="$root/build/bench-$KQ_WINE_ARCH"

echo "== host build (Release, sanitizers off)"
cmake -S "$root" -B "$host_dir" -G Ninja -DKQ_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -j2 -C "$host_dir" bench_crypt >/dev/null

echo "== Windows build (Release) for the host's route"
"$root/scripts/wine-route" --describe
cmake -S "$root" -B "$win_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$KQ_WIN_TOOLCHAIN" >/dev/null
ninja -j2 -C "$win_dir" bench_crypt >/dev/null

echo
echo "== host: $(uname -m), $(g++ --version | head -n1)"
"$host_dir/bench/bench_crypt" "${args[@]}"

echo
echo "== Windows $KQ_WINE_ARCH under $("$KQ_WINE" --version 2>/dev/null || echo wine)"
export WINEPREFIX="$win_dir/wineprefix"
export WINEARCH="$KQ_WINE_ARCH" WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml="
mkdir -p "$WINEPREFIX"
status=0
"$KQ_WINE" "$win_dir/bench/bench_crypt.exe" "${args[@]}" 2>/dev/null | tr -d '\r' || status=$?
"$KQ_WINESERVER" -k 2>/dev/null || true
exit $status
