# The CUPS queues of the tests and the demo, each with a backend that stores what the
# driver wrote in a capture folder (varnet-jobs, built here from scripts/cups/):
#   VarnetPDF     58 x 40 mm at 203 dpi, a PPD without a driver: the page goes as PDF
#   VarnetZPL     CUPS's sample Zebra ZPL driver, 58 x 40 mm, 203 dpi
#   VarnetZPL300  the same at 300 dpi
#   VarnetEPL     CUPS's sample Zebra EPL2 driver, 58 x 40 mm, 203 dpi
#   VarnetDymo    CUPS's sample DYMO driver, 57 x 79 mm label, 203 dpi
#   VarnetIPP     a driverless IPP Everywhere printer (ippeveprinter, 58 x 40 mm, 203 dpi)
#                 that takes PWG raster
# VarnetPDF stores its jobs in $VARNET_CUPS_CAPTURE, the others in a folder of that name
# inside it; the IPP printer keeps what it receives in $VARNET_CUPS_CAPTURE-ipp.
# Needs root (cupsd, the backend, the capture folders owned by root).
: "${VARNET_CUPS_QUEUE:=VarnetPDF}"
: "${VARNET_CUPS_CAPTURE:=/var/spool/varnet-jobs}"
: "${VARNET_IPP_PORT:=8631}"

cups_here() { cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd; }

# A capture folder that only root can write to (the backend refuses any other) and only root
# can read: a label holds what the counter sold, and the tests read it as root. Jobs that an
# earlier version left readable are closed too.
cups_folder() {
  local d=$1
  if [ -L "$d" ] || { [ -e "$d" ] && [ ! -d "$d" ]; }; then rm -f "$d"; fi
  mkdir -p "$d" && chown root:root "$d" && chmod 0700 "$d" &&
    find "$d" -maxdepth 1 -type f -perm /077 -exec chmod go= {} +
}

cups_backend() {
  local src=$1 backend=/usr/lib/cups/backend/varnet-jobs tmp
  tmp=$(mktemp)
  cc -O2 -o "$tmp" "$src/cups/varnet-jobs.c" ||
    { rm -f "$tmp"; echo "cups: cannot build the capture backend" >&2; return 1; }
  # CUPS runs a backend of mode 0700 as root.
  if ! cmp -s "$tmp" "$backend"; then
    install -m 0700 "$tmp" "$backend" ||
      { rm -f "$tmp"; echo "cups: cannot install $backend (run as root)" >&2; return 1; }
  fi
  rm -f "$tmp"
}

cups_scheduler() {
  lpstat -r 2>/dev/null | grep -q 'is running' && return 0
  /usr/sbin/cupsd </dev/null >/dev/null || { echo "cups: cupsd did not start" >&2; return 1; }
  local i
  for i in $(seq 1 100); do
    lpstat -r 2>/dev/null | grep -q 'is running' && return 0
    sleep 0.1
  done
  echo "cups: the scheduler does not answer" >&2
  return 1
}

