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
