#!/usr/bin/env bash
# Tare and the shift's totals on the real window at 1366 x 768, by touch only: a CAS scale
# simulated on a pseudo-terminal linked as COM1 holds a tray, the tare key takes it, the goods
# go on and the weight field shows the net weight with «НЕТТО» (a screenshot); «Печать»
# prints it, a keyed weight prints too, and «Итоги смены...» from the right button's menu
# shows the shift (a screenshot). The journal must hold the net weight with its tare, taken
# from the scale, and the keyed one marked so.
# Usage: xvfb_weighing.sh BIN OUTDIR
set -euo pipefail
bin=$1
outdir=$2
size=1366x768
mkdir -p "$outdir"
work=$(mktemp -d)
pids=()
cleanup() {
  exec 7>&- 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/../../scripts/xvfb.sh"
unset QT_QPA_PLATFORM

cp "$bin/varnet" "$work/varnet"
"$bin/varnet-democat" --sqlite "$work/catalogue.db" --rows 50 >/dev/null
"$bin/varnet-label" sample --kind weight --page 58x40 --out "$work/Varnet.cfg"
"$bin/varnet-label" sample --kind piece --page 58x40 --out "$work/QLabel.cfg"
printf '[Varnet]\nPrinterName=%s\nPenny=1\n[Scale]\nRS232Port=1\nType=3\n[SQL]\nDriver=SQLite3\nServer=localhost\nDatabase=%s\nUser=sa\n' \
  "${VARNET_CUPS_QUEUE:-VarnetPDF}" "$work/catalogue.db" >"$work/Varnet.ini"

# The scale takes its weights from a pipe that stays open.
mkfifo "$work/weights"
"$bin/varnet-scale-sim" --protocol cas --link-dir "$work" --port 1 <"$work/weights" >"$work/sim.log" 2>&1 &
pids+=($!)
exec 7>"$work/weights"
weigh() { echo "$1" >&7; sleep 1.2; }
for _ in $(seq 50); do [ -e "$work/COM1" ] && break; sleep 0.1; done
[ -e "$work/COM1" ] || { echo "no simulated scale"; cat "$work/sim.log"; exit 1; }

start_xvfb "$size"
DISPLAY=$display "$work/varnet" --full-screen >"$work/log" 2>&1 &
pids+=($!)
win=$(find_window '^Ведант$')
[ -n "$win" ] || { echo "no window"; cat "$work/log"; exit 1; }
sleep 1.5

# Positions of the frameless 800 x 600 design, scaled and centred as the screen does it.
w=${size%x*}
h=${size#*x}
read -r s ox oy < <(awk -v w="$w" -v h="$h" 'BEGIN {
  s = w / 800; if (h / 600 < s) s = h / 600;
  printf "%.6f %d %d\n", s, int((w - int(800 * s + 0.5)) / 2), int((h - int(600 * s + 0.5)) / 2) }')
tap() { # X Y of the design
  local x y
  x=$(awk -v s="$s" -v o="$ox" -v v="$1" 'BEGIN { printf "%d", o + v * s }')
  y=$(awk -v s="$s" -v o="$oy" -v v="$2" 'BEGIN { printf "%d", o + v * s }')
  DISPLAY=$display xdotool mousemove "$x" "$y" click 1
  sleep 0.4
}
key() { # ROW COLUMN [ROWS] of the keypad (keys 91 x 71, 95 x 75 apart, from 408,216)
  local rows=${3:-1}
  tap $((408 + $2 * 95 + 45)) $((216 + $1 * 75 + (rows == 1 ? 35 : 73)))
}
shot() {
  DISPLAY=$display import -window root "$outdir/$1"
  echo "screenshot $outdir/$1"
}

key 3 0   # 1
key 3 1   # 2
key 1 3 2 # Товар
sleep 1
weigh 0.150
tap 344 366 # Тара: right of the state strip
weigh 0.662
shot "weighing-net-$size.png"
key 3 3 2 # Печать: 0.512 kg net
sleep 1
key 2 1   # 5: a keyed weight
key 3 3 2 # Печать
sleep 1
weigh 0
# The right button's menu: «Итоги смены...» comes before the three touch items at its end.
DISPLAY=$display xdotool mousemove "$(awk -v s="$s" -v o="$ox" 'BEGIN { printf "%d", o + 200 * s }')" \
  "$(awk -v s="$s" -v o="$oy" 'BEGIN { printf "%d", o + 60 * s }')" click 3
sleep 0.8
DISPLAY=$display xdotool key Up Up Up Up Return
shift_win=$(find_window '^Итоги смены$' 100)
[ -n "$shift_win" ] || { echo "no shift totals"; cat "$work/log"; exit 1; }
sleep 1
shot "shift-totals-$size.png"

rows=
for _ in $(seq 100); do
  rows=$("$bin/varnet-journal" --file "$work/Journal.db" --labels 2>/dev/null | tail -n +2 || true)
  [ "$(echo "$rows" | grep -c .)" -ge 2 ] && break
  sleep 0.2
done
echo "$rows"
echo "$rows" | grep -q '2700012005120.*весы *0\.150$' || { echo "no net label with its tare"; cat "$work/log"; exit 1; }
echo "$rows" | grep -q ' 5\.000 .*вручную$' || { echo "no keyed label marked so"; cat "$work/log"; exit 1; }
kill -0 "${pids[-1]}" || { echo "the program has ended"; cat "$work/log"; exit 1; }