# cups_queue NAME URI MODEL-OR-PPD [OPTION...]: the queue as given, made anew when it
# differs from what the description records.
cups_queue() {
  local name=$1 uri=$2 model=$3
  shift 3
  local desc="Varnet test queue: $model $*"
  if lpstat -v "$name" 2>/dev/null | grep -q " $uri\$" &&
    lpstat -l -p "$name" 2>/dev/null | grep -qF "Description: $desc" &&
    lpstat -p "$name" 2>/dev/null | grep -q 'enabled' &&
    ! lpstat -a "$name" 2>/dev/null | grep -q 'not accepting'; then
    return 0
  fi
  local how=(-m "$model")
  [ -f "$model" ] && how=(-P "$model")
  local opts=() o
  for o in "$@"; do opts+=(-o "$o"); done
  lpadmin -p "$name" -v "$uri" "${how[@]}" -E -D "$desc" -o printer-error-policy=abort-job \
    2>/dev/null || { echo "cups: lpadmin could not create $name" >&2; return 1; }
  # The defaults go into the queue's PPD once it exists (an IPP Everywhere PPD is made by
  # the first call).
  if [ ${#opts[@]} -gt 0 ]; then
    lpadmin -p "$name" "${opts[@]}" 2>/dev/null ||
      { echo "cups: lpadmin could not set the defaults of $name" >&2; return 1; }
  fi
  cupsenable "$name" && cupsaccept "$name"
}

# The system bus. A bus that was killed (a session that ended, a container that stopped)
# leaves its socket and pid file behind: they are removed and the bus is started anew.
cups_bus() {
  dbus-send --system --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetId \
    >/dev/null 2>&1 && return 0
  mkdir -p /run/dbus
  rm -f /run/dbus/pid /run/dbus/system_bus_socket
  local err
  err=$(dbus-daemon --system --fork 2>&1 </dev/null) ||
    { echo "cups: the system bus did not start: $err" >&2; return 1; }
}

# Avahi's name on the system bus: the daemon is ready for clients only once it has it
# (ippeveprinter aborts on a daemon that is still connecting).
cups_avahi_on_bus() {
  dbus-send --system --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Avahi 2>/dev/null |
    grep -q 'boolean true'
}

# The DNS-SD daemon, with the same care for what a killed one left behind. A daemon that is
# not on the bus (it outlived a bus that was restarted, or its pid file names a process that
# is gone or a zombie) is stopped and started anew.
cups_avahi() {
  cups_avahi_on_bus && return 0
  avahi-daemon -k 2>/dev/null || true
  rm -f /run/avahi-daemon/pid
  local err i
  err=$(avahi-daemon -D --no-drop-root --no-chroot 2>&1 </dev/null) ||
    { echo "cups: avahi-daemon did not start: $err" >&2; return 1; }
  for i in $(seq 1 100); do
    cups_avahi_on_bus && return 0
    sleep 0.1
  done
  echo "cups: avahi-daemon does not answer" >&2
  return 1
}

# The ippeveprinters on the printer's port that listen beyond loopback (an earlier version
# of this script started them so), by process id.
cups_ipp_exposed() {
  ss -Hltnp "sport = :$VARNET_IPP_PORT" 2>/dev/null |
    awk '$4 !~ /^(127\.0\.0\.1|\[::1\]):/' |
    grep -o '"ippeveprinter",pid=[0-9]*' | sed 's/.*pid=//' | sort -u
}

# The driverless printer: ippeveprinter needs a DNS-SD daemon (Avahi on the system bus). It
# stays on this machine: it listens on loopback only (-n localhost) and announces itself
# nowhere (-r off); what it receives is kept in a folder only root reads.
cups_ipp_printer() {
  local src=$1 spool="$VARNET_CUPS_CAPTURE-ipp" exposed pid i
  cups_folder "$spool" || return 1
  cups_bus || return 1
  cups_avahi || return 1
  exposed=$(cups_ipp_exposed)
  if [ -n "$exposed" ]; then
    for pid in $exposed; do kill "$pid" 2>/dev/null || true; done
    for i in $(seq 1 50); do
      [ -z "$(cups_ipp_exposed)" ] && break
      sleep 0.1
    done
  fi
  if ! ipptool -q "ipp://127.0.0.1:$VARNET_IPP_PORT/ipp/print" get-printer-attributes.test \
    2>/dev/null; then
    # A new printer numbers its jobs from 1 again: files kept by an earlier one would bear
    # the names of the new jobs.
    find "$spool" -mindepth 1 -delete
    # Nothing of ours stays open in it: whoever reads this script's output (CTest) would
    # wait for the printer to end.
    (cd / && umask 077 && exec setsid ippeveprinter -a "$src/cups/varnet-ipp.conf" -c /bin/true \
      -k -d "$spool" -n localhost -r off -p "$VARNET_IPP_PORT" VarnetIPPPrinter) \
      </dev/null >/dev/null 2>&1 &
    for i in $(seq 1 100); do
      ipptool -q "ipp://127.0.0.1:$VARNET_IPP_PORT/ipp/print" get-printer-attributes.test \
        2>/dev/null && return 0
      sleep 0.1
    done
    echo "cups: ippeveprinter does not answer" >&2
    return 1
  fi
}

# The capture backend of earlier versions (varnet-capture) wrote as root into a folder anyone
# could write to, following links planted there: its queues and the backend itself go.
cups_remove_old_backend() {
  local q
  for q in $(lpstat -v 2>/dev/null | sed -n 's/^device for \([^:]*\): varnet-capture:.*/\1/p'); do
    lpadmin -x "$q" 2>/dev/null || true
  done
  rm -f /usr/lib/cups/backend/varnet-capture
}

start() {
  local src
  src=$(cups_here)
  [ -x /usr/sbin/cupsd ] || { echo "cups: cupsd is not installed (package cups)" >&2; return 1; }
  cups_backend "$src" || return 1
  cups_scheduler || return 1
  cups_remove_old_backend
  local cap=$VARNET_CUPS_CAPTURE q
  cups_folder "$cap" || return 1
  cups_queue "$VARNET_CUPS_QUEUE" "varnet-jobs:$cap" "$src/cups/varnet-label.ppd" || return 1
  # The demo needs its one queue only.
  [ "${VARNET_CUPS_DRIVERS:-1}" = 1 ] || { echo "cups: queue $VARNET_CUPS_QUEUE stores jobs in $cap"; return 0; }
  for q in VarnetZPL VarnetZPL300 VarnetEPL VarnetDymo; do cups_folder "$cap/$q" || return 1; done
  cups_queue VarnetZPL "varnet-jobs:$cap/VarnetZPL" drv:///sample.drv/zebra.ppd \
    PageSize=Custom.58x40mm Resolution=203dpi || return 1
  cups_queue VarnetZPL300 "varnet-jobs:$cap/VarnetZPL300" drv:///sample.drv/zebra.ppd \
    PageSize=Custom.58x40mm Resolution=300dpi || return 1
  cups_queue VarnetEPL "varnet-jobs:$cap/VarnetEPL" drv:///sample.drv/zebraep2.ppd \
    PageSize=Custom.58x40mm Resolution=203dpi || return 1
  cups_queue VarnetDymo "varnet-jobs:$cap/VarnetDymo" drv:///sample.drv/dymo.ppd \
    PageSize=w162h225 Resolution=203dpi || return 1
  cups_ipp_printer "$src" || return 1
  cups_queue VarnetIPP "ipp://127.0.0.1:$VARNET_IPP_PORT/ipp/print" "$src/cups/varnet-ipp.ppd" \
    PageSize=58x40mm.Borderless print-color-mode-default=bi-level || return 1
  echo "cups: queue $VARNET_CUPS_QUEUE and the driver queues store jobs in $cap"
}

stop() {
  local q
  for q in "$VARNET_CUPS_QUEUE" VarnetZPL VarnetZPL300 VarnetEPL VarnetDymo VarnetIPP; do
    lpadmin -x "$q" 2>/dev/null || true
  done
  pkill -f "ippeveprinter .*-p $VARNET_IPP_PORT " 2>/dev/null || true
}
