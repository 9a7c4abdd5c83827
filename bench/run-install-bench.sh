#!/usr/bin/env bash
# Installation benchmark under Wine, on tmpfs where there is one.
#
#   bench/run-install-bench.sh [--runs N] [--payloads "A B C D"] [--keep]
#                              [--setup-exe PATH] [--kqexec PATH]
#                              [--setup-args "ARGS"] [--skip-extraction "C D"]
#                              [--out DIR]
#
# Payloads (bench/make_install_payload.py): A, 2,000 files in 50 folders,
# about 100 MB, half of them compressible; B, 20 files of 5 MB; C, four
# times A (8,000 files, about 400 MB, the same mix); D, 20,000 small text
# files (about 6 MB) in 100 folders.
# For each payload it builds our silent package (kqbuild, file1.cab), a
# package of the same files that shows its pages (welcome first), and two
# NSIS installers of the same files (makensis, default zlib and LZMA solid),
# then measures, each the median of N runs (default 5), every ratio between
# figures of the same run of this script:
#
#   extraction of file1.cab
#     ours      kq::ExtractCabinetFile in-process (bench_extract --mode ours)
#     startup   the same as setup.exe does it at start-up: own thread, progress
#               sent to a progress bar of the pumping thread (--mode startup)
#     minimal   a minimal libmspack loop over Win32 handles (--mode minimal)
#     and, as whole processes (Wine start included), ours and minimal
#     (bench_extract --runs 1) against Wine's extrac32 on the same cabinet
#     (--skip-extraction: not for these payloads, where it takes too long;
#     "C D" unless given, "" for every payload)
#   installation, process start to exit, and its peak memory (maximum
#   resident set of the Wine process, GNU time's %M)
#     setup.exe of our package (silent) against the NSIS installers with /S
#     (--setup-args: options for setup.exe, e.g. "/S"; --setup-exe and
#     --kqexec: other programs to pack, e.g. an earlier build, for a
#     before/after figure)
#   removal of each installation just made, and its peak memory: ours as
#     the product's removal entry runs it (C:\windows\kqexec.exe /S /R
#     <product code>) against the zlib installer's uninstaller run in place
#     and waited for (uninstall.exe /S _?=<folder>); each must leave none of
#     the payload's files behind
#   sizes: our package folder and its file1.cab against the NSIS installers,
#     and setup.exe and kqexec.exe themselves
#   first page, from just before the process starts to the time stamp of
#     the first "page" line naming the welcome page in the run's log
#     (/LOG=); the start page's line (shown while the cabinet is read) is
#     reported beside it. That setup.exe is then ended by its process id and
#     its working folder removed.
#
# Everything runs on the host's route (scripts/wine-route: the i686 build under
# 32-bit Wine, or the x86_64 build under wine64 with 64-bit NSIS installers
# where the host cannot run 32-bit programs), in a private Wine prefix (a full
# copy of the test template)
# on a private Xvfb; the script stops its own wineserver and its own Xvfb (by
# process id) and removes its folder at the end unless --keep is given.
#
# The figures are printed, and written for people to read to
# DIR/install-<route>.md (a Markdown table with the host, date, Wine and
# tool versions) and DIR/install-<route>.png (a bar chart of the ratios,
# drawn by gnuplot); DIR is docs/bench unless --out says otherwise. A
# default run of A B C D takes about half an hour on two cores.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/wine-route" || exit 2
runs=5
payloads="A B C D"
keep=0
setup_override=""
kqexec_override=""
out_dir="$root/docs/bench"
setup_args=""
skip_extraction="C D"
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --payloads) payloads=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --setup-exe) setup_override=$2; shift 2 ;;
    --kqexec) kqexec_override=$2; shift 2 ;;
    --out) out_dir=$2; shift 2 ;;
    --setup-args) setup_args=$2; shift 2 ;;
    --skip-extraction) skip_extraction=$2; shift 2 ;;
    *) sed -n '2,58p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done

