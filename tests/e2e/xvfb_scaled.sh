#!/usr/bin/env bash
# The main screen filling today's counter monitors: for each screen size, full screen with and
# without a window manager (openbox), and at 800 x 600 also in a window below openbox's title
# bar, the program is started from a counter folder of its own and must be whole on the
# screen. Keys are pressed by their scaled screen positions with xdotool: "1", "2", "Товар",
# ".", "5", "Печать" must print one label of product 12 at 0.5 kg into the packing journal.
# The journal (from the screen's menu), the search list ("Товар" with nothing keyed) and the
# layout editor then open whole on the screen; the editor is closed by a finger on its close
# key alone. Every step leaves a screenshot in the output folder.
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

# The client area of a window: "X Y W H".
client_area() {
  DISPLAY=$display xwininfo -id "$1" |
    awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
         /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print x, y, w, h}'
}

run_one() { # SIZE WM(none|openbox) MODE(full|window)
  local size=$1 wm=$2 mode=$3 work pids=() display
  local tag=$size-$wm
  [ "$mode" = window ] && tag=$tag-window
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
  local options=()
  [ "$mode" = full ] && options=(--full-screen)
  DISPLAY=$display "$work/varnet" "${options[@]}" >"$work/log" 2>&1 &
  pids+=($!)
  local program=$!
  local win
  win=$(find_window '^Ведант$')
  [ -n "$win" ] || { echo "$tag: no window"; cat "$work/log"; return 1; }
  sleep 1.5
  local w=${size%x*} h=${size#*x} top=0
  [ "$wm" = openbox ] && top=1 # a title bar above every window
  # whole TAG X Y W H: the window lies on the screen, below a title bar where there is one.
  whole() {
    [ "$2" -ge 0 ] && [ "$3" -ge "$top" ] && [ $(($2 + $4)) -le "$w" ] && [ $(($3 + $5)) -le "$h" ] ||
      { echo "$tag: $1 is not whole on the screen: $4x$5 at $2,$3"; return 1; }
  }
  local X Y W H
  read -r X Y W H < <(client_area "$win")
  echo "$tag: main screen ${W}x${H} at $X,$Y"
  if [ "$mode" = full ]; then
    [ "$X,$Y,$W,$H" = "0,0,$w,$h" ] || { echo "$tag: not full screen"; return 1; }
  else
    whole "the main screen" "$X" "$Y" "$W" "$H"
  fi
  DISPLAY=$display import -window root "$outdir/mainscreen-$tag.png"
  echo "screenshot $outdir/mainscreen-$tag.png"

  # The keys' centres: the frameless design (panel at 400,208, 392 x 385; keys 91 x 71 apart
  # by 95 x 75 from 408,216) scaled by the largest factor that fits the window, centred.
  read -r s ox oy < <(awk -v x="$X" -v y="$Y" -v w="$W" -v h="$H" 'BEGIN {
    s = w / 800; if (h / 600 < s) s = h / 600;
    printf "%.6f %d %d\n", s, x + int((w - int(800 * s + 0.5)) / 2), y + int((h - int(600 * s + 0.5)) / 2) }')
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
  DISPLAY=$display import -window root "$outdir/mainscreen-$tag-typed.png"
  press 3 3 2 # Печать
  local rows=
  for _ in $(seq 100); do
    rows=$("$bin/varnet-journal" --file "$work/Journal.db" --labels 2>/dev/null | grep 2700012 || true)
    [ -n "$rows" ] && break
    sleep 0.2
  done
  DISPLAY=$display import -window root "$outdir/mainscreen-$tag-printed.png"
  echo "$tag journal: $rows"
  echo "$rows" | grep -q '2700012005007' || { echo "$tag: no label of 12 at 0.5 kg"; cat "$work/log"; return 1; }
  kill -0 "$program" || { echo "$tag: the program has ended"; cat "$work/log"; return 1; }

  # dialog NAME TITLE: waits for the dialog, checks that it is whole, takes its screenshot;
  # leaves its window in $dialog and its client area in DX DY DW DH.
  dialog() {
    dialog=$(find_window "$2" 100)
    [ -n "$dialog" ] || { echo "$tag: no window $2"; cat "$work/log"; return 1; }
    sleep 1
    read -r DX DY DW DH < <(client_area "$dialog")
    echo "$tag $1: ${DW}x${DH} at $DX,$DY"
    whole "$1" "$DX" "$DY" "$DW" "$DH"
    DISPLAY=$display import -window root "$outdir/$1-$tag.png"
    echo "screenshot $outdir/$1-$tag.png"
  }
  gone() { # WINDOW NAME
    for _ in $(seq 50); do
      DISPLAY=$display xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || return 0
      sleep 0.1
    done
    echo "$tag: $2 is still open"
    return 1
  }

  # The journal, from the screen's menu (the right button; its second item).
  DISPLAY=$display xdotool mousemove $((ox + 200)) $((oy + 50)) click 3
  sleep 0.7
  DISPLAY=$display xdotool key Down Down Return
  dialog journal '^Журнал фасовки$'
  DISPLAY=$display xdotool key Escape
  gone "$dialog" "the journal"

  # The search list: "Товар" with nothing keyed.
  DISPLAY=$display xdotool key Escape
  press 1 3 2
  dialog search '^Поиск товара$'
  DISPLAY=$display xdotool key Escape
  gone "$dialog" "the search list"

  # The layout editor ("/") grows with the screen (or shrinks below a title bar) but stays on
  # it whole; a finger on its close key (the design's 761,8, 34 x 34) closes it.
  DISPLAY=$display xdotool key slash
  dialog editor '^Конфигурация этикетки'
  if awk -v s="$s" 'BEGIN { exit !(s > 1.05) }'; then
    [ "$DW" -gt 800 ] || { echo "$tag: the editor has not grown with the screen"; return 1; }
  fi
  local cx cy
  read -r cx cy < <(awk -v x="$DX" -v y="$DY" -v w="$DW" -v h="$DH" 'BEGIN {
    f = w / 800; if (h / 600 < f) f = h / 600; printf "%d %d\n", x + 778 * f, y + 25 * f }')
  DISPLAY=$display xdotool mousemove "$cx" "$cy" click 1
  gone "$dialog" "the editor"
  kill -0 "$program" || { echo "$tag: the program has ended"; cat "$work/log"; return 1; }
}

for size in "${sizes[@]}"; do
  run_one "$size" none full
  if command -v openbox >/dev/null; then
    run_one "$size" openbox full
    # In a window of the design's size below openbox's title bar.
    if [ "$size" = 800x600 ]; then run_one "$size" openbox window; fi
  fi
done
