#!/usr/bin/env bash
# Every program of the package prints nothing but its own output on a normal run: as root
# with no runtime folder set, and as an ordinary operator who inherited root's environment.
# --version and --help answer in the usual way, and --help states the exit codes.
set -uo pipefail
build_bin=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/testuser.sh"
source "$here/../../scripts/xvfb.sh"
ensure_operator
version=$(sed -n 's/^project(Varnet VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")

work=$(mktemp -d)
chmod 755 "$work"
# A copy the operator can reach wherever the build folder lies (a clone under /root, say).
bin=$work/bin
mkdir "$bin"
cp "$build_bin"/varnet "$build_bin"/varnet-label "$build_bin"/varnet-scale \
  "$build_bin"/varnet-scale-sim "$build_bin"/varnet-democat "$build_bin"/varnet-journal \
  "$build_bin"/varnet-journald "$build_bin"/libvarnet_sqlite.so "$bin/"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run WHO NAME CMD...: the command as root (no XDG_RUNTIME_DIR) or as the operator; it must
# end with 0 and write nothing on standard error. Its output is left in $work/WHO-NAME.out.
run() {
  local who=$1 name=$2 rc
  shift 2
  local out=$work/$who-$name.out err=$work/$who-$name.err
  if [ "$who" = root ]; then
    env -u XDG_RUNTIME_DIR "$@" >"$out" 2>"$err" </dev/null
  else
    "${as_operator[@]}" "$@" >"$out" 2>"$err" </dev/null
  fi
  rc=$?
  [ "$rc" = 0 ] || fail "$who $name: exit code $rc"
  [ -s "$err" ] && { fail "$who $name wrote on standard error:"; sed 's/^/    /' "$err"; }
  return 0
}

start_xvfb || exit 1
for who in root operator; do
  dir=$work/$who
  mkdir -p "$dir"
  [ "$who" = operator ] && chown "$operator" "$dir"
  # The root run has a runtime folder that Qt would refuse to the operator: root's own.
  export XDG_RUNTIME_DIR=$work/root-runtime
  mkdir -p -m 0700 "$XDG_RUNTIME_DIR"

  for tool in varnet varnet-label varnet-scale varnet-scale-sim varnet-democat varnet-journal \
    varnet-journald; do
    run "$who" "$tool-version" "$bin/$tool" --version
    grep -qx "$tool $version" "$work/$who-$tool-version.out" ||
      fail "$who $tool --version printed: $(cat "$work/$who-$tool-version.out")"
    run "$who" "$tool-help" "$bin/$tool" --help
    grep -q '^Exit codes: 0 ' "$work/$who-$tool-help.out" || fail "$who $tool --help has no exit codes"
  done

  run "$who" label-defaults "$bin/varnet-label" defaults --kind piece --out "$dir/QLabel.cfg"
  run "$who" label-sample "$bin/varnet-label" sample --kind weight --page 58x40 --out "$dir/Varnet.cfg"
  run "$who" label-render "$bin/varnet-label" render --page 58x40 --dpi 203 --barcode 200012301234 \
    --name Сыр --price 450 --quantity 1.234 --sum 555.3 --layout "$dir/Varnet.cfg" --out "$dir/label.png"
  [ -s "$dir/label.png" ] || fail "$who: varnet-label render wrote no picture"
  run "$who" democat "$bin/varnet-democat" --sqlite "$dir/catalogue.db" --rows 30
  grep -q '30 products written' "$work/$who-democat.out" || fail "$who: varnet-democat said nothing"

  # A weight read from the simulated scale, which is stopped by its quit command.
  mkfifo "$dir/sim.in"
  if [ "$who" = root ]; then
    env -u XDG_RUNTIME_DIR "$bin/varnet-scale-sim" --protocol cas --weight 1.234 --link-dir "$dir" \
      <"$dir/sim.in" >"$work/$who-sim.out" 2>"$work/$who-sim.err" &
  else
    "${as_operator[@]}" "$bin/varnet-scale-sim" --protocol cas --weight 1.234 --link-dir "$dir" \
      <"$dir/sim.in" >"$work/$who-sim.out" 2>"$work/$who-sim.err" &
  fi
  sim=$!
  exec 7>"$dir/sim.in"
  for _ in $(seq 100); do [ -e "$dir/COM1" ] && break; sleep 0.1; done
  run "$who" scale "$bin/varnet-scale" --protocol cas --device "$dir/COM1" --count 2
  [ "$(cat "$work/$who-scale.out")" = $'1.234\n1.234' ] ||
    fail "$who: varnet-scale read $(cat "$work/$who-scale.out")"
  echo quit >&7
  exec 7>&-
  wait "$sim" || fail "$who: the scale simulator ended with $?"
  [ -s "$work/$who-sim.err" ] && { fail "$who varnet-scale-sim wrote on standard error:"; cat "$work/$who-sim.err"; }

  # The workstation on its counter folder, until its main screen is up.
  cp "$bin/varnet" "$bin/libvarnet_sqlite.so" "$dir/"
  printf '[Varnet]\nPrinterName=VarnetZPL\n[SQL]\nDriver=SQLite3\nServer=localhost\nDatabase=%s\n' \
    "$dir/catalogue.db" >"$dir/Varnet.ini"
  chmod 600 "$dir/Varnet.ini"
  [ "$who" = operator ] && chown -R "$operator" "$dir"
  if [ "$who" = root ]; then
    env -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM DISPLAY="$display" "$dir/varnet" \
      >"$work/$who-varnet.out" 2>"$work/$who-varnet.err" &
  else
    "${as_operator[@]}" env -u QT_QPA_PLATFORM DISPLAY="$display" "$dir/varnet" \
      >"$work/$who-varnet.out" 2>"$work/$who-varnet.err" &
  fi
  app=$!
  win=$(find_window '^Ведант$' 300)
  [ -n "$win" ] || fail "$who: the main screen did not appear"
  sleep 1
  kill -TERM "$app" 2>/dev/null
  wait "$app" 2>/dev/null
  [ -s "$work/$who-varnet.err" ] && { fail "$who varnet wrote on standard error:"; cat "$work/$who-varnet.err"; }
done

[ "$failures" = 0 ] || { echo "$failures checks failed"; exit 1; }
echo "every program was quiet"
