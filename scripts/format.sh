#!/usr/bin/env bash
# Keeps the C++ sources (src, tools, tests, fuzz, bench) in the style of
# .clang-format. The tree was written in that style by hand before the file
# existed, and a wholesale rewrite would only churn what is already right, so
# the style binds every line changed since .clang-format came in.
#
#   format.sh          rewrites the changed lines the style would change
#   format.sh --check  changes nothing: shows what the style would change
#                      and exits 1 when there is something
#   format.sh --all    rewrites whole files (for a file being rewritten anyway)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

mode=format
case "${1:-}" in
  --check) mode=check ;;
  --all) mode=all ;;
  "") ;;
  *) echo "usage: format.sh [--check | --all]" >&2; exit 2 ;;
esac
# Exit code 77 tells CTest the check was skipped. The style is tuned to
# clang-format 14 (Debian's); another version breaks some lines differently,
# so its check would flag lines nobody changed.
if ! command -v clang-format >/dev/null || ! command -v git-clang-format >/dev/null; then
  echo "format.sh: clang-format is not installed (scripts/setup.sh installs it)" >&2
  exit 77
fi
if ! clang-format --version | grep -q 'version 14\.'; then
  echo "format.sh: $(clang-format --version) is not clang-format 14" >&2
  [ "$mode" = check ] && exit 77
fi
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "format.sh: not a git checkout: the changed lines cannot be told" >&2
  exit 77
fi
dirs=(src tools tests fuzz bench)

if [ "$mode" = all ]; then
  git ls-files -- "${dirs[@]/%//*.cpp}" "${dirs[@]/%//*.h}" | xargs -r clang-format --style=file -i
  exit 0
fi

# The commit that brought the style in; a shallow clone may not have it.
base=$(git log --diff-filter=A --format=%H -- .clang-format | tail -n 1)
if [ -z "$base" ] || ! git cat-file -e "$base^{commit}" 2>/dev/null; then
  echo "format.sh: the commit that added .clang-format is not in this clone" >&2
  exit 77
fi

if [ "$mode" = check ]; then
  out=$(git clang-format --diff --extensions cpp,h "$base" -- "${dirs[@]}" 2>&1)
  if grep -q '^diff --git' <<<"$out"; then
    printf '%s\n' "$out"
    echo "format.sh: the lines above differ from .clang-format; scripts/format.sh rewrites them" >&2
    exit 1
  fi
  exit 0
fi
git clang-format --force --extensions cpp,h "$base" -- "${dirs[@]}"
exit 0
