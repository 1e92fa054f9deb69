#!/usr/bin/env bash
# The kiosk start as the README sets it up for an operator, on a build's programs beside the
# package's session script (packaging/varnet-kiosk) in a home folder of the test's own:
#   - without a window manager: `exec varnet-kiosk` in ~/.xsession, run by Debian's own
#     /etc/X11/Xsession as a display manager or startx would;
#   - under openbox: `varnet-kiosk &` in ~/.config/openbox/autostart, run by openbox-session.
# Each time the workstation must fill the screen, once: a second start does nothing.
# Usage: kiosk_start.sh BIN SOURCE OUTDIR
set -euo pipefail
bin=$1
source_dir=$2
outdir=$3
mkdir -p "$outdir"
source "$source_dir/scripts/xvfb.sh"
unset QT_QPA_PLATFORM

run_one() { # WM(none|openbox)
  local wm=$1 work pids=() display
  work=$(mktemp -d)
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' RETURN
  local programs=$work/programs home=$work/home
  mkdir -p "$programs" "$home"
  cp "$bin/varnet" "$source_dir/packaging/varnet-kiosk" "$programs/"
  "$bin/varnet-democat" --sqlite "$programs/catalogue.db" --rows 20 >/dev/null
  printf '[Varnet]\nPrinterName=\n[SQL]\nDriver=SQLite3\nServer=localhost\nDatabase=%s\n' \
    "$programs/catalogue.db" >"$programs/Varnet.ini"
  start_xvfb 1024x768
  # The session of an operator whose PATH has the programs (as /usr/bin has their links).
  local session=(env -i HOME="$home" USER="$(id -un)" LOGNAME="$(id -un)" SHELL=/bin/sh
    PATH="$programs:/usr/bin:/bin" DISPLAY="$display" LANG=C.UTF-8
    XDG_RUNTIME_DIR="$work")
  if [ "$wm" = none ]; then
    echo 'exec varnet-kiosk' >"$home/.xsession"
    "${session[@]}" /etc/X11/Xsession >"$work/session.log" 2>&1 &
  else
    mkdir -p "$home/.config/openbox"
    echo 'varnet-kiosk &' >>"$home/.config/openbox/autostart"
    "${session[@]}" openbox-session >"$work/session.log" 2>&1 &
  fi
  pids+=($!)
  local win
  win=$(find_window '^Ведант$')
  [ -n "$win" ] || {
    echo "kiosk $wm: no window"
    cat "$work/session.log" "$home/.xsession-errors" 2>/dev/null
    return 1
  }
  sleep 2
  local geometry
  geometry=$(DISPLAY=$display xdotool getwindowgeometry "$win")
  echo "kiosk $wm: $(echo "$geometry" | tr '\n' ' ')"
  echo "$geometry" | grep -q 'Position: 0,0' && echo "$geometry" | grep -q 'Geometry: 1024x768' ||
    { echo "kiosk $wm: the workstation does not fill the screen"; return 1; }
  DISPLAY=$display import -window root "$outdir/kiosk-$wm.png"
  echo "screenshot $outdir/kiosk-$wm.png"
  # A second start on the same display returns at once and leaves the one workstation.
  "${session[@]}" "$programs/varnet-kiosk" || { echo "kiosk $wm: a second start failed"; return 1; }
  local running
  running=$(pgrep -c -f "^$programs/varnet --full-screen" || true)
  [ "$running" = 1 ] || { echo "kiosk $wm: $running workstations running"; return 1; }
  for p in $(pgrep -f "^$programs/varnet --full-screen"); do pids+=("$p"); done
}

run_one none
if command -v openbox-session >/dev/null; then run_one openbox; fi
