#!/usr/bin/env bash
# The main screen filling today's counter monitors: for each screen size, full screen with and
# without a window manager (openbox), the program is started from a counter folder of its
# own, a screenshot is left in the build folder, and keys are pressed by their scaled screen
# positions with xdotool: "1", "2", "Товар", ".", "5", "Печать" must print one label of
# product 12 at 0.5 kg into the packing journal. The layout editor then opens grown with the
# screen and whole on it.
# Usage: xvfb_scaled.sh BIN OUTDIR [WxH ...]
set -euo pipefail
bin=$1
outdir=$2
shift 2
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(800x600 1366x768 1920x1080 1280x1024)
mkdir -p "$outdir"
source "$(dirname "$0")/../../scripts/xvfb.sh"
unset QT_QPA_PLATFORM

run_one() { # SIZE WM(none|openbox)
  local size=$1 wm=$2 work pids=() display
  work=$(mktemp -d)
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' RETURN
  cp "$bin/varnet" "$work/varnet"
  "$bin/varnet-democat" --sqlite "$work/catalogue.db" --rows 50 >/dev/null
  "$bin/varnet-label" sample --kind weight --page 58x40 --out "$work/Varnet.cfg"
  "$bin/varnet-label" sample --kind piece --page 58x40 --out "$work/QLabel.cfg"
  printf '[Varnet]\nPrinterName=%s\nPenny=1\n[SQL]\nDriver=SQLite3\nServer=localhost\nDatabase=%s\nUser=sa\n' \
    "${VARNET_CUPS_QUEUE:-VarnetPDF}" "$work/catalogue.db" >"$work/Varnet.ini"
  start_xvfb "$size"
  if [ "$wm" = openbox ]; then
    DISPLAY=$display openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
  fi
  DISPLAY=$display "$work/varnet" --full-screen >"$work/log" 2>&1 &
  pids+=($!)
  local win
  win=$(find_window '^Ведант$')
  [ -n "$win" ] || { echo "$size $wm: no window"; cat "$work/log"; return 1; }
  sleep 1.5
  local geometry w h
  geometry=$(DISPLAY=$display xdotool getwindowgeometry "$win")
  echo "$size $wm: $(echo "$geometry" | tr '\n' ' ')"
  w=${size%x*}
  h=${size#*x}
  echo "$geometry" | grep -q "Geometry: ${w}x${h}" || { echo "$size $wm: not full screen"; return 1; }
  local shot="$outdir/mainscreen-$size-$wm.png"
  DISPLAY=$display import -window root "$shot"
  echo "screenshot $shot"

  # The keys' centres: the frameless design (panel at 400,208, 392 x 385; keys 91 x 71 apart
  # by 95 x 75 from 408,216) scaled by the largest factor that fits, centred.
  read -r s ox oy < <(awk -v w="$w" -v h="$h" 'BEGIN {
    s = w / 800; if (h / 600 < s) s = h / 600;
    printf "%.6f %d %d\n", s, int((w - int(800 * s + 0.5)) / 2), int((h - int(600 * s + 0.5)) / 2) }')
  press() { # ROW COLUMN [ROWS]
    local rows=${3:-1}
    local x y
    x=$(awk -v s="$s" -v o="$ox" -v c="$2" 'BEGIN { printf "%d", o + (408 + c * 95 + 45) * s }')
    y=$(awk -v s="$s" -v o="$oy" -v r="$1" -v n="$rows" \
      'BEGIN { printf "%d", o + (216 + r * 75 + (n == 1 ? 35 : 73)) * s }')
    DISPLAY=$display xdotool mousemove "$x" "$y" click 1
    sleep 0.4
  }
  press 3 0   # 1
  press 3 1   # 2
  press 1 3 2 # Товар
  sleep 1
  press 4 2   # .
  press 2 1   # 5
  DISPLAY=$display import -window root "$outdir/mainscreen-$size-$wm-typed.png"
  press 3 3 2 # Печать
  local rows=
  for _ in $(seq 100); do
    rows=$("$bin/varnet-journal" --file "$work/Journal.db" --labels 2>/dev/null | grep 2700012 || true)
    [ -n "$rows" ] && break
    sleep 0.2
  done
  DISPLAY=$display import -window root "$outdir/mainscreen-$size-$wm-printed.png"
  echo "$size $wm journal: $rows"
  echo "$rows" | grep -q '2700012005007' || { echo "$size $wm: no label of 12 at 0.5 kg"; cat "$work/log"; return 1; }
  kill -0 "${pids[-1]}" || { echo "$size $wm: the program has ended"; cat "$work/log"; return 1; }

  # The layout editor ("/") grows with the screen but stays on it whole, its title bar too.
  if awk -v s="$s" 'BEGIN { exit !(s > 1) }'; then
    DISPLAY=$display xdotool key slash
    local editor
    editor=$(find_window '^Конфигурация этикетки' 100)
    [ -n "$editor" ] || { echo "$size $wm: no layout editor"; cat "$work/log"; return 1; }
    sleep 1
    DISPLAY=$display import -window root "$outdir/editor-$size-$wm.png"
    local ex ey ew eh
    read -r ex ey ew eh < <(DISPLAY=$display xwininfo -id "$editor" |
      awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
           /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print x, y, w, h}')
    echo "$size $wm editor: ${ew}x${eh} at $ex,$ey"
    local top=0
    [ "$wm" = openbox ] && top=1
    [ "$ex" -ge 0 ] && [ "$ey" -ge "$top" ] && [ $((ex + ew)) -le "$w" ] && [ $((ey + eh)) -le "$h" ] &&
      [ "$ew" -gt 800 ] || { echo "$size $wm: the editor is not whole on the screen"; return 1; }
    DISPLAY=$display xdotool key Escape
    sleep 0.5
  fi
}

for size in "${sizes[@]}"; do
  run_one "$size" none
  if command -v openbox >/dev/null; then run_one "$size" openbox; fi
done
