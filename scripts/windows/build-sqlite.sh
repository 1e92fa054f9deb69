#!/usr/bin/env bash
# SQLite for Windows (a static library and its headers), once, into the cache folder; prints
# the prefix. Taken from the shared folder's archive that holds it, as build-qt.sh takes Qt;
# else built from Debian's sqlite3 source package (needs a deb-src line, which
# install-deps.sh --deb-src adds, and tclsh for the amalgamation).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/windows/common.sh
. "$here/common.sh"

if [ -f "$VARNET_SQLITE_PREFIX/.complete" ]; then
  echo "$VARNET_SQLITE_PREFIX"
  exit 0
fi
mkdir -p "$VARNET_WIN_CACHE"
exec 9>"$VARNET_WIN_CACHE/.build-sqlite.lock"
flock 9
if [ -f "$VARNET_SQLITE_PREFIX/.complete" ] || take_from_shared_cache "$VARNET_SQLITE_PREFIX"; then
  echo "$VARNET_SQLITE_PREFIX"
  exit 0
fi
bash "$here/install-deps.sh" --deb-src >&2
start=$(date +%s)
work=$(mktemp -d "$VARNET_WIN_CACHE/sqlite-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq sqlite3 >/dev/null 2>&1)
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*' | head -n1)
[ -n "$src" ] || { echo "build-sqlite: apt-get source sqlite3 gave no tree" >&2; exit 1; }
mkdir "$work/host"
(cd "$work/host" && "$src/configure" --disable-tcl >/dev/null 2>&1 && nice -n 19 make sqlite3.c >/dev/null 2>&1) ||
  { echo "build-sqlite: the amalgamation could not be made" >&2; exit 1; }
rm -rf "$VARNET_SQLITE_PREFIX"
mkdir -p "$VARNET_SQLITE_PREFIX/include" "$VARNET_SQLITE_PREFIX/lib"
nice -n 19 x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_FTS5 \
  -c "$work/host/sqlite3.c" -o "$work/sqlite3.o"
x86_64-w64-mingw32-ar rcs "$VARNET_SQLITE_PREFIX/lib/libsqlite3.a" "$work/sqlite3.o"
cp "$work/host/sqlite3.h" "$src/src/sqlite3ext.h" "$VARNET_SQLITE_PREFIX/include/" 2>/dev/null ||
  cp "$work/host/sqlite3.h" "$work/host/sqlite3ext.h" "$VARNET_SQLITE_PREFIX/include/"
end=$(date +%s)
echo "built in $((end - start)) s wall" >"$VARNET_SQLITE_PREFIX/.complete"
echo "$VARNET_SQLITE_PREFIX"
