#!/usr/bin/env bash
# Formats the tracked C++ sources (src, tools, tests, fuzz, bench) with the
# style in .clang-format.
#
#   format.sh          rewrites every file the style would change
#   format.sh --check  changes nothing: lists the files the style would
#                      change and exits 1 when there is one
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: format.sh [--check]" >&2; exit 2 ;;
esac
# Exit code 77 tells CTest the check was skipped. The style is tuned to
# clang-format 14 (Debian's); another version breaks some lines differently,
# so its check would flag files nobody changed.
if ! command -v clang-format >/dev/null; then
  echo "format.sh: clang-format is not installed (scripts/setup.sh installs it)" >&2
  exit 77
fi
if ! clang-format --version | grep -q 'version 14\.'; then
  echo "format.sh: $(clang-format --version) is not clang-format 14" >&2
  [ "$check" -eq 1 ] && exit 77
fi

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
  mapfile -t files < <(find src tools tests fuzz bench -name '*.cpp' -o -name '*.h' | sort)
fi

differ=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if [ "$check" -eq 1 ]; then
    if ! clang-format --style=file "$f" | cmp -s - "$f"; then
      echo "$f"
      differ=1
    fi
  else
    clang-format --style=file -i "$f"
  fi
done
if [ "$differ" -eq 1 ]; then
  echo "format.sh: the files above differ from .clang-format; scripts/format.sh rewrites them" >&2
  exit 1
fi
exit 0
