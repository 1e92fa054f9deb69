#!/usr/bin/env bash
# A shift by touch alone on the real window: the program full screen at 1366 x 768 without a
# window manager, a counter folder of its own with 24 speed keys (20 weighed products, 4 piece
# products), a CAS scale simulated on COM1 and the queue VarnetZPL. Every action is a pointer
# click, press or drag of xdotool at a place on the screen; the packing journal and the
# queue's captured jobs say what happened:
#   - auto-print on, then for each of eight weighed products exactly one tap on its speed key
#     and the goods on the pan: one label of that product at that weight each;
#   - «Товар», a tap on the search text, "сало" typed on the on-screen keyboard and its Enter:
#     the product found by its Cyrillic name prints at the next weight;
#   - the search list swiped up and a row double-tapped: a product from further down the list;
#   - a piece product by its speed key, a long press on «Печать», "5" and «Копии»: five journal
#     rows and five jobs;
#   - a tap on the label beside the strip: the large label on the screen reads, with zbarimg,
#     as the barcode of the last journal row.
# Then screenshots with the speed keys and the printed label at 1920 x 1080, 1366 x 768 and
# 1280 x 1024 (where the keys open over the keypad by a long press on «Товар»).
# Usage: xvfb_shift.sh BIN OUTDIR
set -euo pipefail
bin=$1
outdir=$2
mkdir -p "$outdir"
source "$(dirname "$0")/../../scripts/xvfb.sh"
unset QT_QPA_PLATFORM
queue=VarnetZPL
capture=${VARNET_CUPS_CAPTURE:-/var/spool/varnet-jobs}/$queue

fail() {
  echo "FAIL: $*"
  [ -n "${work:-}" ] && [ -f "$work/log" ] && cat "$work/log"
  exit 1
}

