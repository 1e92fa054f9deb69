# Sourced by scripts that need a display of their own: start_xvfb starts Xvfb on a free
# display (Xvfb picks it and writes its number once it is ready), sets `display` and adds
# the server to the caller's `pids` array. An argument WxH sets the screen's size (1024x768).
start_xvfb() {
  local fifo number size=${1:-1024x768}
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  pids+=($!)
  read -r -t 30 number <"$fifo" || { rm -f "$fifo"; echo "Xvfb did not start" >&2; return 1; }
  rm -f "$fifo"
  display=:$number
}

# find_window NAME [TENTHS]: prints the id of the first window on `display` whose title matches
# the pattern NAME, waiting for it up to TENTHS tenths of a second (400: the first start on a
# machine may build the font cache); prints nothing if none appears.
find_window() {
  local name=$1 tries=${2:-400} win=
  for _ in $(seq "$tries"); do
    win=$(DISPLAY=$display xdotool search --name "$name" 2>/dev/null | head -1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  echo "$win"
}
