#!/usr/bin/env bash
# The Debian package as a shop's installer uses it: built by CPack from the install rules,
# checked by lintian (when it is installed), installed with dpkg, and the installed programs
# started by an ordinary operator in the dialout and varnet groups: the tools, then the
# workstation under Xvfb, whose settings dialog saves and whose label reaches a CUPS queue.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/testuser.sh"
source "$here/../../scripts/xvfb.sh"
ensure_operator
queue=VarnetZPL
capture=${VARNET_CUPS_CAPTURE:-/var/spool/varnet-jobs}/$queue

work=$(mktemp -d)
chmod 755 "$work"
pids=()
installed_before=
dpkg-query -W -f='${Status}' varnet 2>/dev/null | grep -q 'install ok installed' && installed_before=1
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
  # A package that was there before the test stays, in the version the test installed.
  if [ -z "$installed_before" ]; then
    dpkg --purge varnet >/dev/null 2>&1 || true
    rm -f /opt/varnet/Varnet.ini /opt/varnet/Varnet.cfg /opt/varnet/QLabel.cfg \
      /opt/varnet/catalogue.db /opt/varnet/COM1
    rmdir /opt/varnet 2>/dev/null || true
  fi
}
trap cleanup EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/cpack/varnet_*.deb)
echo "package $(basename "$deb")"
dpkg-deb -f "$deb" Depends Recommends Suggests
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6printsupport6 libqt6svg6 libcups2 libzxing libodbc2 fonts-liberation2; do
  [[ "$depends" == *"$lib"* ]] || { echo "Depends lacks $lib"; exit 1; }
done
dpkg-deb -c "$deb" | awk '{print $1, $2, $6, $7, $8}' >"$work/contents"
for f in ./opt/varnet/varnet ./opt/varnet/libvarnet_sqlite.so ./usr/share/applications/varnet.desktop \
  ./usr/share/icons/hicolor/scalable/apps/varnet.svg ./usr/share/doc/varnet/copyright; do
  grep -q " $f\( \|$\)" "$work/contents" || { echo "the package has no $f"; cat "$work/contents"; exit 1; }
done
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" || { echo "lintian found errors"; exit 1; }
fi

# One installation at a time on this machine, whoever runs the test.
exec 9>/tmp/varnet-package.lock
flock 9
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
usermod -aG varnet "$operator"
mode=$(stat -c '%a %U %G' /opt/varnet)
[ "$mode" = "2775 root varnet" ] || { echo "/opt/varnet is $mode, not 2775 root varnet"; exit 1; }

# The tools from the installed place, as the operator: quiet, and writing beside the program.
"${as_operator[@]}" /opt/varnet/varnet-label defaults --kind piece --out /opt/varnet/QLabel.cfg \
  2>"$work/err" || { cat "$work/err"; exit 1; }
[ ! -s "$work/err" ] || { echo "varnet-label wrote on standard error:"; cat "$work/err"; exit 1; }
[ "$(stat -c '%U %G' /opt/varnet/QLabel.cfg)" = "$operator varnet" ] ||
  { echo "QLabel.cfg is $(stat -c '%U %G' /opt/varnet/QLabel.cfg)"; exit 1; }
"${as_operator[@]}" varnet-label sample --kind weight --page 58x40 --out /opt/varnet/Varnet.cfg
"${as_operator[@]}" varnet-scale --help >"$work/help" 2>"$work/err" || { cat "$work/err"; exit 1; }
[ ! -s "$work/err" ] || { echo "varnet-scale wrote on standard error:"; cat "$work/err"; exit 1; }
grep -q '^Exit codes' "$work/help" || { echo "varnet-scale --help:"; cat "$work/help"; exit 1; }
"${as_operator[@]}" varnet-democat --sqlite /opt/varnet/catalogue.db --rows 50 >/dev/null

# A counter set up by its operator: a simulated CAS scale linked as COM1 beside the program.
printf '[Varnet]\nPrinterName=%s\nPenny=1\n[Scale]\nRS232Port=1\nType=3\n[SQL]\nDriver=SQLite3\nServer=localhost\nDatabase=/opt/varnet/catalogue.db\n' \
  "$queue" | "${as_operator[@]}" sh -c 'umask 077; cat >/opt/varnet/Varnet.ini'
"${as_operator[@]}" /opt/varnet/varnet-scale-sim --protocol cas --weight 0.512 --link-dir /opt/varnet \
  </dev/null >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e /opt/varnet/COM1 ] && break; sleep 0.1; done

start_xvfb
operator_jobs() { lpstat -W all -o "$queue" | awk -v u="$operator" '$2 == u {print $1}'; }
jobs_before=$(operator_jobs)
"${as_operator[@]}" env -u QT_QPA_PLATFORM DISPLAY="$display" varnet >"$work/varnet.log" 2>&1 &
pids+=($!)
find_window() { # TITLE-PATTERN: leaves the window in $win
  win=
  for _ in $(seq 300); do
    win=$(DISPLAY=$display xdotool search --name "$1" 2>/dev/null | tail -1 || true)
    [ -n "$win" ] && return 0
    sleep 0.1
  done
  echo "no window titled $1"; cat "$work/varnet.log"; exit 1
}
key() { DISPLAY=$display xdotool key --clearmodifiers "$@"; sleep 0.5; }
find_window '^Ведант$'
main=$win
sleep 1
DISPLAY=$display xdotool windowfocus "$main" 2>/dev/null || true
# The settings dialog, confirmed: the settings file is written anew, still the operator's, 0600.
stamp=$(stat -c %Y.%i /opt/varnet/Varnet.ini)
key asterisk
find_window '^Конфигурация$'
sleep 0.5
key Return
for _ in $(seq 50); do [ "$(stat -c %Y.%i /opt/varnet/Varnet.ini)" != "$stamp" ] && break; sleep 0.1; done
[ "$(stat -c %Y.%i /opt/varnet/Varnet.ini)" != "$stamp" ] || { echo "the settings were not saved"; exit 1; }
perm=$(stat -c '%a %U' /opt/varnet/Varnet.ini)
[ "$perm" = "600 $operator" ] || { echo "Varnet.ini is $perm after the save"; exit 1; }
# Product 12 on the scale's 0.512 kg, then the print key: a job of the operator's, which the
# queue's driver wrote into its capture folder.
DISPLAY=$display xdotool windowfocus "$main" 2>/dev/null || true
key 1 2 plus
key Return
job=
for _ in $(seq 100); do
  job=$(operator_jobs | grep -vxF -f <(echo "$jobs_before") | head -1 || true)
  [ -n "$job" ] && [ -s "$capture/job-${job##*-}-Pelgrin.prn" ] && break
  sleep 0.1
done
mkdir -p "$build/screenshots"
DISPLAY=$display import -window root "$build/screenshots/installed-counter.png"
[ -n "$job" ] && [ -s "$capture/job-${job##*-}-Pelgrin.prn" ] ||
  { echo "no label of $operator reached $queue (see installed-counter.png)"; exit 1; }
echo "job $job: $(stat -c %s "$capture/job-${job##*-}-Pelgrin.prn") bytes from the driver"
echo "installed, started by $operator, settings saved, a label printed to $queue"