# The labels of the journal as "code;quantity;barcode;job;reprint" lines.
labels() {
  "$bin/varnet-journal" --file "$work/Journal.db" --labels --csv 2>/dev/null |
    tail -n +2 | awk -F';' '{ print $2 ";" $5 ";" $8 ";" $11 ";" $12 }'
}
count_code() { labels | awk -F';' -v c="$1" '$1 == c' | wc -l; }
wait_code_count() { # CODE N: waits until the journal has N labels of CODE
  for _ in $(seq 100); do
    [ "$(count_code "$1")" -ge "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

# A counter folder and the program on a screen of the given size.
start_counter() { # SIZE
  work=$(mktemp -d)
  cp "$bin/varnet" "$bin/libvarnet_sqlite.so" "$work/"
  "$bin/varnet-democat" --sqlite "$work/catalogue.db" --rows 50 >/dev/null
  "$bin/varnet-label" sample --kind weight --page 58x40 --out "$work/Varnet.cfg"
  "$bin/varnet-label" sample --kind piece --page 58x40 --out "$work/QLabel.cfg"
  printf '[Varnet]\nPrinterName=%s\nPenny=1\n[Scale]\nRS232Port=1\nType=3\n[SQL]\nDriver=SQLite3\nServer=localhost\nDatabase=%s\nUser=sa\nFindOrder=1\n' \
    "$queue" "$work/catalogue.db" >"$work/Varnet.ini"
  # Keys 1-20: products 1-20 (weighed), keys 21-24: products 33-36 (by the piece); the text
  # on each key comes from the catalogue, the price is shown.
  for n in $(seq 1 24); do
    printf '%d\t%d\t\t1\t\n' "$n" "$((n <= 20 ? n : n + 12))"
  done >"$work/SpeedKeys.txt"
  mkfifo "$work/scale"
  "$bin/varnet-scale-sim" --protocol cas --link-dir "$work" --port 1 <"$work/scale" \
    >"$work/sim.log" 2>&1 &
  pids+=($!)
  exec 8>"$work/scale"
  for _ in $(seq 50); do [ -L "$work/COM1" ] && break; sleep 0.1; done
  start_xvfb "$1"
  DISPLAY=$display "$work/varnet" --full-screen >"$work/log" 2>&1 &
  pids+=($!)
  win=$(find_window '^Ведант$')
  [ -n "$win" ] || fail "$1: no window"
  sleep 2
  w=${1%x*}
  h=${1#*x}
  read -r s ox oy < <(awk -v w="$w" -v h="$h" 'BEGIN {
    s = w / 800; if (h / 600 < s) s = h / 600;
    printf "%.6f %d %d\n", s, int((w - int(800 * s + 0.5)) / 2), int((h - int(600 * s + 0.5)) / 2) }')
}
stop_counter() {
  exec 8>&-
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  pids=()
  sleep 0.5
  rm -rf "$work"
}
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
pids=()

weigh() { echo "$1" >&8; }
taps=0
tap() { # X Y
  DISPLAY=$display xdotool mousemove "$1" "$2" click 1
  taps=$((taps + 1))
  sleep 0.4
}
# A key of the keypad by row and column (ROWS 2 for «Товар» and «Печать»), as in xvfb_scaled.sh.
key_at() { # ROW COLUMN [ROWS]
  awk -v s="$s" -v ox="$ox" -v oy="$oy" -v r="$1" -v c="$2" -v n="${3:-1}" 'BEGIN {
    printf "%d %d\n", ox + (408 + c * 95 + 45) * s, oy + (216 + r * 75 + (n == 1 ? 35 : 73)) * s }'
}
press() { tap $(key_at "$@"); }
long_press() { # ROW COLUMN [ROWS]
  DISPLAY=$display xdotool mousemove $(key_at "$@") mousedown 1
  sleep 1.2
  DISPLAY=$display xdotool mouseup 1
  taps=$((taps + 1))
  sleep 0.4
}
# A speed key in the bands beside the design: two columns of six keys in each band, gaps of 6.
speed_key() { # NUMBER
  awk -v n="$1" -v w="$w" -v h="$h" -v ox="$ox" 'BEGIN {
    i = (n - 1) % 12; band = ox; kw = int((band - 18) / 2); kh = int((h - 42) / 6);
    left = n <= 12 ? 0 : w - band;
    printf "%d %d\n", left + 6 + (i % 2) * (kw + 6) + kw / 2, 6 + int(i / 2) * (kh + 6) + kh / 2 }'
}
tap_speed_key() { tap $(speed_key "$1"); }
# The label beside the strip: the right end of the last-label line, left of the tare key
# (design 210,378 85 x 58).
preview_at() { awk -v s="$s" -v ox="$ox" -v oy="$oy" 'BEGIN { printf "%d %d\n", ox + 252 * s, oy + 407 * s }'; }
shot() { DISPLAY=$display import -window root "$outdir/$1"; echo "screenshot $outdir/$1"; }

# The search dialog's place, and a key of its on-screen keyboard: five rows of keys of
# round(round(34 s) * 1.25) pixels and gaps of 4, twelve units a row.
dialog_geometry() {
  local id
  id=$(DISPLAY=$display xdotool search --name '^Поиск товара$' | head -1)
  [ -n "$id" ] || fail "no search dialog"
  read -r dx dy dw dh < <(DISPLAY=$display xwininfo -id "$id" |
    awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
         /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print x, y, w, h}')
}
keyboard_key() { # ROW UNITS_BEFORE KEYS_BEFORE UNITS KEYS_IN_ROW
  local row_h
  row_h=$(awk -v s="$s" 'BEGIN { t = int(34 * s + 0.5); printf "%d", int(t * 1.25 + 0.5) }')
  awk -v l="$dx" -v wd="$dw" -v top="$((dy + dh - 5 * row_h - 24))" -v rh="$row_h" \
    -v r="$1" -v ub="$2" -v kb="$3" -v k="$4" -v n="$5" 'BEGIN {
    u = (wd - 4 * (n + 1)) / 12;
    printf "%d %d\n", l + 4 + ub * u + kb * 4 + k * u / 2, top + 4 + r * (rh + 4) + rh / 2 }'
}
letter() { # ROW INDEX: a letter of the rows of twelve
  tap $(keyboard_key "$1" "$2" "$2" 1 12)
}

# --- The shift at 1366 x 768 -----------------------------------------------------------------
start_counter 1366x768
weigh 0
press 0 3 # auto-print on
taps=0
for n in 1 2 3 4 5 6 7 8; do
  before=$taps
  tap_speed_key "$n"
  weigh "0.$((300 + 17 * n))"
  wait_code_count "$n" 1 || fail "speed key $n: no label of product $n"
  [ $((taps - before)) -eq 1 ] || fail "speed key $n took $((taps - before)) taps"
  weigh 0
  sleep 0.3
done
labels | awk -F';' '$1 >= 1 && $1 <= 8 { print "  label", $0 }'
for n in 1 2 3 4 5 6 7 8; do
  labels | grep -q "^$n;0,$((300 + 17 * n));" || fail "product $n not at 0.$((300 + 17 * n)) kg"
done
echo "8 weighed products by speed key with auto-print: one tap each"
shot shift-1366x768-speedkeys.png

