#!/usr/bin/env bash
# The main job: builds everything, makes the sample package from sample/ and
# runs its setup.exe under Wine in a prefix of its own (out/wine). With a
# DISPLAY the wizard appears there; without one the run happens on a private
# Xvfb and screenshots of what it showed land in out/screens/.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

# The route depends on what the set-up installs (the 32-bit loader among
# it): decide it only once that has run.
bash scripts/setup.sh || exit 1
. scripts/wine-route || exit 1
scripts/wine-route --describe
bash scripts/build.sh || exit 1
scripts/wine-template >/dev/null || exit 1

out="$top/out"
pkg="$out/sample-package"
mkdir -p "$out"
build/host/tools/builder/kqbuild --setup-exe "$KQ_WIN_BUILD_DIR/setup.exe" \
  $( [ -f "$KQ_WIN_BUILD_DIR/tools/kqexec/kqexec.exe" ] && echo --support "$KQ_WIN_BUILD_DIR/tools/kqexec/kqexec.exe" ) \
  sample "$pkg" || exit 1
echo "sample package: $pkg"

export WINEPREFIX="$out/wine" WINEARCH="$KQ_WINE_ARCH" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml="
rm -rf "$WINEPREFIX" && scripts/wine-template --clone "$WINEPREFIX" >/dev/null || exit 1

xvfb_pid=""
cleanup() {
  "$KQ_WINESERVER" -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  dfile=$(mktemp)
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$dfile" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$dfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$dfile")"
  rm -f "$dfile"
  headless=1
else
  headless=0
fi

screens="$out/screens"
rm -rf "$screens" && mkdir -p "$screens"
(cd "$pkg" && timeout 300 "$KQ_WINE" "$pkg/setup.exe") &
setup_pid=$!
if [ "$headless" = 1 ] && [ -x scripts/walk-wizard ]; then
  scripts/walk-wizard "$screens"
fi
wait "$setup_pid"; rc=$?
echo "setup.exe exited with code $rc"
[ "$headless" = 1 ] && echo "screenshots: $screens"
exit "$rc"
