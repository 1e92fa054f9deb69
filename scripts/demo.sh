#!/usr/bin/env bash
# Installs what is missing, builds, prepares a demo folder (demo/ in the source tree) and
# starts the workstation on it: a SQLite demo catalogue, sample 58 x 40 mm label layouts, a
# simulated CAS scale on a pseudo-terminal linked as COM1 that puts changing weights on,
# and, when CUPS can be started (as root), a label queue whose jobs land in demo/labels/.
# Without a display it runs under Xvfb, plays an operator (product 12, auto-print on) for
# VARNET_DEMO_SECONDS (default 20) and leaves demo/screenshot.png and the printed labels.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target varnet varnet_sqlite varnet-democat varnet-label varnet-scale-sim

demo="$root/demo"
mkdir -p "$demo/labels"
# The program keeps its files beside its executable.
cp -f build/bin/varnet "$demo/varnet"
cp -f build/bin/libvarnet_sqlite.so "$demo/libvarnet_sqlite.so"
[ -f "$demo/catalogue.db" ] || build/bin/varnet-democat --sqlite "$demo/catalogue.db" --rows 300 >/dev/null
[ -f "$demo/Varnet.cfg" ] || build/bin/varnet-label sample --kind weight --page 58x40 --out "$demo/Varnet.cfg"
[ -f "$demo/QLabel.cfg" ] || build/bin/varnet-label sample --kind piece --page 58x40 --out "$demo/QLabel.cfg"

printer=
export VARNET_CUPS_QUEUE=VarnetDemo VARNET_CUPS_CAPTURE="$demo/labels" VARNET_CUPS_DRIVERS=0
if [ "$(id -u)" = 0 ] && bash scripts/services.sh start cups >/dev/null 2>&1; then
  printer=$VARNET_CUPS_QUEUE
  echo "demo: labels print to the CUPS queue $printer and land in $demo/labels"
else
  echo "demo: CUPS could not be started (it needs root); the workstation runs without a printer"
fi

# Written anew each time: the printer depends on whether CUPS could be started.
{
  cat >"$demo/Varnet.ini" <<INI
; Demo counter: the catalogue is a SQLite file beside the program, the scale a simulated
; CAS scale on COM1.
[Varnet]
PrinterName=$printer
WBarCodeMask=27PPPPPWWWWW
QBarCodeMask=29PPPPPQQQQQ
PrintEI=1
EIWeight=кг
EIQuantity=шт
EICurrency=руб
Penny=1
RoundTo=0
[Scale]
RS232Port=1
Type=3
[SQL]
Driver=SQLite3
Server=localhost
Database=$demo/catalogue.db
User=sa
Password=
SectionID=
FindOrder=1
INI
  chmod 660 "$demo/Varnet.ini"
}

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

# The scale: goods put on and taken off every few seconds.
rm -f "$demo/COM1"
(while true; do for w in 0 0.512 0.512 0 0.734 0.734 0 1.205; do echo "$w"; sleep 2; done; done) |
  build/bin/varnet-scale-sim --protocol cas --link-dir "$demo" --port 1 >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$demo/COM1" ] && break; sleep 0.1; done

if [ -n "${DISPLAY:-}" ]; then
  echo "demo: starting the workstation in $demo (close its window to end the demo)"
  "$demo/varnet"
  exit 0
fi

seconds=${VARNET_DEMO_SECONDS:-20}
source "$root/scripts/xvfb.sh"
start_xvfb
echo "demo: no display; running under Xvfb on $display for $seconds s"
before=$(ls "$demo/labels" 2>/dev/null | wc -l)
DISPLAY=$display "$demo/varnet" &
app=$!
pids+=($app)
# The operator: product 12, then auto-print on.
win=$(find_window '^Ведант$' 100)
sleep 1
if [ -n "${win:-}" ]; then
  DISPLAY=$display xdotool windowfocus --sync "$win" 2>/dev/null || true
  DISPLAY=$display xdotool type --delay 150 '12+-'
fi
sleep "$seconds"
DISPLAY=$display import -window root "$demo/screenshot.png"
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
echo "demo: screenshot in $demo/screenshot.png"
after=$(ls "$demo/labels" 2>/dev/null | wc -l)
if [ "$after" -gt "$before" ]; then
  last=$(ls -t "$demo"/labels/job-*.pdf | head -1)
  pdftoppm -r 203 -png -singlefile "$last" "$demo/label" && echo "demo: $((after - before)) labels printed; the last one as $demo/label.png"
fi