# A search by Cyrillic name on the on-screen keyboard.
press 1 3 2 # «Товар» with nothing typed: the search, by name
sleep 1.5
dialog_geometry
tap $((dx + dw / 2)) $((dy + dh - 75)) # the search text: the keyboard opens
sleep 1
dialog_geometry
letter 3 3 # с
letter 2 3 # а
letter 2 7 # л
letter 2 6 # о
shot shift-1366x768-keyboard.png
tap $(keyboard_key 4 7 4 2.5 6) # Ввод
sleep 1
weigh 0.777
wait_code_count 11 1 || fail "the product typed as «сало» (11, Сало солёное) did not print"
echo "search by Cyrillic name on the on-screen keyboard: $(labels | grep '^11;')"

# A swipe in the search list: the row tapped afterwards lies further down the list.
weigh 0
press 0 3 # auto-print off: the products below print by «Печать»
press 1 3 2
sleep 1.5
dialog_geometry
row_x=$((dx + 300))
row_y=$((dy + 200))
DISPLAY=$display xdotool mousemove "$row_x" "$row_y" click --repeat 2 --delay 100 1 # no swipe
sleep 1.5
weigh 0.5
sleep 0.5
press 3 3 2 # Печать
first=$(labels | tail -1 | cut -d';' -f1)
press 1 3 2
sleep 1.5
dialog_geometry
x=$((dx + dw / 2))
y0=$((dy + 380))
DISPLAY=$display xdotool mousemove "$x" "$y0" mousedown 1
for i in $(seq 1 12); do
  sleep 0.02
  DISPLAY=$display xdotool mousemove "$x" $((y0 - i * 25))
done
DISPLAY=$display xdotool mouseup 1
sleep 3
shot shift-1366x768-swiped.png
DISPLAY=$display xdotool mousemove "$row_x" "$row_y" click --repeat 2 --delay 100 1
sleep 1.5
press 3 3 2 # Печать
second=$(labels | tail -1 | cut -d';' -f1)
echo "the same place in the list: product $first before the swipe, $second after it"
[ -n "$first" ] && [ -n "$second" ] && [ "$first" != "$second" ] || fail "the swipe did not scroll the list"
weigh 0

# Five copies of a piece label.
tap_speed_key 21 # product 33, by the piece
long_press 3 3 2 # «Печать» held: the copies page
press 2 1 # 5 (the page's keys lie where the keypad's are)
press 1 3 2 # «Копии»
wait_code_count 33 5 || fail "no five labels of product 33"
sleep 1
[ "$(count_code 33)" -eq 5 ] || fail "$(count_code 33) labels of product 33 instead of 5"
for job in $(labels | awk -F';' '$1 == 33 { print $4 }' | sort -u); do
  for _ in $(seq 100); do compgen -G "$capture/job-$job-*" >/dev/null && break; sleep 0.2; done
  compgen -G "$capture/job-$job-*" >/dev/null || fail "job $job of a copy is not in $capture"
  jobs_seen=$((${jobs_seen:-0} + 1))
done
[ "${jobs_seen:-0}" -eq 5 ] || fail "$jobs_seen jobs for five copies"
echo "5 copies of a piece label: 5 journal rows, 5 jobs in $capture"

# The printed label in sight: a tap shows it large, and its bars read as the last label's.
shot shift-1366x768-preview.png
tap $(preview_at)
sleep 1
shot shift-1366x768-label-large.png
read_back=$(zbarimg -q --raw "$outdir/shift-1366x768-label-large.png" | head -1 || true)
last=$(labels | tail -1 | cut -d';' -f3)
echo "large label on the screen reads $read_back, the last label printed $last"
[ -n "$last" ] && [ "$read_back" = "$last" ] || fail "the label in sight is not the last label"
tap $((w / 2)) $((h / 2)) # closes it
kill -0 "${pids[-1]}" || fail "the program has ended"
stop_counter

# --- Screenshots with the speed keys and the printed label ---------------------------------
for size in 1920x1080 1366x768 1280x1024; do
  start_counter "$size"
  weigh 0
  press 0 3 # auto-print on
  if [ "$w" -gt $((h * 4 / 3)) ]; then
    tap_speed_key 3
  else
    long_press 1 3 2 # «Товар» held: the keys over the keypad
    shot "speedkeys-$size-page.png"
    # Key 3 of the page: four keys a row over the keypad panel (design 400,208 392 x 385).
    tap $(awk -v s="$s" -v ox="$ox" -v oy="$oy" 'BEGIN {
      kw = int((392 - 28) / 4); kh = int((385 - 40) / 7);
      printf "%d %d\n", ox + (400 + 8 + 2 * (kw + 4) + kw / 2) * s, oy + (208 + 8 + kh / 2) * s }')
  fi
  weigh 0.642
  wait_code_count 3 1 || fail "$size: no label of product 3"
  sleep 1
  shot "speedkeys-$size.png"
  stop_counter
done
echo "xvfb_shift: passed"
