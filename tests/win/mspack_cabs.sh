#!/usr/bin/env bash
# Writes tests/win/data/mspack_reference.txt: what cabextract makes of each
# test cabinet of libmspack's source package (unpacked by scripts/setup.sh).
# The Win32 cabinet test extracts the same cabinets with our extraction and
# compares against this file: cabinets that cabextract reads completely and
# that are one whole cabinet must give the same files (by last name
# component, size and SHA-256); every other one must fail or succeed
# cleanly, without crashing and without writing outside the working folder.
#
#   tests/win/mspack_cabs.sh          rewrite the reference
#   tests/win/mspack_cabs.sh --check  exit 1 when the committed one differs
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
corpus=$(cd "$top" && ls -d .deps/apt/src/libmspack-*/test/test_files/cabd 2>/dev/null | head -n1 || true)
[ -n "$corpus" ] || { echo "mspack_cabs: libmspack's test cabinets are not unpacked (run scripts/setup.sh)" >&2; exit 77; }
out="$top/tests/win/data/mspack_reference.txt"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One complete cabinet: signature at offset 0, neither continued from nor
# into another cabinet (flags bits 0 and 1), and the stated size is the
# file's size (no second cabinet appended).
whole() {
  local f=$1 size stated flags
  [ "$(head -c4 "$f")" = "MSCF" ] || { echo 0; return; }
  size=$(stat -c %s "$f")
  stated=$(od -An -tu4 -j8 -N4 "$f" | tr -d ' ')
  flags=$(od -An -tu2 -j30 -N2 "$f" | tr -d ' ')
  if [ "$stated" = "$size" ] && [ $((flags & 3)) -eq 0 ]; then echo 1; else echo 0; fi
}

{
  echo "# What cabextract extracts from libmspack's test cabinets; written by tests/win/mspack_cabs.sh."
  echo "# corpus<TAB>folder relative to the repository"
  echo "# cab<TAB>name<TAB>cabextract status<TAB>1 when one whole cabinet"
  echo "# file<TAB>cabinet<TAB>last name component<TAB>size<TAB>sha256 (only for status 0 and whole)"
  printf 'corpus\t%s\n' "$corpus"
  for cab in "$top/$corpus"/*.cab; do
    name=$(basename "$cab")
    dest="$tmp/$name"
    mkdir -p "$dest"
    status=0
    timeout 20 cabextract -q -d "$dest" "$cab" >/dev/null 2>&1 || status=$?
    w=$(whole "$cab")
    printf 'cab\t%s\t%s\t%s\n' "$name" "$status" "$w"
    if [ "$status" -eq 0 ] && [ "$w" -eq 1 ]; then
      find "$dest" -type f -print0 | sort -z | while IFS= read -r -d '' f; do
        printf 'file\t%s\t%s\t%s\t%s\n' "$name" "$(basename "$f")" "$(stat -c %s "$f")" \
          "$(sha256sum "$f" | cut -d' ' -f1)"
      done
    fi
  done
} > "$tmp/reference.txt"

if [ "${1:-}" = "--check" ]; then
  diff -u "$out" "$tmp/reference.txt"
else
  cp "$tmp/reference.txt" "$out"
  echo "mspack_cabs: wrote $out"
fi