command -v makensis >/dev/null || { echo "makensis is missing: apt-get install -y nsis" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time is missing: apt-get install -y time" >&2; exit 1; }
command -v gnuplot >/dev/null || { echo "gnuplot is missing: apt-get install -y gnuplot-nox" >&2; exit 1; }
mkdir -p "$out_dir"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; else base=${TMPDIR:-/tmp}; fi
work=$(mktemp -d "$base/kq-install-bench.XXXXXX")
prefix="$work/prefix"
xvfb_pid=""
ui_pid=""

cleanup() {
  if [ -n "$ui_pid" ]; then kill -KILL "$ui_pid" 2>/dev/null || true; wait "$ui_pid" 2>/dev/null || true; fi
  if [ -d "$prefix" ]; then WINEPREFIX="$prefix" "$KQ_WINESERVER" -k 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  if [ "$keep" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

echo "== building (setup.exe, kqexec.exe, bench_extract.exe, kqbuild)"
echo "$("$root/scripts/wine-route" --describe)"
ninja -C "$KQ_WIN_BUILD_DIR" -j2 setup kqexec bench_extract >/dev/null
ninja -C "$root/build/host" -j2 kqbuild >/dev/null
kqbuild="$root/build/host/tools/builder/kqbuild"
setup_exe="${setup_override:-$KQ_WIN_BUILD_DIR/setup.exe}"
kqexec="${kqexec_override:-$KQ_WIN_BUILD_DIR/tools/kqexec/kqexec.exe}"
[ -f "$setup_exe" ] && [ -f "$kqexec" ] || { echo "no $setup_exe or no $kqexec" >&2; exit 1; }
bench_extract="$KQ_WIN_BUILD_DIR/bench/bench_extract.exe"
# NSIS builds installers of the same bitness as ours, for a fair comparison.
if [ "$KQ_WINE_ARCH" = win64 ]; then nsis_target="Target amd64-unicode"; else nsis_target=""; fi

echo "== prefix in $work (a full copy of the template: hard links cannot leave its file system)"
template=$("$root/scripts/wine-template" | tail -n1)
cp -a "$template" "$prefix"
drive_c="$prefix/drive_c"
mkdir -p "$drive_c/bench"
cp "$bench_extract" "$drive_c/bench/bench_extract.exe"

display_file="$work/display"
Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp 4>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }

export WINEPREFIX="$prefix" WINEARCH="$KQ_WINE_ARCH" WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml="
export DISPLAY=":$(head -n1 "$display_file")"
"$KQ_WINESERVER" -p  # stays up between runs: no run pays for its start
"$KQ_WINE" cmd /c exit 0 >/dev/null 2>&1
# The prefix's temp folder, where a setup.exe ended by force leaves its working folder.
temp_dir=$("$KQ_WINE" winepath -u "$("$KQ_WINE" cmd /c echo %TEMP% | tr -d '\r')" 2>/dev/null | tr -d '\r')
[ -d "$temp_dir" ] || { echo "no temp folder in the prefix ($temp_dir)" >&2; exit 1; }

now() { date +%s.%N; }
# The median of a list of numbers (the mean of the middle two for an even count).
median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# Times one command (wall clock, seconds).
timed() { local s e; s=$(now); "$@" >/dev/null 2>&1; e=$(now); awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f", e - s }'; }
# The same, its peak memory and its exit code: "seconds megabytes code".
timed_rss() {
  local s e code=0
  s=$(now); /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1 || code=$?; e=$(now)
  awk -v s="$s" -v e="$e" -v kb="$(tail -n1 "$work/rss")" -v c="$code" 'BEGIN { printf "%.3f %.1f %d", e - s, kb / 1024, c }'
}
bytes() { du -sb "$1" | cut -f1; }
mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1e6 }'; }
# Files below folder $1 (none when it is gone), beside those named $2.
count_files() { { find "$1" -type f ! -name "${2:-}" 2>/dev/null || true; } | wc -l; }
skipped() { case " $skip_extraction " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }

# Milliseconds from the time $1 (date +%s.%N) to the time stamp of a log line.
ms_to_line() {
  local stamp
  stamp=$(sed 's/.*"time":"\([^"]*\)".*/\1/' <<<"$2")
  awk -v t0="$1" -v t="$(date -u -d "$stamp" +%s.%N)" 'BEGIN { printf "%.0f", (t - t0) * 1000 }'
}

# Starts setup.exe of a package that shows its pages, with /LOG=, and sets
# fp_first and fp_start to the milliseconds from just before the start to
# the welcome page's and the start page's "page" lines (fp_start "-" when
# the run showed no start page). Then ends that process (by its id) and
# removes the working folder it left.
first_page_page="welcome.lcd"
first_page() {
  local pkg=$1 log="$drive_c/bench/first-page.json" before after left t0 line=""
  rm -f "$log"
  before=$(ls -A "$temp_dir")
  t0=$(now)
  (cd "$pkg" && exec "$KQ_WINE" setup.exe "/LOG=C:\\bench\\first-page.json") >/dev/null 2>&1 &
  ui_pid=$!
  for _ in $(seq 1200); do
    if [ -f "$log" ]; then
      line=$(grep -m1 "\"type\":\"page\",\"name\":\"$first_page_page\"" "$log" || true)
      [ -n "$line" ] && break
    fi
    kill -0 "$ui_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -KILL "$ui_pid" 2>/dev/null || true
  wait "$ui_pid" 2>/dev/null || true
  ui_pid=""
  after=$(ls -A "$temp_dir")
  # What appeared in the temp folder during the run is the run's.
  left=$(comm -13 <(sort <<<"$before") <(sort <<<"$after"))
  [ -n "$left" ] || echo "warning: setup.exe left no working folder in $temp_dir" >&2
  while IFS= read -r name; do
    [ -n "$name" ] && rm -rf "${temp_dir:?}/$name"
  done <<<"$left"
  [ -n "$line" ] || { echo "no \"$first_page_page\" page line in the log:" >&2; cat "$log" >&2 2>/dev/null; exit 1; }
  fp_first=$(ms_to_line "$t0" "$line")
  line=$(grep -m1 '"type":"page","name":"start.lcd"' "$log" || true)
  if [ -n "$line" ]; then fp_start=$(ms_to_line "$t0" "$line"); else fp_start="-"; fi
}

declare -A result
product_code="{6E1D0C55-0B7A-4B8E-9C61-4D2B2F8A7B11}"

for p in $payloads; do
  echo
  echo "== payload $p"
  src="$work/src-$p"
  python3 "$root/bench/make_install_payload.py" "$p" "$src"
  expected=$(count_files "$src/files")
  # Beside the product files the cabinet holds kqexec.exe.
  support=1

  # Our packages, with the sample theme and language file: one silent, one
  # that shows its pages (the welcome page first).
  auth="$work/auth-$p"
  mkdir -p "$auth"
  cp -al "$src/files" "$auth/files"
  cp "$src/data.inf" "$auth/data.inf"
  cp -r "$root/sample/theme" "$auth/theme"
  cp "$root/sample/language.lan" "$auth/language.lan"
  printf '%s\r\n' "[APPINFO]" "a1=Bench Product" "a2=1.0" "a3=$product_code" \
    "a4=<ProgramFilesFolder>\\Bench Product" "Language=English" "" "[BUILDING]" "2=Yes" "" \
    "[DIALOGLIST]" "TOTAL1=2" "W0=progress.lcd" "W1=complete.lcd" >"$auth/setup.inf"
  pkg="$drive_c/bench/pkg-$p"
  t=$(timed "$kqbuild" --setup-exe "$setup_exe" --support "$kqexec" "$auth" "$pkg")
  result[$p,size_ours]=$(mb "$(bytes "$pkg")")
  result[$p,size_cab]=$(mb "$(bytes "$pkg/file1.cab")")
  echo "kqbuild: $t s, package ${result[$p,size_ours]} MB, file1.cab ${result[$p,size_cab]} MB"
  printf '%s\r\n' "[APPINFO]" "a1=Bench Product" "a2=1.0" "a3=$product_code" \
    "a4=<ProgramFilesFolder>\\Bench Product" "Language=English" "" "[BUILDING]" "2=No" "" \
    "[DIALOGLIST]" "TOTAL1=3" "W0=$first_page_page" "W1=progress.lcd" "W2=complete.lcd" >"$auth/setup.inf"
  pkg_ui="$drive_c/bench/pkg-$p-ui"
  t=$(timed "$kqbuild" --setup-exe "$setup_exe" --support "$kqexec" "$auth" "$pkg_ui")
  echo "kqbuild (pages shown): $t s"

  # NSIS installers of the same files.
  nsis="$work/nsis-$p"
  mkdir -p "$nsis"
  ln -s "$src/files" "$nsis/files"
  cp "$src/payload.nsh" "$nsis/payload.nsh"
  for kind in zlib lzma; do
    if [ "$kind" = zlib ]; then compressor="SetCompressor zlib"; else compressor="SetCompressor /SOLID lzma"; fi
    cat >"$nsis/$kind.nsi" <<EOF
$nsis_target
$compressor
Name "NSIS Bench"
OutFile "nsis-$kind.exe"
InstallDir "\$PROGRAMFILES\\NSIS Bench"
RequestExecutionLevel admin
SilentInstall normal
Page instfiles
Section
!include "payload.nsh"
SetOutPath "\$INSTDIR"
WriteUninstaller "\$INSTDIR\\uninstall.exe"
WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NSISBench" "DisplayName" "NSIS Bench"
WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NSISBench" "UninstallString" "\$INSTDIR\\uninstall.exe"
SectionEnd
Section "Uninstall"
RMDir /r "\$INSTDIR"
DeleteRegKey HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NSISBench"
SectionEnd
EOF
    t=$(cd "$nsis" && timed makensis -V1 "$kind.nsi")
    [ -f "$nsis/nsis-$kind.exe" ] || { (cd "$nsis" && makensis -V2 "$kind.nsi") >&2; exit 1; }
    mv "$nsis/nsis-$kind.exe" "$drive_c/bench/nsis-$kind-$p.exe"
    result[$p,size_$kind]=$(mb "$(bytes "$drive_c/bench/nsis-$kind-$p.exe")")
    echo "makensis $kind: $t s, ${result[$p,size_$kind]} MB"
  done

  cab="C:\\bench\\pkg-$p\\file1.cab"
  if skipped "$p"; then
    echo "extraction: skipped (--skip-extraction)"
  else
  # ---- extraction, in-process
  for mode in ours startup minimal; do
    out=$("$KQ_WINE" "$drive_c/bench/bench_extract.exe" --mode "$mode" --cab "$cab" --out "C:\\bx" --runs "$runs" | tr -d '\r')
    files=$(awk '/^min/ { print $4 }' <<<"$out")
    [ "$files" = "$((expected + support))" ] || { echo "$mode extracted $files files, expected $((expected + support))" >&2; exit 1; }
    # shellcheck disable=SC2046  # one number a run
    result[$p,extract_$mode]=$(median $(awk '/^run/ { print $3 }' <<<"$out"))
  done
  # ---- extraction, whole processes
  declare -a t_ours=() t_min=() t_x32=()
  # (--keep: the extracted files stay, as extrac32 leaves them; removed here between runs)
  for _ in $(seq "$runs"); do
    rm -rf "$drive_c/bx"
    t_ours+=("$(timed "$KQ_WINE" "$drive_c/bench/bench_extract.exe" --mode ours --cab "$cab" --out "C:\\bx" --runs 1 --keep)")
    rm -rf "$drive_c/bx"
    t_min+=("$(timed "$KQ_WINE" "$drive_c/bench/bench_extract.exe" --mode minimal --cab "$cab" --out "C:\\bx" --runs 1 --keep)")
    rm -rf "$drive_c/bx"
    mkdir -p "$drive_c/bx/x32"
    t_x32+=("$(timed "$KQ_WINE" extrac32 /y /e /l "C:\\bx\\x32" "$cab")")
    n=$(count_files "$drive_c/bx/x32")
    [ "$n" = "$((expected + support))" ] || { echo "extrac32 extracted $n files, expected $((expected + support))" >&2; exit 1; }
  done
  rm -rf "$drive_c/bx"
  result[$p,proc_ours]=$(median "${t_ours[@]}")
  result[$p,proc_minimal]=$(median "${t_min[@]}")
  result[$p,proc_extrac32]=$(median "${t_x32[@]}")
  fi

  # ---- whole installation, then its removal
  ours_dir="$drive_c/Program Files/Bench Product"
  nsis_dir="$drive_c/Program Files/NSIS Bench"
  declare -a t_setup=() t_zlib=() t_lzma=() m_setup=() m_zlib=() m_lzma=() t_rm_ours=() t_rm_zlib=() m_rm_ours=() m_rm_zlib=()
  for _ in $(seq "$runs"); do
    rm -rf "$ours_dir" "$drive_c/windows/Installer/$product_code"
    # shellcheck disable=SC2086  # the options are words of their own
    read -r t m _ <<<"$(cd "$pkg" && timed_rss "$KQ_WINE" setup.exe $setup_args)"
    t_setup+=("$t"); m_setup+=("$m")
    n=$(count_files "$ours_dir")
    [ "$n" = "$expected" ] || { echo "setup.exe installed $n files, expected $expected" >&2; exit 1; }
    read -r t m code <<<"$(timed_rss "$KQ_WINE" 'C:\windows\kqexec.exe' /S /R "$product_code")"
    n=$(count_files "$ours_dir")
    [ "$code" = 0 ] && [ "$n" = 0 ] || { echo "kqexec /S /R ended with $code and left $n files" >&2; exit 1; }
    t_rm_ours+=("$t"); m_rm_ours+=("$m")
    for kind in zlib lzma; do
      rm -rf "$nsis_dir"
      read -r t m _ <<<"$(timed_rss "$KQ_WINE" "$drive_c/bench/nsis-$kind-$p.exe" /S)"
      n=$(count_files "$nsis_dir")
      [ "$n" = "$((expected + 1))" ] || { echo "nsis $kind installed $n files, expected $((expected + 1))" >&2; exit 1; }
      if [ "$kind" = zlib ]; then t_zlib+=("$t"); m_zlib+=("$m"); else t_lzma+=("$t"); m_lzma+=("$m"); fi
    done
    # The uninstaller is the same for both; one removal a run is measured.
    # Run in place, it cannot delete itself: only uninstall.exe may stay.
    # It takes the rest of its command line after _?= as the folder, and
    # would not take it quoted: Wine quotes an argument with spaces, so the
    # folder's words go as arguments of their own.
    read -r t m code <<<"$(timed_rss "$KQ_WINE" 'C:\Program Files\NSIS Bench\uninstall.exe' /S '_?=C:\Program' 'Files\NSIS' Bench)"
    n=$(count_files "$nsis_dir" uninstall.exe)
    [ "$code" = 0 ] && [ "$n" = 0 ] || { echo "the NSIS uninstaller ended with $code and left $n files" >&2; exit 1; }
    t_rm_zlib+=("$t"); m_rm_zlib+=("$m")
  done
  rm -rf "$ours_dir" "$nsis_dir"
  result[$p,install_ours]=$(median "${t_setup[@]}")
  result[$p,install_zlib]=$(median "${t_zlib[@]}")
  result[$p,install_lzma]=$(median "${t_lzma[@]}")
  result[$p,rss_ours]=$(median "${m_setup[@]}")
  result[$p,rss_zlib]=$(median "${m_zlib[@]}")
  result[$p,rss_lzma]=$(median "${m_lzma[@]}")
  result[$p,removal_ours]=$(median "${t_rm_ours[@]}")
  result[$p,removal_zlib]=$(median "${t_rm_zlib[@]}")
  result[$p,rss_removal_ours]=$(median "${m_rm_ours[@]}")
  result[$p,rss_removal_zlib]=$(median "${m_rm_zlib[@]}")

  # ---- first page
  declare -a f_start=() f_first=()
  for _ in $(seq "$runs"); do
    first_page "$pkg_ui"
    f_start+=("$fp_start"); f_first+=("$fp_first")
  done
  if [ "${f_start[0]}" = "-" ]; then result[$p,start_page]="-"; else result[$p,start_page]=$(median "${f_start[@]}"); fi
  result[$p,first_page]=$(median "${f_first[@]}")
  rm -rf "$src" "$auth" "$nsis" "$pkg" "$pkg_ui" "$drive_c/bench/nsis-"*"-$p.exe"
done

# One row of payload $p: the measure's three figures (result keys
# MEASURE_ours, MEASURE_<second>, MEASURE_<third>, the last part of each
# label's key after a dash) and the first against the other two.
against_two() {  # title measure label1 label2 label3 ratio-label2 ratio-label3
  local first="${result[$p,$2_ours]}" second="${result[$p,$2_${4##*-}]}" third="${result[$p,$2_${5##*-}]}"
  printf '  %-22s %s %-8s %s %-8s %s %-8s  %s %s  %s %s\n' "$1" "$3" "$first" "$4" "$second" "$5" "$third" \
    "$6" "$(ratio "$first" "$second")" "$7" "$(ratio "$first" "$third")"
}

echo
echo "== results: median of $runs runs, seconds unless named; $("$KQ_WINE" --version) $KQ_WINE_ARCH, $(nproc) cores, files on $base"
for p in $payloads; do
  echo
  echo "payload $p"
  if skipped "$p"; then echo "  extraction             skipped"; else
  printf '  extraction in-process  ours %-8s startup %-8s minimal %-8s  ours/minimal %s  startup/minimal %s\n' \
    "${result[$p,extract_ours]}" "${result[$p,extract_startup]}" "${result[$p,extract_minimal]}" \
    "$(ratio "${result[$p,extract_ours]}" "${result[$p,extract_minimal]}")" \
    "$(ratio "${result[$p,extract_startup]}" "${result[$p,extract_minimal]}")"
  against_two "extraction processes" proc ours minimal extrac32 ours/minimal ours/extrac32
  fi
  against_two installation install setup.exe nsis-zlib nsis-lzma ours/zlib ours/lzma
  against_two "peak memory, MB" rss setup.exe nsis-zlib nsis-lzma ours/zlib ours/lzma
  printf '  %-22s kqexec %-8s nsis %-8s  ours/nsis %s\n' removal "${result[$p,removal_ours]}" \
    "${result[$p,removal_zlib]}" "$(ratio "${result[$p,removal_ours]}" "${result[$p,removal_zlib]}")"
  printf '  %-22s kqexec %-8s nsis %-8s  ours/nsis %s\n' "peak memory, MB" "${result[$p,rss_removal_ours]}" \
    "${result[$p,rss_removal_zlib]}" "$(ratio "${result[$p,rss_removal_ours]}" "${result[$p,rss_removal_zlib]}")"
  printf '  %-22s folder %-8s (file1.cab %s) nsis-zlib %-8s nsis-lzma %-8s  ours/zlib %s\n' "package, MB" \
    "${result[$p,size_ours]}" "${result[$p,size_cab]}" "${result[$p,size_zlib]}" "${result[$p,size_lzma]}" \
    "$(ratio "${result[$p,size_ours]}" "${result[$p,size_zlib]}")"
  printf '  first page, ms         %s %-8s start page %s (target: <= 1000, the same for every payload)\n' \
    "$first_page_page" "${result[$p,first_page]}" "${result[$p,start_page]}"
done
echo "  setup.exe $(bytes "$setup_exe") bytes, kqexec.exe $(bytes "$kqexec") bytes"

# ---- the same for people to read: a Markdown table and a bar chart
md="$out_dir/install-$KQ_WINE_ARCH.md"
png="$out_dir/install-$KQ_WINE_ARCH.png"
commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)
git -C "$root" diff --quiet HEAD -- 2>/dev/null || commit="$commit with changes not committed"
kb() { awk -v b="$(bytes "$1")" 'BEGIN { printf "%.0f KB", b / 1024 }'; }
row() {  # payload measure ours zlib lzma (no ratio where a figure is "-")
  local rz="-" rl="-"
  [ "$4" = "-" ] || rz=$(ratio "$3" "$4")
  [ "$5" = "-" ] || rl=$(ratio "$3" "$5")
  printf '| %s | %s | %s | %s | **%s** | %s | %s |\n' "$1" "$2" "$3" "$4" "$rz" "$5" "$rl"
}
{
  echo "# Install benchmark, $KQ_WINE_ARCH route"
  echo
  echo "Written by \`bench/run-install-bench.sh\`, median of $runs runs each (its head says what is measured)."
  echo
  echo "| | |"
  echo "|---|---|"
  echo "| host | $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo), $(nproc) cores; files on $base |"
  echo "| date | $(date -u '+%Y-%m-%d %H:%M UTC') |"
  echo "| route | $("$root/scripts/wine-route" --describe) |"
  echo "| Wine | $("$KQ_WINE" --version) |"
  echo "| NSIS | makensis $(makensis -VERSION) |"
  echo "| kqbuild | commit $commit |"
  echo "| setup.exe | $(kb "$setup_exe")${setup_override:+, $setup_override}${setup_args:+, run with $setup_args} |"
  echo "| kqexec.exe | $(kb "$kqexec")${kqexec_override:+, $kqexec_override} |"
  echo
  echo "Seconds unless named (MB: 10^6 bytes). A ratio is ours / the peer's: below 1, ours is faster or smaller."
  echo "Removal: \`kqexec /S /R\` against the zlib installer's \`uninstall.exe /S _?=\` (both installers write the same one)."
  echo
  echo "| payload | measure | ours | NSIS zlib | ours/zlib | NSIS LZMA solid | ours/LZMA |"
  echo "|---|---|---|---|---|---|---|"
  for p in $payloads; do
    row "$p" install "${result[$p,install_ours]}" "${result[$p,install_zlib]}" "${result[$p,install_lzma]}"
    row "$p" removal "${result[$p,removal_ours]}" "${result[$p,removal_zlib]}" -
    row "$p" "peak memory of the install, MB" "${result[$p,rss_ours]}" "${result[$p,rss_zlib]}" "${result[$p,rss_lzma]}"
    row "$p" "peak memory of the removal, MB" "${result[$p,rss_removal_ours]}" "${result[$p,rss_removal_zlib]}" -
    row "$p" "package, MB (ours: folder; its file1.cab ${result[$p,size_cab]})" "${result[$p,size_ours]}" \
      "${result[$p,size_zlib]}" "${result[$p,size_lzma]}"
  done
  echo
  echo "Cabinet extraction (seconds) and the first page (milliseconds from the start; target <= 1000):"
  echo
  echo "| payload | in-process: ours | startup | minimal | ours/minimal | process: ours | minimal | extrac32 | ours/extrac32 | first page | start page |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|"
  for p in $payloads; do
    if skipped "$p"; then
      printf '| %s | skipped | | | | | | | |' "$p"
    else
      printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |' "$p" "${result[$p,extract_ours]}" \
        "${result[$p,extract_startup]}" "${result[$p,extract_minimal]}" \
        "$(ratio "${result[$p,extract_ours]}" "${result[$p,extract_minimal]}")" "${result[$p,proc_ours]}" \
        "${result[$p,proc_minimal]}" "${result[$p,proc_extrac32]}" "$(ratio "${result[$p,proc_ours]}" "${result[$p,proc_extrac32]}")"
    fi
    printf ' %s | %s |\n' "${result[$p,first_page]}" "${result[$p,start_page]}"
  done
  echo
  echo "![ours / NSIS zlib, per measure and payload](install-$KQ_WINE_ARCH.png)"
} >"$md"

# The chart: ours / NSIS zlib for each measure, a bar for each payload.
chart="$work/chart.dat"
{
  printf 'measure'; for p in $payloads; do printf ' %s' "$p"; done; echo
  for m in install:install removal:removal "memory, install:rss" "memory, removal:rss_removal" package:size; do
    printf '"%s"' "${m%%:*}"
    for p in $payloads; do printf ' %s' "$(ratio "${result[$p,${m#*:}_ours]}" "${result[$p,${m#*:}_zlib]}")"; done
    echo
  done
} >"$chart"
count=$(wc -w <<<"$payloads")
gnuplot <<EOF
set terminal pngcairo size 900,480 font "sans,10"
set output "$png"
set title "Install benchmark, $KQ_WINE_ARCH route, $(date -u +%Y-%m-%d), median of $runs: ours / NSIS zlib (below 1: ours is faster or smaller)"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.8 border -1
set boxwidth 0.9
set ylabel "ours / NSIS zlib"
set yrange [0:*]
set offsets 0, 0, graph 0.08, 0
set grid ytics
set key outside right top title "payload" autotitle columnheader
set arrow from graph 0, first 1 to graph 1, first 1 nohead lw 2 dt 2 lc rgb "black"
# Each bar's figure above it: bars of a cluster are 1 / (payloads + gap) apart.
w = 1.0 / ($count + 1)
plot for [i=2:$count + 1] "$chart" using i:xtic(1), \\
  for [i=2:$count + 1] "" using (\$0 + (i - 2 - ($count - 1) / 2.0) * w):i:(sprintf("%.2f", column(i))) \\
    with labels offset 0, 0.6 font "sans,8" notitle
EOF
echo "written: $md, $png"
