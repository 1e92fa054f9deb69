#!/usr/bin/env bash
# Runs the Windows build under Wine and Xvfb, in a Wine prefix of its own:
#   scripts/windows/test-wine.sh [LINUX-BUILD-FOLDER]   (default build-ci)
# - the QTest programs that need nothing outside the process;
# - the counter's files (Varnet.ini, Varnet.cfg, QLabel.cfg) written by the Windows build,
#   byte for byte equal to the Linux build's;
# - the CAS, Massa-K and OKA protocols on COM ports that the registry key
#   HKLM\Software\Wine\Ports maps to the pseudo-terminals of the Linux scale simulator;
# - the catalogue through Wine's ODBC, which hands on to unixODBC's SQLite driver;
# - the workstation's print flow printing a label through Wine's spooler into a CUPS capture
#   queue; the captured page is turned back into dots, its barcode read with zbarimg and
#   compared with the label the Linux build prints to the same queue;
# - the program started from the unpacked ZIP, alone in a fresh prefix, its window on Xvfb.
# Ends with the line "N passed, N failed" and fails when anything failed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/windows/common.sh
. "$here/common.sh"
root=$VARNET_WIN_ROOT
linux=${1:-$root/build-ci}
win=$root/build-windows
start=$(date +%s)

bash "$here/build.sh"

