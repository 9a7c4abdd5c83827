#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian machine (run as root),
# then cross-builds libmspack for mingw into .deps/. Idempotent: a second run
# only checks and returns within seconds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/.deps"

# wine64 and the x86_64 compiler serve hosts that cannot run 32-bit programs
# (scripts/wine-route); wine32 is installed everywhere, and used where it runs.
packages=(wine wine32:i386 wine64 g++-mingw-w64-i686-posix mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev cmake ninja-build
  xvfb xauth x11-utils imagemagick libgcab-dev gcab libmspack-dev googletest
  cabextract dpkg-dev pkg-config clang libclang-rt-14-dev clang-format nsis fonts-wine time gnuplot-nox libxxhash-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# libmspack for mingw, built from Debian's own source package for both
# Windows targets. apt-get source runs on a private sources list and state
# folder so the system's apt configuration is left as it is.
fetch_mspack_source() {
  apt_dir="$deps/apt"
  srcdir=$(find "$apt_dir/src" -maxdepth 1 -type d -name 'libmspack-*' 2>/dev/null | head -n1 || true)
  [ -n "$srcdir" ] && [ -x "$srcdir/configure" ] && return 0
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/src"
  uri=$(grep -hE '^(URIs:|deb )' /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list 2>/dev/null \
        | grep -o "http[^ ]*debian/\?$" | head -n1 || true)
  uri=${uri:-http://deb.debian.org/debian}
  suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main" > "$apt_dir/sources.list"
  aptopts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
           -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
           -o "Dir::State::status=/var/lib/dpkg/status" -o "APT::Sandbox::User=root")
  apt-get "${aptopts[@]}" update -qq
  rm -rf "${apt_dir:?}/src"/*
  (cd "$apt_dir/src" && apt-get "${aptopts[@]}" source -qq libmspack >/dev/null)
  srcdir=$(find "$apt_dir/src" -maxdepth 1 -type d -name 'libmspack-*' | head -n1)
}

for triplet in i686 x86_64; do
  prefix="$deps/mingw-$triplet"
  [ -f "$prefix/lib/libmspack.a" ] && continue
  fetch_mspack_source
  bdir="$deps/mspack-build-$triplet"
  rm -rf "$bdir" && mkdir -p "$bdir"
  (cd "$bdir" && "$srcdir/configure" --host=$triplet-w64-mingw32 --prefix="$prefix" \
      --disable-shared --enable-static CC=$triplet-w64-mingw32-gcc-posix CFLAGS="-O2" >/dev/null \
   && make -j"$(nproc)" >/dev/null && make install >/dev/null)
  echo "setup: libmspack cross-built into $prefix"
done
