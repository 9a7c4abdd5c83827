#!/usr/bin/env bash
# Screenshots of every page of a theme, each page opened on its own by
# page_probe (the program's page engine, no wizard around it) under a private
# Xvfb and a Wine prefix of its own. Texts that the wizard fills in at run time
# (license, install folder, status lines) are given sample values.
#
#   tools/theme/shoot.sh [--pack PACK.lan] [THEME_DIR] [OUT_DIR]
#
# Defaults: sample/theme and docs/theme. With --pack the pages are shot after
# the language pack has been applied to a copy of the theme (apply_pack.py).
# SHOOT_ONLY=PATTERN shoots only the pages whose picture name contains it.
# SHOOT_DPI=N shoots them on a screen of N pixels per inch (96 is 100%).
# Needs the Windows build of the host's route (scripts/wine-route; its layer
# libraries, from scripts/build.sh), Wine, Xvfb and ImageMagick.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/scripts/wine-route" || exit 2
if [ "$KQ_WINE_ARCH" = win64 ]; then triplet=x86_64; else triplet=i686; fi
pack=""
if [ "${1:-}" = "--pack" ]; then pack=$(realpath "$2"); shift 2; fi
theme=$(cd "${1:-$top/sample/theme}" && pwd)
out=${2:-$top/docs/theme}
mkdir -p "$out"
out=$(cd "$out" && pwd)

work=$(mktemp -d /tmp/theme-shoot.XXXXXX)
if [ -n "$pack" ]; then
  /usr/bin/python3 "$top/tools/theme/apply_pack.py" "$pack" "$theme" "$work/theme" >/dev/null
  theme="$work/theme"
fi
xvfb_pid=""
cleanup() {
  WINEPREFIX="$work/pfx" "$KQ_WINESERVER" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The probe: this folder's source against the libraries of the Windows build
# its row in cmake/layers.cmake names, highest first.
libs=()
for layer in layout run win base; do
  lib="$KQ_WIN_BUILD_DIR/libkq_$layer.a"
  [ -f "$lib" ] || { echo "shoot.sh: $lib missing; run scripts/build.sh first" >&2; exit 1; }
  libs+=("$lib")
done
mspack=$(ls "$top/.deps/mingw-$triplet/lib/libmspack.a" 2>/dev/null || true)
$triplet-w64-mingw32-windres -I "$top/src" -I "$top/src/app" "$top/tools/theme/page_probe.rc" \
  -O coff -o "$work/probe_res.o"
$triplet-w64-mingw32-g++-posix -std=c++17 -O1 -DWIN32_LEAN_AND_MEAN -D_WIN32_WINNT=0x0501 \
  -DWINVER=0x0501 -D_WIN32_IE=0x0600 -I "$top/src" "$top/tools/theme/page_probe_win.cpp" \
  "$work/probe_res.o" "${libs[@]}" $mspack -mwindows -static -static-libgcc -static-libstdc++ \
  -lcomdlg32 -lole32 -loleaut32 -luuid -lshell32 -ladvapi32 -lgdi32 -luser32 -o "$work/page_probe.exe"

"$top/scripts/wine-template" --clone "$work/pfx" >/dev/null
export WINEPREFIX="$work/pfx" WINEARCH="$KQ_WINE_ARCH" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml="

# Black root (-br) so that -trim cuts the screenshot down to the window.
dfile=$(mktemp)
dpi=${SHOOT_DPI:-96}
Xvfb -displayfd 9 -screen 0 "$((1024 * dpi / 96))x$((768 * dpi / 96))x24" -br -nolisten tcp 9>"$dfile" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$dfile" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$dfile")"
rm -f "$dfile"

if [ -n "${SHOOT_DPI:-}" ]; then
  for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    "$KQ_WINE" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  done
  "$KQ_WINESERVER" -k 2>/dev/null || true  # the desktop reads the setting when it starts
  "$KQ_WINESERVER" -w
fi

# Windows path of the theme folder, through Wine's Z: drive.
wtheme="Z:${theme//\//\\}\\"

