#!/usr/bin/env bash
# The Debian package as a shop's installer and two operators use it, with root beside them:
# - built by CPack, checked by lintian, its Depends and contents;
# - an upgrade from a counter of version 1.0.0 (everything in a group-writable /opt/varnet)
#   that moves the counter's files into /var/lib/varnet unchanged, and sample layouts for a
#   counter that has none;
# - programs and libraries that no operator can rename, replace or add to, and no code from
#   where operators write (a planted Qt plugin, a planted ODBC driver), shown by a canary file
#   that only planted code would write, while the same canary does appear when root itself
#   puts the code where it is trusted;
# - a link planted by one operator never written through by another operator's or root's save;
# - both operators printing from the installed workstation on one counter folder, each row of
#   the journal with its account, and a row that the journal could not take kept in the
#   operator's own file at exit and moved into the journal, once, at the next start.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/testuser.sh"
source "$here/../../scripts/xvfb.sh"
ensure_operator
queue=VarnetZPL
capture=${VARNET_CUPS_CAPTURE:-/var/spool/varnet-jobs}/$queue
programs=/opt/varnet
counter=/var/lib/varnet
journal=/var/lib/varnet-journal
leftovers=/var/lib/varnet-1.0-leftovers
service_user=_varnet-journal
socket=/run/varnet-journald.sock
canary=/tmp/varnet-canary
marker=$counter/.made-by-package-test

# The test installs and removes the package machine-wide: never over a counter it did not make.
if dpkg-query -W -f='${Status}' varnet 2>/dev/null | grep -q 'install ok installed' &&
  [ ! -e "$marker" ]; then
  echo "SKIP: varnet is installed on this machine; the package test would replace its counter"
  exit 77
fi
exec 9>/tmp/varnet-package.lock
flock 9

work=$(mktemp -d)
chmod 755 "$work"
# Where every account may write its pictures.
out=$work/out
mkdir -m 1777 "$out"
# What an earlier installation left behind without the package is kept aside, and put back.
installed=
dpkg-query -W -f='${Status}' varnet 2>/dev/null | grep -q 'install ok installed' && installed=1
for dir in $programs $counter $journal $leftovers; do
  if [ -z "$installed" ] && [ -e "$dir" ]; then
    mkdir -p "$work/aside$(dirname "$dir")"
    mv "$dir" "$work/aside$dir"
  fi