work=$(mktemp -d /tmp/varnet-wine.XXXXXX)
chmod 0755 "$work"
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$work/zipprefix wineserver -k 2>/dev/null || true
  [ -n "${VARNET_WINE_KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export WINEPREFIX=$work/prefix
# shellcheck source=scripts/xvfb.sh
. "$root/scripts/xvfb.sh"
start_xvfb
export DISPLAY=$display

passed=0
failed=0
check() {
  local name=$1
  shift
  if "$@"; then
    echo "PASS   $name"
    passed=$((passed + 1))
  else
    echo "FAIL   $name"
    failed=$((failed + 1))
  fi
}
# The Windows name of a Linux path: drive Z: is the root of the Linux tree.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# A prefix of the test's own; labels name Arial and the dialogs MS Shell Dlg, which Wine
# draws with the Liberation faces.
boot_prefix() {
  wine wineboot --init >/dev/null 2>&1
  local face
  for face in Arial "MS Shell Dlg" "MS Shell Dlg 2" Tahoma "Segoe UI"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "Liberation Sans" /f \
      >/dev/null 2>&1
  done
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Times New Roman" \
    /d "Liberation Serif" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Courier New" \
    /d "Liberation Mono" /f >/dev/null 2>&1
  wineserver -w
}
boot=$(date +%s)
boot_prefix
echo "wine prefix ready in $(($(date +%s) - boot)) s"

# 1. QTest programs; their log goes to a file (through a pipe it would be empty). Wine draws
# no text turned by 90, 180 or 270 degrees and no full-block glyph in this prefix, so the rows
# that measure turned digits or a text of blocks over the bars are left to the Linux run
# (the EAN-13 reader itself reads every page of tst_ean13reader).
qtest() {
  local t=$1
  shift
  local rc=0
  (cd "$win/tests" && wine "tst_$t.exe" -platform minimal \
    -o "$(winpath "$work/tst_$t.txt"),txt" "$@" >/dev/null 2>&1) || rc=$?
  grep -a '^Totals' "$work/tst_$t.txt" | sed "s/^/       tst_$t: /"
  grep -a -A3 '^FAIL' "$work/tst_$t.txt" | sed 's/^/       /' || true
  return $rc
}
# The test functions and data rows of a Linux test program, less those matching a pattern.
selection() {
  local program=$1 leave=$2
  QT_QPA_PLATFORM=offscreen "$linux/tests/$program" -datatags 2>/dev/null |
    awk '{ f = $2; $1 = ""; $2 = ""; sub(/^  */, ""); print ($0 == "" ? f : f ":" $0) }' |
    grep -v -E "$leave" || true
}
check "tst_ean13reader under Wine" qtest ean13reader
mapfile -t rows < <(selection tst_ean13 'geometryAtEachRotation:(90|180|270)$')
check "tst_ean13 under Wine (upright digits)" qtest ean13 "${rows[@]}"
mapfile -t rows < <(selection tst_labelcheck 'covered by a text')
check "tst_labelcheck under Wine (without the text of blocks)" qtest labelcheck "${rows[@]}"

# 2. The counter's files, byte for byte.
mkdir -p "$work/files-linux" "$work/files-windows"
"$linux/tests/writecounterfiles" "$work/files-linux"
wine "$win/tests/writecounterfiles.exe" "$(winpath "$work/files-windows")" >/dev/null 2>&1 || true
for f in Varnet.ini Varnet.cfg QLabel.cfg; do
  check "$f written by the Windows build equals the Linux build's" \
    cmp "$work/files-linux/$f" "$work/files-windows/$f"
done

# 3. Scales: one simulator a protocol, each on the pseudo-terminal a COM port leads to.
declare -A ports=([cas]=5 [massa]=6 [oka]=7)
for p in cas massa oka; do
  mkfifo "$work/sim-$p.in"
  "$linux/bin/varnet-scale-sim" --protocol "$p" --weight 1.234 <"$work/sim-$p.in" \
    >"$work/sim-$p.out" 2>&1 &
  pids+=($!)
  exec {fd}>"$work/sim-$p.in" # keeps the simulator's input open
  for _ in $(seq 50); do grep -q '^device ' "$work/sim-$p.out" && break; sleep 0.1; done
  dev=$(sed -n 's/^device //p' "$work/sim-$p.out" | head -n1)
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM${ports[$p]}" /d "$dev" /f >/dev/null 2>&1
done
wineserver -k
wineserver -w
scale_reads() {
  local p=$1 out
  out=$(wine "$win/bin/varnet-scale.exe" --protocol "$p" --device "\\\\.\\COM${ports[$p]}" \
    --count 3 2>"$work/scale-$p.err" | tr -d '\r')
  echo "       $p on COM${ports[$p]}: $(echo "$out" | tr '\n' ' ')"
  [ "$(echo "$out" | grep -c '^1\.234$')" = 3 ]
}
for p in cas massa oka; do
  check "$p scale on COM${ports[$p]} reads 1.234 kg three times" scale_reads "$p"
done

# 4. The catalogue through Wine's ODBC: the same product as the Linux build reads.
"$linux/bin/varnet-democat" --sqlite "$work/catalogue.db" >/dev/null
catalogue_reads() {
  local code=$1 want got
  want=$("$linux/tests/wincatalogue" SQLite3 "$work/catalogue.db" "$code")
  got=$(wine "$win/tests/wincatalogue.exe" SQLite3 "$work/catalogue.db" "$code" 2>/dev/null |
    tr -d '\r')
  echo "       code $code: $got"
  [ -n "$want" ] && [ "$got" = "$want" ]
}
check "catalogue lookup of code 1 through Wine's ODBC" catalogue_reads 1
check "catalogue lookup of code 12 through Wine's ODBC" catalogue_reads 12
check "unknown code 999999 is not found through Wine's ODBC" \
  bash -c "[ \"\$(wine '$win/tests/wincatalogue.exe' SQLite3 '$work/catalogue.db' 999999 2>/dev/null | tr -d '\r')\" = 'not found' ]"

# 5. A label through Wine's spooler into the CUPS capture queue, decoded and read back.
bash "$root/scripts/services.sh" start cups >/dev/null
queue=${VARNET_CUPS_QUEUE:-VarnetPDF}
capture=${VARNET_CUPS_CAPTURE:-/var/spool/varnet-jobs}
wait_job() {
  local before=$1 job
  for _ in $(seq 150); do
    # The backend writes a hidden file and renames it to job-<id>-<title>.pdf when complete.
    job=$(find "$capture" -maxdepth 1 -type f -name 'job-*' -newer "$before" | head -n1)
    [ -n "$job" ] && { echo "$job"; return 0; }
    sleep 0.2
  done
  return 1
}
# Prints one label of product 27 at 0.512 kg (the clock fixed) through the print flow of the
# build named; the captured PDF is turned back into dots at the page's own resolution and its
# barcode read with zbarimg.
print_label() {
  local who=$1 out rc=0 dir=$work/print-$1
  mkdir -p "$dir"
  touch "$work/before-$who"
  if [ "$who" = windows ]; then
    out=$(wine "$win/tests/winprintlabel.exe" "$(winpath "$dir")" "$queue" 27 0.512 2>/dev/null |
      tr -d '\r') || rc=$?
  else
    out=$(QT_QPA_PLATFORM=offscreen "$linux/tests/winprintlabel" "$dir" "$queue" 27 0.512 \
      2>/dev/null) || rc=$?
  fi
  echo "$out" | sed 's/^/       '"$who"': /'
  echo "$out" | sed -n 's/^barcode //p' >"$work/digits-$who"
  [ $rc = 0 ] && [ -s "$dir/page.png" ] || return 1
  local job width dpi read
  job=$(wait_job "$work/before-$who") || { echo "       no job reached $capture"; return 1; }
  cp "$job" "$work/job-$who.pdf"
  # The label is 58 mm wide: its page bitmap's width gives the printer's resolution.
  width=$(identify -format '%w' "$dir/page.png")
  dpi=$(((width * 254 + 290) / 580))
  echo "$dpi" >"$work/dpi-$who"
  # The captured PDF carries the page as one image: its dots are what reached the queue.
  pdfimages -png "$work/job-$who.pdf" "$work/image-$who" || return 1
  convert "$work/image-$who-000.png" -colorspace gray -threshold 50% "$work/captured-$who.png"
  convert "$dir/page.png" -threshold 50% "$work/drawn-$who.png"
  # zbar wants white around a symbol that sits at the page's edge.
  convert "$work/captured-$who.png" -bordercolor white -border 40 "$work/padded-$who.png"
  read=$(zbarimg -q --raw "$work/padded-$who.png" 2>/dev/null | head -n1)
  echo "       $who: page $(identify -format '%wx%h' "$dir/page.png") dots at $dpi dpi;" \
    "the captured page reads $read, composed $(cat "$work/digits-$who")"
  [ -n "$read" ] && [ "$read" = "$(cat "$work/digits-$who")" ]
}
check "the Linux build prints the label to $queue and it reads back" print_label linux
check "the Windows build prints the label through Wine to $queue and it reads back" \
  print_label windows
# Dots of the Windows label: as captured against as drawn by the Windows build (the spooler
# path must change none), and as drawn against the Linux build's drawing of the same label at
# the same resolution (what the two builds draw differently: the fonts' rasterisers).
dots_differ() {
  compare -metric AE "$1" "$2" null: 2>&1 || true
}
compare_dots() {
  [ -f "$work/drawn-windows.png" ] || return 1
  local dpi total spool builds bars_w bars_l
  dpi=$(cat "$work/dpi-windows")
  mkdir -p "$work/print-reference"
  QT_QPA_PLATFORM=offscreen "$linux/tests/winprintlabel" "$work/print-reference" "58x40@$dpi" 27 \
    0.512 >/dev/null 2>&1 || return 1
  convert "$work/print-reference/page.png" -threshold 50% "$work/drawn-reference.png"
  total=$(identify -format '%[fx:w*h]' "$work/drawn-windows.png")
  spool=$(dots_differ "$work/captured-windows.png" "$work/drawn-windows.png")
  builds=$(dots_differ "$work/drawn-windows.png" "$work/drawn-reference.png")
  # The bars alone: the lower third of the label, without the digits' row.
  bars_w=$work/bars-windows.png
  bars_l=$work/bars-reference.png
  convert "$work/drawn-windows.png" -crop "100%x18%+0+$(identify -format '%[fx:int(h*0.62)]' \
    "$work/drawn-windows.png")" +repage "$bars_w"
  convert "$work/drawn-reference.png" -crop "100%x18%+0+$(identify -format '%[fx:int(h*0.62)]' \
    "$work/drawn-reference.png")" +repage "$bars_l"
  echo "       of $total dots at $dpi dpi: captured vs drawn by the Windows build: $spool differ;"
  echo "       Windows vs Linux drawing of the same label: $builds differ, in the bars' band:" \
    "$(dots_differ "$bars_w" "$bars_l")"
  cp "$work/captured-windows.png" "$win/wine-label.png"
  cp "$work/drawn-reference.png" "$win/linux-label.png"
  [ "$spool" = 0 ]
}
check "the label captured from Wine's spooler has every dot the Windows build drew" compare_dots

# 6. The program from the unpacked ZIP, alone in a fresh prefix: its main screen on Xvfb.
zip_starts() {
  local zip dir shot
  zip=$(ls "$win"/Varnet-*-win64.zip | head -n1)
  unzip -q "$zip" -d "$work/unzipped"
  dir=$(ls -d "$work/unzipped"/Varnet-* | head -n1)
  # Nothing is installed into this prefix: only Wine's stand-ins for Windows' own fonts.
  WINEPREFIX=$work/zipprefix boot_prefix
  (cd "$dir" && WINEPREFIX=$work/zipprefix wine varnet.exe >"$work/zip-run.log" 2>&1) &
  local run=$!
  pids+=($run)
  for _ in $(seq 60); do
    xwininfo -root -tree 2>/dev/null | grep -q 'Ведант' && break
    sleep 1
  done
  sleep 3
  shot=$win/wine-main-screen.png
  import -window root "$shot" 2>/dev/null
  xwininfo -root -tree 2>/dev/null | grep 'Ведант\|Ошибка' | sed 's/^ */       window: /' || true
  WINEPREFIX=$work/zipprefix wineserver -k 2>/dev/null || true
  echo "       screenshot: $shot"
  kill "$run" 2>/dev/null || true
  wait "$run" 2>/dev/null || true
  [ -s "$shot" ] && ls "$dir"/varnet.exe >/dev/null
}
check "varnet.exe starts from the unpacked ZIP in a prefix with nothing else installed" zip_starts

echo "wine tests took $(($(date +%s) - start)) s"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