LICENSE='END-USER LICENSE AGREEMENT\r\n\r\nThis is a sample license text. Please read it carefully before you install the program. By choosing "I accept" you agree to be bound by its terms.\r\n\r\n1. GRANT OF LICENSE. You may install and use one copy of the program on one computer.\r\n\r\n2. NO WARRANTY. The program is provided as is, without warranty of any kind.'
README='Northwind Notes 1.2.0\r\n\r\nWhat is new in this version:\r\n\r\n- Notes can be grouped in folders.\r\n- Faster search across all notes.\r\n- Export to plain text.\r\n\r\nKnown problems: none.'
SETTINGS='\r\nSetup Type:\r\n\r\nTypical\r\n\r\nDestination Folder:\r\n\r\nC:\Program Files\Northwind Notes\\r\n\r\nUser Information:\r\n\r\nName:Alex Morgan\r\n\r\nCompany:Northwind Software\r\n\r\n'
DIR='C:\Program Files\Northwind Notes\'

shoot() {  # name, lcd, probe options...
  local name=$1 lcd=$2; shift 2
  if [ -n "${SHOOT_ONLY:-}" ] && [[ "$name" != *"$SHOOT_ONLY"* ]]; then return 0; fi
  "$KQ_WINE" "$work/page_probe.exe" "$wtheme" "$lcd" --ms 6000 "$@" &
  local pid=$!
  sleep 3.5
  import -window root "$work/raw.png"
  convert "$work/raw.png" -trim +repage "$out/$name.png"
  wait "$pid" || true
  echo "$out/$name.png"
}

shoot 00-start start.lcd --index -1 --progress IDC_PROGRESS1=2/5
shoot 00-askuser askuser.lcd --index -1 --count 50 --combo IDC_LANGUAGE=English
shoot 01-welcome welcome.lcd --index 0
shoot 02-license license.lcd --set "IDC_LICENSE=$LICENSE" --check IDC_NOTACCEPTLICENSE \
  --disable IDC_NEXT
shoot 03-readme readme.lcd --set "IDC_README=$README"
shoot 04-customer customer.lcd --set "IDC_USERNAME=Alex Morgan" \
  --set "IDC_ORGANIZATION=Northwind Software" --check IDC_ANYONE
shoot 05-destination destination.lcd --set "IDC_INSTALLDIR=$DIR"
shoot 06-setuptype setuptype.lcd --check IDC_TYPICAL
shoot 07-customsetup customsetup.lcd --set "IDC_INSTALLDIR=$DIR" \
  --tree "IDC_TREEVIEW=Program Files" --tree "IDC_TREEVIEW=Documentation" \
  --tree "IDC_TREEVIEW=Sample Notes" \
  --set "IDC_FEATUREINFO=The program itself, with its help file."
shoot 08-ready ready.lcd --set "IDC_SETTINGS=$SETTINGS"
shoot 09-progress progress.lcd --set "IDC_INFO=Copying new files..." \
  --set "IDC_INSTALLINFO=C:\\Program Files\\Northwind Notes\\notes.exe" \
  --progress IDC_PROGRESS1=2/3 --disable IDC_BACK --disable IDC_NEXT
shoot 09b-progress-download progress.lcd \
  --set "IDC_INFO=Estimated time left: 00:00:12 - notes-help.chm (340 KB of 1.2 MB)" \
  --set "IDC_INSTALLINFO=C:\\Program Files\\Northwind Notes\\notes-help.chm" \
  --progress IDC_PROGRESS1=1/3 --progress IDC_DOWNLOADPROGRESS=28/100 \
  --disable IDC_BACK --disable IDC_NEXT
shoot 10-complete complete.lcd --index 9 --count 10 --check IDC_LAUNCHFILE --check IDC_LAUNCHREADME
shoot 10b-complete-error complete.lcd --index 9 --count 10 --hide IDC_LAUNCHFILE \
  --hide IDC_LAUNCHREADME --set "IDC_INSTALLSTATUS=Northwind Notes setup was interrupted. Your system has not been modified. To install this program at a later time, please run the installation again. Click Finish to exit the wizard."
shoot 11-3rdparty 3rdparty.lcd
