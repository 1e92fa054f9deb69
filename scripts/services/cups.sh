# The CUPS queue of the test label printer: a 58 x 40 mm, 203 dpi PPD and a backend that
# stores every job as a file in a capture folder. Needs root (cupsd, the backend folder).
: "${VARNET_CUPS_QUEUE:=VarnetLabel}"
: "${VARNET_CUPS_CAPTURE:=/tmp/varnet-cups-jobs}"

cups_here() { cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd; }

start() {
  local src backend uri ppd
  src=$(cups_here)
  backend=/usr/lib/cups/backend/varnet-capture
  uri="varnet-capture:$VARNET_CUPS_CAPTURE"
  ppd="$src/cups/varnet-label.ppd"
  [ -x /usr/sbin/cupsd ] || { echo "cups: cupsd is not installed (package cups)" >&2; return 1; }
  mkdir -p "$VARNET_CUPS_CAPTURE"
  chmod 0777 "$VARNET_CUPS_CAPTURE"
  # CUPS runs a backend of mode 0700 as root, so it may write to any capture folder.
  if ! cmp -s "$src/cups/varnet-capture" "$backend"; then
    install -m 0700 "$src/cups/varnet-capture" "$backend" ||
      { echo "cups: cannot install $backend (run as root)" >&2; return 1; }
  fi
  if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
    /usr/sbin/cupsd || { echo "cups: cupsd did not start" >&2; return 1; }
    local i
    for i in $(seq 1 100); do
      lpstat -r 2>/dev/null | grep -q 'is running' && break
      sleep 0.1
    done
    lpstat -r 2>/dev/null | grep -q 'is running' ||
      { echo "cups: the scheduler does not answer" >&2; return 1; }
  fi
  if lpstat -v "$VARNET_CUPS_QUEUE" 2>/dev/null | grep -q " $uri\$" &&
    cmp -s "$ppd" "/etc/cups/ppd/$VARNET_CUPS_QUEUE.ppd.src" &&
    lpstat -p "$VARNET_CUPS_QUEUE" 2>/dev/null | grep -q 'enabled' &&
    ! lpstat -a "$VARNET_CUPS_QUEUE" 2>/dev/null | grep -q 'not accepting'; then
    return 0
  fi
  lpadmin -p "$VARNET_CUPS_QUEUE" -v "$uri" -P "$ppd" -E \
    -D "Varnet label printer 58x40 (test)" -o printer-error-policy=abort-job ||
    { echo "cups: lpadmin could not create $VARNET_CUPS_QUEUE" >&2; return 1; }
  # A copy of the PPD we installed, so the next start can tell that nothing changed.
  cp "$ppd" "/etc/cups/ppd/$VARNET_CUPS_QUEUE.ppd.src"
  cupsenable "$VARNET_CUPS_QUEUE" && cupsaccept "$VARNET_CUPS_QUEUE"
  echo "cups: queue $VARNET_CUPS_QUEUE stores jobs in $VARNET_CUPS_CAPTURE"
}

stop() {
  lpadmin -x "$VARNET_CUPS_QUEUE" 2>/dev/null || true
  rm -f "/etc/cups/ppd/$VARNET_CUPS_QUEUE.ppd.src"
}
