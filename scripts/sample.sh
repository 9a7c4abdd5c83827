#!/usr/bin/env bash
# The main job: builds everything, makes the sample package from sample/ and
# runs its setup.exe under Wine in a prefix of its own (out/wine). With a
# DISPLAY the wizard appears there; without one the run happens on a private
# Xvfb and screenshots of what it showed land in out/screens/.
#   scripts/sample.sh [--dpi N]
# --dpi N sets the prefix's screen to N pixels per inch (96 is 100%, 144 is
# 150%) as the system's display settings do; the private Xvfb grows with it
# so the larger pages fit, and gets a black root so screenshots can be
# trimmed to the windows.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
dpi=""
if [ "${1:-}" = "--dpi" ]; then
  dpi=${2:-}
  [[ "$dpi" =~ ^[1-9][0-9]{1,2}$ ]] || { echo "usage: scripts/sample.sh [--dpi N]   (N from 10 to 999)" >&2; exit 2; }
fi

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
  screen=1024x768x24 root=()
  if [ -n "$dpi" ] && [ "$dpi" -gt 96 ]; then screen="$((1024 * dpi / 96))x$((768 * dpi / 96))x24"; fi
  [ -n "$dpi" ] && root=(-br)
  Xvfb -displayfd 9 -screen 0 "$screen" "${root[@]}" -nolisten tcp 9>"$dfile" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$dfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$dfile")"
  rm -f "$dfile"
  headless=1
else
  headless=0
fi

if [ -n "$dpi" ]; then
  for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    "$KQ_WINE" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null || exit 1
  done
  "$KQ_WINESERVER" -k  # the desktop reads the setting when it starts
  "$KQ_WINESERVER" -w
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
