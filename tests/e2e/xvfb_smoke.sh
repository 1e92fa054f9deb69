#!/usr/bin/env bash
# The real window under Xvfb: the program starts from a counter folder of its own, shows the
# main screen at 800 x 600 with its title, and leaves a screenshot in the build folder.
set -euo pipefail
bin=$1
out=$2
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

cp "$bin/varnet" "$work/varnet"
"$bin/varnet-democat" --sqlite "$work/catalogue.db" --rows 50 >/dev/null
"$bin/varnet-label" sample --kind weight --page 58x40 --out "$work/Varnet.cfg"
"$bin/varnet-label" sample --kind piece --page 58x40 --out "$work/QLabel.cfg"
printf '[Varnet]\nPrinterName=%s\nPenny=1\n[SQL]\nDriver=SQLite3\nServer=localhost\nDatabase=%s\nUser=sa\n' \
  "${VARNET_CUPS_QUEUE:-VarnetPDF}" "$work/catalogue.db" >"$work/Varnet.ini"

source "$(dirname "$0")/../../scripts/xvfb.sh"
start_xvfb
unset QT_QPA_PLATFORM
DISPLAY=$display "$work/varnet" >"$work/log" 2>&1 &
pids+=($!)
win=$(find_window '^Ведант$')
[ -n "$win" ] || { echo "no window titled Ведант"; cat "$work/log"; exit 1; }
sleep 1
geometry=$(DISPLAY=$display xdotool getwindowgeometry "$win")
echo "$geometry"
echo "$geometry" | grep -q 'Geometry: 800x600' || { echo "the window is not 800 x 600"; exit 1; }
# Centred on the 1024 x 768 screen (no window manager, so no frame).
echo "$geometry" | grep -q 'Position: 112,84' || { echo "the window is not centred"; exit 1; }
mkdir -p "$(dirname "$out")"
DISPLAY=$display import -window root "$out"
colours=$(convert "$out" -format %k info:)
echo "screenshot $out with $colours colours"
[ "$colours" -gt 50 ] || { echo "the screenshot looks empty"; exit 1; }
kill -0 "${pids[1]}" || { echo "the program has ended"; cat "$work/log"; exit 1; }

# The dialogs as an operator opens them from the keyboard: "/" the layout editor (Enter
# there opens the property dialog of its focused element), "*" the settings dialog.
shot() { # NAME TITLE-PATTERN; leaves the window in $w
  w=
  for _ in $(seq 100); do
    w=$(DISPLAY=$display xdotool search --name "$2" 2>/dev/null | tail -1 || true)
    [ -n "$w" ] && break
    sleep 0.1
  done
  [ -n "$w" ] || { echo "no window titled $2"; cat "$work/log"; exit 1; }
  sleep 0.5
  DISPLAY=$display import -window root "$(dirname "$out")/$1.png"
  echo "screenshot $(dirname "$out")/$1.png"
}
key() { DISPLAY=$display xdotool key --clearmodifiers "$@"; sleep 0.3; }
DISPLAY=$display xdotool windowfocus "$win" 2>/dev/null || true
key slash
shot editor-xvfb '^Конфигурация этикетки'
# The first element button, "Штрих-код", at the top of the editor's button column.
DISPLAY=$display xdotool mousemove --window "$w" 700 65 click 1
sleep 0.3
shot property-xvfb '^Параметры штрих-кода$'
key Escape
key Escape
key asterisk
shot settings-xvfb '^Конфигурация$'
key Escape
kill -0 "${pids[1]}" || { echo "the program has ended"; cat "$work/log"; exit 1; }
