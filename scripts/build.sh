#!/usr/bin/env bash
# Installs what is missing, then builds the trees: build/win (setup.exe and the
# Windows tools, i686: the product), build/win64 (the same sources for x86_64,
# tested on hosts that cannot run 32-bit programs; built everywhere so both
# targets stay correct) and build/host (core, tests, package builder).
# With --fuzz also build/fuzz (libFuzzer targets, clang); with --host only
# build/host.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=${KQ_JOBS:-2}

bash scripts/setup.sh || exit 1

build() {  # dir, cmake args...
  local dir=$1; shift
  mkdir -p "$dir"
  cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { tail -n 40 "$dir.configure.log"; return 1; }
  ninja -C "$dir" -j"$jobs" >"$dir.log" 2>&1 || { grep -E -A12 'error|FAILED' "$dir.log" | head -n 80; return 1; }
}

if [ "${1:-}" = "--host" ]; then
  build build/host || exit 1
  exit 0
fi
build build/win -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release || exit 1
build build/win64 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release || exit 1
build build/host || exit 1
if [ "${1:-}" = "--fuzz" ]; then
  CC=clang CXX=clang++ build build/fuzz -DKQ_FUZZ=ON || exit 1
fi
exit 0
