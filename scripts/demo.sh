#!/usr/bin/env bash
# Installs what is missing, builds, prepares a demo folder (demo/ in the source tree) and
# starts the workstation on it. Without a display it runs under Xvfb for a while
# (VARNET_DEMO_SECONDS, default 15) and leaves a screenshot in the demo folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target varnet varnet-democat

demo="$root/demo"
mkdir -p "$demo"
# The program keeps its files beside its executable.
cp -f build/bin/varnet "$demo/varnet"

if [ ! -f "$demo/catalogue.db" ]; then
  build/bin/varnet-democat --sqlite "$demo/catalogue.db" --rows 300 >/dev/null
fi
if [ ! -f "$demo/Varnet.ini" ]; then
  cat >"$demo/Varnet.ini" <<INI
; Demo counter: the catalogue is a SQLite file beside the program.
[Varnet]
PrinterName=
WBarCodeMask=27PPPPPWWWWW
QBarCodeMask=29PPPPPQQQQQ
PrintEI=0
EIWeight=кг
EIQuantity=шт
EICurrency=руб
Penny=1
RoundTo=0
[Scale]
RS232Port=0
Type=0
[SQL]
Driver=SQLite3
Server=localhost
Database=$demo/catalogue.db
User=sa
Password=
SectionID=
FindOrder=0
INI
  chmod 600 "$demo/Varnet.ini"
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "demo: starting the workstation in $demo"
  exec "$demo/varnet"
fi

seconds=${VARNET_DEMO_SECONDS:-15}
display=:$((90 + RANDOM % 9))
echo "demo: no display; running under Xvfb on $display for $seconds s"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display "$demo/varnet" &
app=$!
sleep "$seconds"
DISPLAY=$display import -window root "$demo/screenshot.png"
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
echo "demo: screenshot in $demo/screenshot.png"