done
trusted=$(mktemp -d /root/varnet-trusted.XXXXXX 2>/dev/null || mktemp -d /var/varnet-trusted.XXXXXX)
chmod 755 "$trusted"
pids=()
service_pid=
made_etc=
# The journal service as systemd runs it: its socket made by root for the group varnet, the
# program started on the first connection under the account and umask its unit names, the
# socket handed over (socket activation). This machine's systemd may not be running.
unit=/lib/systemd/system/varnet-journald.service
start_service() {
  local user group umask exec
  user=$(sed -n 's/^User=//p' "$unit")
  group=$(sed -n 's/^Group=//p' "$unit")
  umask=$(sed -n 's/^UMask=//p' "$unit")
  exec=$(sed -n 's/^ExecStart=//p' "$unit")
  rm -f "$socket"
  (umask "$umask"; exec systemd-socket-activate -l "$socket" \
    setpriv --reuid="$user" --regid="$group" --clear-groups --no-new-privs $exec \
    >>"$work/journald.log" 2>&1) &
  service_pid=$!
  for _ in $(seq 100); do [ -S "$socket" ] && break; sleep 0.05; done
  chgrp varnet "$socket" && chmod 0660 "$socket"
  # Started at once, as systemd starts the enabled service at boot, not at the first label.
  printf '\n' | timeout 10 nc -U -N "$socket" >/dev/null 2>&1 || true
}
stop_service() {
  [ -n "$service_pid" ] || return 0
  kill -TERM "$service_pid" 2>/dev/null || true
  wait "$service_pid" 2>/dev/null || true
  service_pid=
  rm -f "$socket"
}
cleanup() {
  stop_service
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  # The workstation's own words stay for whoever reads a failure.
  mkdir -p "$build/package-test-logs"
  cp "$work"/*.log "$work"/*.out "$build/package-test-logs/" 2>/dev/null || true
  dpkg --purge varnet >/dev/null 2>&1 || true
  rm -rf "$counter" "$programs" "$journal" "$leftovers" "$trusted" "$canary" "$socket"
  [ -n "$made_etc" ] && rm -rf /etc/varnet
  for dir in $programs $counter $journal $leftovers; do
    if [ -e "$work/aside$dir" ]; then mv "$work/aside$dir" "$dir"; fi
  done
  rm -rf "$work"
  rm -rf "/home/$operator/.local/share/varnet" "/home/$operator2/.local/share/varnet"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
step() { echo "== $*"; }

step "the package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/cpack/varnet_*.deb)
echo "package $(basename "$deb")"
dpkg-deb -f "$deb" Depends Recommends Suggests
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6printsupport6 libqt6svg6 libcups2 libzxing libodbc2 fonts-liberation2; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib"
done
dpkg-deb -c "$deb" | awk '{print $1, $2, $6, $7, $8}' >"$work/contents"
for f in ./opt/varnet/varnet ./opt/varnet/varnet-label ./opt/varnet/varnet-scale \
  ./opt/varnet/varnet-scale-sim ./opt/varnet/varnet-democat ./opt/varnet/varnet-journal \
  ./opt/varnet/libvarnet_sqlite.so ./usr/bin/varnet-journal ./usr/share/varnet/layouts/Varnet.cfg \
  ./usr/share/varnet/layouts/QLabel.cfg ./var/lib/varnet/ ./usr/share/applications/varnet.desktop \
  ./usr/share/icons/hicolor/scalable/apps/varnet.svg ./usr/share/doc/varnet/copyright; do
  grep -q " $f\( \|$\)" "$work/contents" || fail "the package has no $f"
done
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian found errors"; }
  sed 's/^/    lintian: /' "$work/lintian.log"
fi

step "a counter of version 1.0.0"
# The first release's package as it was: the programs and the counter's files in /opt/varnet,
# which its maintainer script gave to the group varnet (2775).
old=$work/old
mkdir -p "$old/DEBIAN" "$old$programs"
cat >"$old/DEBIAN/control" <<EOF
Package: varnet
Version: 1.0.0.0-1
Architecture: $(dpkg --print-architecture)
Maintainer: Morvik <varnet@morvik.example>
Depends: adduser
Description: workstation of a shop's pre-packing counter
 The first release's layout, as the package test rebuilds it.
EOF
cat >"$old/DEBIAN/postinst" <<'EOF'
#!/bin/sh
set -e
if [ "$1" = configure ]; then
  getent group varnet >/dev/null || addgroup --quiet --system varnet
  dpkg-statoverride --list /opt/varnet >/dev/null ||
    dpkg-statoverride --update --add root varnet 2775 /opt/varnet
fi
EOF
chmod 755 "$old/DEBIAN/postinst"
printf '#!/bin/sh\nexit 0\n' >"$old$programs/varnet"
chmod 755 "$old$programs/varnet"
dpkg-deb --build --root-owner-group "$old" "$work/varnet_1.0.0.0-1.deb" >/dev/null
dpkg -i "$work/varnet_1.0.0.0-1.deb" >"$work/dpkg-old.log" 2>&1 || { cat "$work/dpkg-old.log"; exit 1; }
for account in "$operator" "$operator2"; do usermod -aG varnet "$account"; done
[ "$(stat -c '%a %U %G' $programs)" = "2775 root varnet" ] || fail "the 1.0.0 package left $(stat -c '%a %U %G' $programs)"
# What an operator of that counter had written there.
"$build/bin/varnet-label" sample --kind weight --page 58x40 --out "$work/Varnet.cfg"
"$build/bin/varnet-label" sample --kind piece --page 58x40 --out "$work/QLabel.cfg"
printf '[Varnet]\r\nPrinterName=%s\r\nPenny=1\r\n[Scale]\r\nRS232Port=1\r\nType=3\r\n[SQL]\r\nDriver=SQLite3\r\nServer=localhost\r\nDatabase=%s/catalogue.db\r\n' \
  "$queue" "$counter" >"$work/Varnet.ini"
"${as_operator[@]}" sh -c "umask 077; cat >$programs/Varnet.ini" <"$work/Varnet.ini"
"${as_operator[@]}" sh -c "umask 022; cat >$programs/Varnet.cfg" <"$work/Varnet.cfg"
"${as_operator[@]}" sh -c "umask 022; cat >$programs/QLabel.cfg" <"$work/QLabel.cfg"
"${as_operator[@]}" ln -s /dev/ttyS6 "$programs/COM7"
# The journal of that version: its table without the account column, two labels.
"${as_operator[@]}" sqlite3 "$programs/Journal.db" <<'EOF'
PRAGMA journal_mode=WAL;
CREATE TABLE labels (id TEXT PRIMARY KEY NOT NULL, moment TEXT NOT NULL, code TEXT NOT NULL,
 name TEXT NOT NULL, weighed INTEGER NOT NULL, quantity REAL NOT NULL, price REAL NOT NULL,
 sum REAL NOT NULL, barcode TEXT NOT NULL, best_before TEXT, printer TEXT NOT NULL,
 job_id INTEGER NOT NULL, reprint INTEGER NOT NULL, label_name TEXT NOT NULL,
 label_info TEXT NOT NULL, sent INTEGER NOT NULL DEFAULT 0);
INSERT INTO labels VALUES ('0b8f2a52-0000-4000-8000-000000000001', '2026-12-01 09:15:00.000', '12',
 'Сыр', 1, 0.512, 450.0, 230.4, '2700012005124', NULL, 'VarnetZPL', 7, 0, 'Сыр', '', 0);
INSERT INTO labels VALUES ('0b8f2a52-0000-4000-8000-000000000002', '2026-12-01 09:16:00.000', '31',
 'Булка', 0, 2, 35.0, 70.0, '2900031000022', NULL, 'VarnetZPL', 8, 0, 'Булка', '', 0);
EOF
sqlite3 "$programs/Journal.db" 'SELECT * FROM labels ORDER BY rowid' >"$work/rows-before"
(cd $programs && sha256sum Varnet.ini Varnet.cfg QLabel.cfg) >"$work/sums-before"
# What an attacker among that counter's operators left beside the programs: a library and a
# qt.conf that sends Qt to a plugin folder of theirs, a folder everyone may write whose name is
# a program's name and a line break, a name with spaces, a program of the package
# replaced by a folder.
"${as_operator[@]}" cp "$build/tests/canary/libvarnet_canary_library.so" "$programs/evil.so"
"${as_operator[@]}" mkdir -p "$programs/plugins/imageformats"
"${as_operator[@]}" cp "$build/tests/canary/imageformats/libvarnet_canary_imageformat.so" \
  "$programs/plugins/imageformats/"
printf '[Paths]\nPlugins=%s/plugins\n' "$programs" | "${as_operator[@]}" sh -c "cat >$programs/qt.conf"
newline_dir="$programs/varnet"$'\n'"evil"
"${as_operator[@]}" mkdir -m 777 "$newline_dir"
"${as_operator[@]}" chmod 777 "$newline_dir"
"${as_operator[@]}" touch "$programs/my notes.txt"
"${as_operator[@]}" mkdir "$programs/varnet-journald"

step "the upgrade"
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
touch "$marker"
sed 's/^/    dpkg: /' "$work/dpkg.log" | grep 'varnet:' || true
(cd $counter && sha256sum -c --quiet "$work/sums-before") || fail "the settings or layouts changed on the way"
sqlite3 "$journal/Journal.db" 'SELECT * FROM labels ORDER BY rowid' >"$work/rows-after"
cmp -s "$work/rows-before" "$work/rows-after" || fail "the journal rows changed on the way"
[ "$(readlink "$counter/COM7")" = /dev/ttyS6 ] || fail "the COM7 link did not move"
for f in Varnet.ini Varnet.cfg QLabel.cfg Journal.db COM7; do
  [ -e "$programs/$f" ] || [ -L "$programs/$f" ] && fail "$f is still in $programs"
done
for f in Varnet.ini Varnet.cfg QLabel.cfg; do
  [ "$(stat -c '%a %U %G' "$counter/$f")" = "660 $operator varnet" ] ||
    fail "$f is $(stat -c '%a %U %G' "$counter/$f") in the counter folder"
done
[ -e "$counter/Journal.db" ] && fail "the journal stayed in the counter folder"
[ "$(stat -c '%a %U %G' "$journal/Journal.db")" = "640 $service_user varnet" ] ||
  fail "the journal is $(stat -c '%a %U %G' "$journal/Journal.db")"
[ "$(stat -c '%a %U %G' $counter)" = "2770 root varnet" ] || fail "$counter is $(stat -c '%a %U %G' $counter)"
[ "$(stat -c '%a %U %G' $journal)" = "2750 $service_user varnet" ] || fail "$journal is $(stat -c '%a %U %G' $journal)"
dpkg-statoverride --list $programs >/dev/null && fail "$programs still has a stat override"
# Nothing but the package's programs is left beside them; what the operator had put there is in
# a folder only root can open, and the upgrade said where.
left=$(cd "$programs" && ls -A | sort | tr '\n' ' ')
[ "$left" = "libvarnet_sqlite.so varnet varnet-democat varnet-journal varnet-journald varnet-kiosk varnet-label varnet-scale varnet-scale-sim " ] ||
  fail "$programs holds: $left"
[ "$(stat -c '%a %U' "$leftovers")" = "700 root" ] || fail "$leftovers is $(stat -c '%a %U' "$leftovers")"
for f in evil.so qt.conf plugins "my notes.txt" "varnet"$'\n'"evil" varnet-journald; do
  [ -e "$leftovers/$f" ] || fail "$(printf '%q' "$f") is not among the leftovers"
done
grep -q "was moved to $leftovers" "$work/dpkg.log" || fail "the upgrade did not say where the leftovers went"
[ -f "$programs/varnet-journald" ] || fail "the journal service's program is not a file"
# A counter without a layout gets the sample, and an existing one is never replaced.
rm "$counter/QLabel.cfg"
dpkg -i "$deb" >"$work/dpkg-again.log" 2>&1 || { cat "$work/dpkg-again.log"; exit 1; }
cmp -s "$counter/QLabel.cfg" /usr/share/varnet/layouts/QLabel.cfg || fail "no sample piece layout"
[ "$(stat -c '%a %U %G' "$counter/QLabel.cfg")" = "660 root varnet" ] || fail "the sample layout is $(stat -c '%a %U %G' "$counter/QLabel.cfg")"
cmp -s "$counter/Varnet.cfg" "$work/Varnet.cfg" || fail "the weight layout was replaced"
for tool in varnet varnet-label varnet-scale varnet-journal; do
  [ "$("${as_operator[@]}" "$tool" --print-folder 2>&1)" = "$counter" ] ||
    fail "$tool --print-folder does not name $counter"
done

step "a journal swapped for a link while the upgrade moves it"
# Version 1.1.0 kept the journal in the counter folder, where any operator may replace it at any
# moment. Six upgrades, each with an operator swapping it for a link to a file of root's and
# back as fast as it can: root's file never gains the group or a mode, and what reaches the
# journal's folder is a plain file or nothing.
echo 'root alone' >"$work/root-only"
chmod 600 "$work/root-only"
cp "$journal/Journal.db" "$work/journal-kept.db"
chmod 644 "$work/journal-kept.db"
for run in 1 2 3 4 5 6; do
  rm -f "$journal"/Journal.db*
  "${as_operator[@]}" cp "$work/journal-kept.db" "$counter/swap.db"
  "${as_operator[@]}" bash -c "cd $counter; while :; do ln -sfn '$work/root-only' .l; mv -T .l Journal.db;
    cp swap.db .f; mv -T .f Journal.db; done" 2>/dev/null &
  racer=$!
  sleep 0.2
  dpkg -i "$deb" >"$work/dpkg-race.log" 2>&1 || { cat "$work/dpkg-race.log"; exit 1; }
  kill "$racer"
  wait "$racer" 2>/dev/null || true
  [ "$(stat -c '%a %U %G' "$work/root-only")" = "600 root root" ] ||
    fail "upgrade $run left root's file $(stat -c '%a %U %G' "$work/root-only")"
  if [ -e "$journal/Journal.db" ] || [ -L "$journal/Journal.db" ]; then
    [ -f "$journal/Journal.db" ] && [ ! -L "$journal/Journal.db" ] &&
      [ "$(stat -c '%U %G %a' "$journal/Journal.db")" = "$service_user varnet 640" ] ||
      fail "upgrade $run put $(stat -c '%F %U %G %a' "$journal/Journal.db") in the journal's folder"
  fi
  rm -f "$counter/swap.db" "$counter/Journal.db" "$counter/.l" "$counter/.f"
done
rm -f "$journal"/Journal.db*
install -o "$service_user" -g varnet -m 640 "$work/journal-kept.db" "$journal/Journal.db"

step "programs only root can change"
for path in / /opt $programs "$programs"/* /usr /usr/bin /usr/share/varnet /usr/share/varnet/layouts; do
  read -r uid mode <<<"$(stat -c '%u %a' "$path")"
  [ "$uid" = 0 ] || fail "$path belongs to uid $uid"
  (( (8#$mode & 8#022) == 0 )) || fail "$path is writable by group or others ($mode)"
done
for link in /usr/bin/varnet*; do
  [ "$(stat -c %u "$link")" = 0 ] || fail "$link is not root's"
done
"$build/bin/varnet-label" sample --kind weight --page 58x40 --out "$work/planted" >/dev/null
for who in operator operator2; do
  if [ "$who" = operator ]; then as=("${as_operator[@]}"); else as=("${as_operator2[@]}"); fi
  for attempt in "mv $programs/varnet-label $programs/varnet-label.orig" \
    "cp $work/planted $programs/varnet-label" \
    "cp $work/planted $programs/libvarnet_sqlite.so" \
    "touch $programs/planted" \
    "mkdir $programs/imageformats" \
    "ln -sf $work/planted /usr/bin/varnet" \
    "chmod 777 $programs/varnet" \
    "sqlite3 $journal/Journal.db 'DELETE FROM labels'" \
    "rm -f $journal/Journal.db" \
    "mv $journal/Journal.db $journal/Journal.old" \
    "cp $work/planted $journal/Journal.db" \
    "touch $journal/planted"; do
    "${as[@]}" sh -c "$attempt" 2>/dev/null && fail "$who could: $attempt"
  done
done
cmp -s "$work/journal-kept.db" "$journal/Journal.db" || fail "an operator changed the journal"

step "no code from where operators write"
rm -f "$canary"
# Operator 1 plants a plugin in the counter folder and in its own plugin folder, and a library
# as the catalogue's and the central journal's ODBC driver and as an SQLite extension.
"${as_operator[@]}" mkdir -p "$counter/imageformats" "/home/$operator/plugins/imageformats"
"${as_operator[@]}" cp "$build/tests/canary/imageformats/libvarnet_canary_imageformat.so" "$counter/imageformats/"
"${as_operator[@]}" cp "$build/tests/canary/imageformats/libvarnet_canary_imageformat.so" \
  "/home/$operator/plugins/imageformats/"
"${as_operator[@]}" cp "$build/tests/canary/libvarnet_canary_library.so" "$counter/canary.so"
cp -p "$counter/Varnet.ini" "$work/Varnet.ini.kept"
printf '[SQL]\nDriver=%s/canary.so\nServer=x\n[Journal]\nDriver=%s/canary.so\nServer=x\nDatabase=d\n' \
  "$counter" "$counter" | "${as_operator[@]}" sh -c "cat >$counter/Varnet.ini"
render=(varnet-label render --page 58x40 --dpi 203 --barcode 270001200512 --name Сыр --price 450
  --quantity 0.512 --sum 230.4 --layout "$counter/Varnet.cfg")
# central WHO INI EXPECTED...: root's or the second operator's varnet-journal --central on the
# counter's settings INI: refused, with each EXPECTED text, and nothing loaded or written.
root_refusal="Программа запущена от имени root и не берёт строку подключения из файла $counter/Varnet.ini"
central() {
  local who=$1 ini=$2 as text
  shift 2
  if [ "$who" = root ]; then as=(env); else as=("${as_operator2[@]}"); fi
  printf '%b' "$ini" | "${as_operator[@]}" sh -c "cat >$counter/Varnet.ini"
  timeout 20 "${as[@]}" varnet-journal --central >"$work/central.out" 2>&1 &&
    fail "$who: varnet-journal --central took: $ini"
  for text in "$@"; do
    grep -qF -- "$text" "$work/central.out" ||
      fail "$who, $(printf '%q' "$ini"): varnet-journal --central said: $(cat "$work/central.out")"
  done
  [ -e "$canary" ] && { fail "$who ran planted code for $ini: $(cat "$canary")"; rm -f "$canary"; }
  for f in /etc/nologin /etc/ld.so.preload "$work/traced"; do
    [ -e "$f" ] && { fail "$who created $f for $ini"; rm -f "$f"; }
  done
  return 0
}
for who in root operator2; do
  if [ "$who" = root ]; then as=(env); else as=("${as_operator2[@]}"); fi
  (cd "$counter" && "${as[@]}" "${render[@]}" --out "$out/$who.png") || fail "$who: render failed"
  (cd "$counter" && "${as[@]}" env QT_PLUGIN_PATH="/home/$operator/plugins" \
    "${render[@]}" --out "$out/$who-env.png") || fail "$who: render failed"
  (cd "$programs" && "${as[@]}" "${render[@]}" --out "$out/$who-programs.png") || fail "$who: render failed"
  [ "$who" = root ] && own=$root_refusal || own=
  central "$who" "[SQL]\nDriver=$counter/canary.so\nServer=x\n[Journal]\nDriver=$counter/canary.so\nServer=x\nDatabase=d\n" \
    "${own:-Драйвер ODBC $counter/canary.so не будет загружен}"
  central "$who" "[Journal]\nDriver=SQLite3\nServer=x;LoadExt=$counter/canary.so,\n" \
    "${own:-Раздел [Journal] файла $counter/Varnet.ini: значение ключа «Server» содержит символ «;»}"
  central "$who" "[Journal]\nConnect=Driver=SQLite3;Server={x;LoadExt=$counter/canary.so,}\n" \
    "${own:-Раздел [Journal] файла $counter/Varnet.ini: значение ключа «Server» содержит символ «;»}"
  central "$who" "[Journal]\nConnect=Driver={PostgreSQL Unicode};Server=127.0.0.1;pqopt={sslkey=$counter/canary.so:k sslmode=require}\n" \
    "${own:-ключ «pqopt» не допускается}"
  central "$who" "[Journal]\nConnect=Driver=SQLite3;Database=/etc/nologin;Tracefile=/etc/ld.so.preload\n" \
    "${own:-ключ «Tracefile» не допускается}"
  central "$who" "[Journal]\nDriver=SQLite3\nServer=x\nDatabase=/etc/nologin\n" "${own:-}"
  # What a 1.0.0 operator left beside the programs is not there to be loaded.
  central "$who" "[Journal]\nDriver=$programs/evil.so\nServer=x\n" \
    "${own:-Драйвер ODBC $programs/evil.so не будет загружен: $programs/evil.so не найден}"
  "${as[@]}" varnet-journal --central --connect "Driver=SQLite3;Database=$work/x.db;LoadExt=$counter/canary.so" \
    >"$work/$who-ext.out" 2>&1 && fail "$who: the planted extension was taken"
  grep -q "ключ «LoadExt» не допускается" "$work/$who-ext.out" ||
    fail "$who: varnet-journal --connect with LoadExt said: $(cat "$work/$who-ext.out")"
  [ -e "$canary" ] && { fail "$who ran planted code: $(cat "$canary")"; rm -f "$canary"; }
done
# Root's own file may name a central journal; the rules of the string hold for it too.
printf '[Journal]\nConnect=Driver=SQLite3;Server={x;LoadExt=%s/canary.so,}\n' "$counter" >"$trusted/central.ini"
varnet-journal --central --ini "$trusted/central.ini" >"$work/root-ini.out" 2>&1 &&
  fail "root's --ini with an extension was taken"
grep -q "Раздел \[Journal\] файла $trusted/central.ini: значение ключа «Server»" "$work/root-ini.out" ||
  fail "root's --ini said: $(cat "$work/root-ini.out")"
varnet-journal --central --connect "Driver=$programs/evil.so;Server=x" >"$work/root-evil.out" 2>&1 &&
  fail "root connected through $programs/evil.so"
[ -e "$canary" ] && { fail "root ran planted code: $(cat "$canary")"; rm -f "$canary"; }
cp -p "$work/Varnet.ini.kept" "$counter/Varnet.ini.new" && mv "$counter/Varnet.ini.new" "$counter/Varnet.ini"
# The canary is real: where root puts the same code, and only there, it is loaded.
mkdir -p "$trusted/imageformats"
cp "$build/tests/canary/imageformats/libvarnet_canary_imageformat.so" "$trusted/imageformats/"
cp "$build/tests/canary/libvarnet_canary_library.so" "$trusted/canary.so"
QT_PLUGIN_PATH=$trusted "${render[@]}" --out "$out/trusted.png" || true
grep -q 'image plugin loaded' "$canary" 2>/dev/null || fail "the canary plugin did not load even from $trusted"
varnet-journal --central --connect "Driver=$trusted/canary.so;Server=x" >/dev/null 2>&1 || true
grep -q 'library loaded' "$canary" 2>/dev/null || fail "the canary library did not load even from $trusted"
rm -f "$canary"

step "links of another operator"
# Operator 1 links the counter's files to files of operator 2 and of root.
"${as_operator2[@]}" sh -c "echo 'notes of $operator2' >/home/$operator2/notes.txt"
echo 'a file of root' >"$work/root-file"
cp -p "$work/root-file" "$work/root-file.kept"
cp -p /home/$operator2/notes.txt "$work/notes.kept"
"${as_operator[@]}" ln -sfn "/home/$operator2/notes.txt" "$counter/Varnet.ini"
mv "$counter/Varnet.cfg" "$work/Varnet.cfg.kept"
"${as_operator[@]}" ln -sfn "$work/root-file" "$counter/Varnet.cfg"
for who in root operator2; do
  if [ "$who" = root ]; then as=(env); else as=("${as_operator2[@]}"); fi
  "${as[@]}" varnet-label sample --kind weight --page 58x40 --out "$counter/Varnet.cfg" \
    >"$work/$who-link.out" 2>&1 && fail "$who wrote through the planted link"
  grep -q "ссылка, созданная другим пользователем" "$work/$who-link.out" ||
    fail "$who: the refused save said: $(cat "$work/$who-link.out")"
done
cmp -s "$work/root-file" "$work/root-file.kept" || fail "root's file changed"

start_xvfb
jobs_of() { lpstat -W all -o "$queue" | awk -v u="$1" '$2 == u {print $1}'; }
# start_counter ACCOUNT [SHOT]: the installed workstation of that operator under Xvfb; sets app,
# win. With SHOT, a message is expected as the program starts: it is photographed as SHOT.png
# and answered.
start_counter() {
  local who=$1 shot=${2:-} title=${3:-^Ошибка$} as
  if [ "$who" = "$operator" ]; then as=("${as_operator[@]}"); else as=("${as_operator2[@]}"); fi
  "${as[@]}" env -u QT_QPA_PLATFORM DISPLAY="$display" varnet >"$work/varnet-$who.log" 2>&1 &
  app=$!
  pids+=($app)
  if [ -n "$shot" ]; then
    if window_titled "$title"; then
      DISPLAY=$display import -window root "$build/screenshots/$shot.png"
      key Return
    else
      fail "no message before the main screen ($shot)"
    fi
  fi
  win=
  for _ in $(seq 300); do
    win=$(DISPLAY=$display xdotool search --onlyvisible --pid "$app" --name '^Ведант$' 2>/dev/null | tail -1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || { cat "$work/varnet-$who.log"; echo "no main screen for $who"; exit 1; }
  sleep 1
  DISPLAY=$display xdotool windowfocus "$win" 2>/dev/null || true
}
# stop_counter: the session's end (SIGTERM), as a logout or shutdown sends it.
stop_counter() {
  kill -TERM "$app"
  wait "$app" || fail "the workstation ended with $?"
}
key() { DISPLAY=$display xdotool key --clearmodifiers "$@"; sleep 0.5; }
window_titled() { # TITLE: true when a window of the running workstation has that title
  for _ in $(seq 50); do
    DISPLAY=$display xdotool search --onlyvisible --pid "$app" --name "$1" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
# print_label ACCOUNT: product 12 on the scale's 0.512 kg, then the print key; the job of that
# account must reach the queue's driver.
print_label() {
  local who=$1 before job=
  before=$(jobs_of "$who")
  key 1 2 plus
  key Return
  for _ in $(seq 100); do
    job=$(jobs_of "$who" | grep -vxF -f <(echo "$before") | head -1 || true)
    [ -n "$job" ] && [ -s "$capture/job-${job##*-}-Pelgrin.prn" ] && break
    sleep 0.1
  done
  [ -n "$job" ] && [ -s "$capture/job-${job##*-}-Pelgrin.prn" ] ||
    { DISPLAY=$display import -window root "$build/screenshots/installed-$who.png"; fail "no label of $who reached $queue"; }
}
mkdir -p "$build/screenshots"

# Operator 2 saves the settings over operator 1's link: refused, and the notes stay. (The
# notes, read as settings, name no catalogue: its message comes first.)
start_counter "$operator2" installed-no-catalogue
key asterisk
window_titled '^Конфигурация$' || fail "no settings dialog"
key Return
window_titled '^Ошибка$' || fail "no message for the refused settings save"
DISPLAY=$display import -window root "$build/screenshots/installed-refused-link.png"
stop_counter
cmp -s "/home/$operator2/notes.txt" "$work/notes.kept" || fail "$operator2's notes changed"
[ -L "$counter/Varnet.ini" ] || fail "the planted link was replaced"
cp -p "$work/Varnet.ini.kept" "$counter/Varnet.ini.new" && mv "$counter/Varnet.ini.new" "$counter/Varnet.ini"
mv "$work/Varnet.cfg.kept" "$counter/Varnet.cfg"
rm -rf "$counter/imageformats" "$counter/canary.so"
[ -e "$canary" ] && { fail "the workstation ran planted code: $(cat "$canary")"; rm -f "$canary"; }

step "settings another operator left closed"
# As version 1.0.0 saved them: the first operator's alone. The second is told whose file it is
# and how to open it, runs on the defaults, and cannot save over it.
"${as_operator[@]}" chmod 600 "$counter/Varnet.ini"
sha256sum "$counter/Varnet.ini" >"$work/closed.sum"
start_counter "$operator2" installed-closed-settings
window_titled '^Ошибка$' && key Return # the defaults name no catalogue
key asterisk
window_titled '^Конфигурация$' || fail "no settings dialog"
key Return
window_titled '^Ошибка$' || fail "no message for the refused save over the closed settings"
DISPLAY=$display import -window root "$build/screenshots/installed-closed-settings-save.png"
stop_counter
sha256sum -c --quiet "$work/closed.sum" || fail "the closed settings file changed"
[ "$(stat -c '%a %U' "$counter/Varnet.ini")" = "600 $operator" ] || fail "the closed settings file is $(stat -c '%a %U' "$counter/Varnet.ini")"

step "a catalogue string that would load code"
# Operator 1 turns the catalogue's server into an SQLite extension of its own; operator 2's
# workstation refuses the connection with a message that names the key and loads nothing.
cp -p "$counter/Varnet.ini" "$work/Varnet.ini.kept"
printf '[SQL]\nDriver=SQLite3\nServer=x;LoadExt=%s/canary.so,\nDatabase=%s/catalogue.db\n' "$counter" "$counter" |
  "${as_operator[@]}" sh -c "cat >$counter/Varnet.ini"
"${as_operator[@]}" cp "$build/tests/canary/libvarnet_canary_library.so" "$counter/canary.so"
start_counter "$operator2" installed-refused-connection
stop_counter
[ -e "$canary" ] && { fail "the workstation ran planted code: $(cat "$canary")"; rm -f "$canary"; }
rm -f "$counter/canary.so"
cp -p "$work/Varnet.ini.kept" "$counter/Varnet.ini.new" && mv "$counter/Varnet.ini.new" "$counter/Varnet.ini"

step "two operators on one counter"
start_service
"${as_operator[@]}" varnet-democat --sqlite "$counter/catalogue.db" --rows 50 >/dev/null
# The scale: a simulated CAS scale whose device both operators (group dialout) may open.
varnet-scale-sim --protocol cas --weight 0.512 --link-dir "$counter" </dev/null >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$counter/COM1" ] && break; sleep 0.1; done
pty=$(readlink -f "$counter/COM1")
chgrp dialout "$pty" && chmod 660 "$pty"
start_counter "$operator"
# Its owner's program opens the file to the group without a word.
[ "$(stat -c '%a' "$counter/Varnet.ini")" = 660 ] || fail "the first operator's start left Varnet.ini $(stat -c '%a' "$counter/Varnet.ini")"
key asterisk
window_titled '^Конфигурация$' || fail "no settings dialog"
key Return
sleep 1
[ "$(stat -c '%a %U %G' "$counter/Varnet.ini")" = "660 $operator varnet" ] ||
  fail "Varnet.ini is $(stat -c '%a %U %G' "$counter/Varnet.ini") after $operator's save"
print_label "$operator"
stop_counter
start_counter "$operator2"
print_label "$operator2" # to the queue that only the first operator's settings name
stop_counter
accounts=$(sqlite3 "$journal/Journal.db" "SELECT account FROM labels WHERE account <> '' ORDER BY rowid")
[ "$accounts" = "$operator"$'\n'"$operator2" ] || fail "the journal's accounts: $accounts"
[ "$(sqlite3 "$journal/Journal.db" "SELECT count(*) FROM labels WHERE account = ''")" = 2 ] ||
  fail "the 1.0.0 rows did not stay"
[ "$(stat -c '%U %a' "$journal/Journal.db")" = "$service_user 640" ] || fail "the service left the journal $(stat -c '%U %a' "$journal/Journal.db")"
# Each operator reads every row with its account, also while the service is stopped.
stop_service
for who in operator operator2; do
  if [ "$who" = operator ]; then as=("${as_operator[@]}"); else as=("${as_operator2[@]}"); fi
  "${as[@]}" varnet-journal --labels >"$work/labels.out" 2>&1 || fail "$who: varnet-journal --labels: $(cat "$work/labels.out")"
  grep -qE " $operator( |\$)" "$work/labels.out" && grep -qE " $operator2( |\$)" "$work/labels.out" ||
    fail "$who: varnet-journal --labels shows: $(cat "$work/labels.out")"
done

step "labels printed while the journal service is away"
# The second operator's label waits in a file of its own; the operator hears of it once, and the
# row reaches the journal, once, when the service is back.
start_counter "$operator2"
print_label "$operator2"
window_titled '^Журнал фасовки$' || fail "no message that the journal service is away"
DISPLAY=$display import -window root "$build/screenshots/installed-service-away.png"
stop_counter
grep -q "сохранены в /home/$operator2/.local/share/varnet/pending-" "$work/varnet-$operator2.log" ||
  fail "the exit did not say where the row is kept: $(cat "$work/varnet-$operator2.log")"
ls /home/$operator2/.local/share/varnet/pending-*.db >/dev/null 2>&1 || fail "no file keeps the row"
start_service
for run in 1 2; do
  start_counter "$operator2"
  stop_counter
  count=$(sqlite3 "$journal/Journal.db" "SELECT count(*) FROM labels WHERE account = '$operator2'")
  [ "$count" = 2 ] || fail "after start $run the journal has $count rows of $operator2, not 2"
done
ls /home/$operator2/.local/share/varnet/pending-*.db >/dev/null 2>&1 && fail "the kept row's file stays"
DISPLAY=$display import -window root "$build/screenshots/installed-counter.png"

# pending_file ACCOUNT: the file where that operator's programs keep rows for the journal.
pending_file() {
  echo "/home/$1/.local/share/varnet/pending-$(printf '%s' "$journal/Journal.db" | sha1sum | cut -c1-16).db"
}
# forge ACCOUNT ROWS: ROWS labels (SQL values after the id) in that operator's own pending file.
forge() {
  local file
  file=$(pending_file "$1")
  runuser -u "$1" -- mkdir -p "$(dirname "$file")"
  printf '%s\n' "CREATE TABLE IF NOT EXISTS labels (id TEXT PRIMARY KEY NOT NULL, moment TEXT NOT NULL,
    code TEXT NOT NULL, name TEXT NOT NULL, weighed INTEGER NOT NULL, quantity REAL NOT NULL,
    price REAL NOT NULL, sum REAL NOT NULL, barcode TEXT NOT NULL, best_before TEXT,
    printer TEXT NOT NULL, job_id INTEGER NOT NULL, reprint INTEGER NOT NULL,
    label_name TEXT NOT NULL, label_info TEXT NOT NULL, sent INTEGER NOT NULL DEFAULT 0,
    central_error TEXT, account TEXT NOT NULL DEFAULT '');" "$2" | runuser -u "$1" -- sqlite3 "$file"
}

step "rows that speak for somebody else"
# The first operator writes rows of its own file under the second operator's name, one with a
# quantity no label holds; handed over, the plausible one is the first operator's, the other
# is kept apart by the service, and the operator hears of it once.
forge "$operator" "INSERT INTO labels (id, moment, code, name, weighed, quantity, price, sum,
  barcode, printer, job_id, reprint, label_name, label_info, account) VALUES
  ('5d0c0a2e-1111-4000-8000-000000000001', '2026-12-11 08:00:00.000', '12', 'Сыр', 1, 0.5, 450,
   225, '2700012005120', 'VarnetZPL', 1, 0, 'Сыр', '', '$operator2'),
  ('5d0c0a2e-1111-4000-8000-000000000002', '2026-12-11 08:01:00.000', '12', 'Сыр', 1, 1e300, 450,
   225, '2700012005120', 'VarnetZPL', 2, 0, 'Сыр', '', '$operator2');"
start_counter "$operator" installed-forged-rows '^Журнал фасовки$'
stop_counter
[ "$(sqlite3 "$journal/Journal.db" "SELECT account FROM labels WHERE id LIKE '5d0c0a2e-1111-%'")" = "$operator" ] ||
  fail "the forged rows: $(sqlite3 "$journal/Journal.db" "SELECT id, account, quantity FROM labels WHERE id LIKE '5d0c0a2e-1111-%'")"
[ "$(sqlite3 "$journal/Journal.db" "SELECT account || ' ' || reason FROM refused_rows")" = \
  "$operator количество 1e+300 вне пределов этикетки" ] ||
  fail "kept apart: $(sqlite3 "$journal/Journal.db" "SELECT * FROM refused_rows")"

step "the central journal sent by the service"
# From a settings file only root can change, under the service's account, to the tests'
# PostgreSQL; 300 rows handed over at once, the service stopped and started in the middle:
# every row arrives once.
pg=(runuser -u postgres -- psql -h 127.0.0.1 -p "${VARNET_PG_PORT:-54329}" -v ON_ERROR_STOP=1 -qAt)
"${pg[@]}" -d postgres -c "DROP DATABASE IF EXISTS varnet_package_central WITH (FORCE)" \
  -c "CREATE DATABASE varnet_package_central"
"${pg[@]}" -d varnet_package_central -f "$here/../../sql/journal-postgresql.sql"
if [ ! -d /etc/varnet ]; then mkdir -m 0755 /etc/varnet; made_etc=1; fi
[ -e /etc/varnet/central.ini ] && { echo "SKIP: /etc/varnet/central.ini is this machine's"; exit 77; }
printf '[Journal]\nConnect=Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=%s;Database=varnet_package_central;UID=postgres\n' \
  "${VARNET_PG_PORT:-54329}" >/etc/varnet/central.ini
chown "root:$service_user" /etc/varnet/central.ini
chmod 0640 /etc/varnet/central.ini
values=
for n in $(seq 300); do
  values+="${values:+,}('7e0c0a2e-2222-4000-8000-$(printf '%012d' "$n")', '2026-12-11 10:00:00.000', '31',
    'Булка', 0, 1, 35, 35, '2900031000025', 'VarnetZPL', $n, 0, 'Булка', '', '$operator2')"
done
forge "$operator2" "INSERT INTO labels (id, moment, code, name, weighed, quantity, price, sum,
  barcode, printer, job_id, reprint, label_name, label_info, account) VALUES $values;"
stop_service
start_service
start_counter "$operator2"
sleep 0.3
stop_service
sleep 1
start_service
local_rows=$(sqlite3 "$journal/Journal.db" "SELECT count(*) FROM labels")
for _ in $(seq 300); do
  sent=$("${pg[@]}" -d varnet_package_central -c "SELECT count(*) FROM varnet_journal")
  [ "$sent" = "$local_rows" ] && [ "$(sqlite3 "$journal/Journal.db" "SELECT count(*) FROM labels WHERE sent = 0")" = 0 ] && break
  sleep 0.2
  local_rows=$(sqlite3 "$journal/Journal.db" "SELECT count(*) FROM labels")
done
stop_counter
[ "$(sqlite3 "$journal/Journal.db" "SELECT count(*) FROM labels WHERE id LIKE '7e0c0a2e-2222-%'")" = 300 ] ||
  fail "the journal holds $(sqlite3 "$journal/Journal.db" "SELECT count(*) FROM labels WHERE id LIKE '7e0c0a2e-2222-%'") of the 300 rows"
read -r total distinct <<<"$("${pg[@]}" -F ' ' -d varnet_package_central -c "SELECT count(*), count(DISTINCT id) FROM varnet_journal")"
[ "$total" = "$local_rows" ] && [ "$distinct" = "$total" ] ||
  { fail "the central journal has $total rows ($distinct distinct) of $local_rows"; sed 's/^/    journald: /' "$work/journald.log" | tail -20; }
[ "$("${pg[@]}" -d varnet_package_central -c "SELECT count(*) FROM varnet_journal WHERE account = '$operator2' AND id LIKE '7e0c0a2e-2222-%'")" = 300 ] ||
  fail "the central rows lost their account"
[ "$(ps -o uid= -p "$service_pid" | tr -d ' ')" = "$(id -u "$service_user")" ] || fail "the service does not run as $service_user"
stop_service
"${pg[@]}" -d postgres -c "DROP DATABASE IF EXISTS varnet_package_central WITH (FORCE)"
rm -f /etc/varnet/central.ini

[ "$failures" = 0 ] || { echo "$failures checks failed"; exit 1; }
echo "installed over 1.0.0, shared by $operator and $operator2, nothing planted ran, nothing lost"
