#!/usr/bin/env bash
# A session that ends while the program still waits on a message of its start (the scale's
# port held by another program, a settings file that cannot be read): SIGTERM, as a logout
# or a shutdown sends it, ends the process; the main screen never opens.
# Usage: xvfb_startquit.sh BIN
set -euo pipefail
bin=$1
source "$(dirname "$0")/../../scripts/xvfb.sh"
unset QT_QPA_PLATFORM

run_one() { # CASE
  local name=$1 work pids=() display
  work=$(mktemp -d)
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' RETURN
  cp "$bin/varnet" "$work/varnet"
  printf '[Varnet]\nPrinterName=\n[Scale]\nRS232Port=1\nType=3\n[SQL]\nDriver=SQLite3\nServer=localhost\nDatabase=%s\n' \
    "$work/catalogue.db" >"$work/Varnet.ini"
  "$bin/varnet-democat" --sqlite "$work/catalogue.db" --rows 10 >/dev/null
  case $name in
  port-busy)
    # The scale is there, but another program holds its port.
    "$bin/varnet-scale-sim" --protocol cas --link-dir "$work" --port 1 </dev/null >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -e "$work/COM1" ] && break; sleep 0.1; done
    # A holder of the port's lock that is a single process (the lock goes with it).
    (exec 9<"$work/COM1" && flock -n 9 && exec sleep 600) >/dev/null 2>&1 &
    pids+=($!)
    ;;
  settings-unreadable)
    # A folder where the settings file should be: no account can read it as a file.
    rm "$work/Varnet.ini"
    mkdir "$work/Varnet.ini"
    ;;
  esac
  start_xvfb
  DISPLAY=$display "$work/varnet" >"$work/log" 2>&1 &
  local program=$!
  pids+=($program)
  local box
  box=$(find_window '^Ошибка$')
  [ -n "$box" ] || { echo "$name: no start-up message"; cat "$work/log"; return 1; }
  echo "$name: start-up message $(DISPLAY=$display xdotool getwindowname "$box")"
  kill -TERM "$program"
  for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$program" 2>/dev/null; then
    local screen
    screen=$(DISPLAY=$display xdotool search --name '^Ведант$' 2>/dev/null | head -1 || true)
    echo "$name: still running 10 s after SIGTERM${screen:+, its main screen open}"
    return 1
  fi
  local status=0
  wait "$program" || status=$?
  echo "$name: ended with status $status"
}

for c in port-busy settings-unreadable; do
  run_one "$c"
done
