#!/usr/bin/env bash
# Qt for Windows (Core, Gui, Widgets, PrintSupport, Test; shared; Release), once, into the cache
# folder named by Qt's version and the switches; prints the prefix. A finished cache is reused
# as it is; else the archive of the same folder in the shared folder is unpacked when its sha256
# is the one listed there (common.sh); else Qt is built from Debian's qt6-base source with
# MinGW-w64 and Debian's own host tools, on all the machine's cores under nice (VARNET_QT_JOBS
# changes the number of jobs).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/windows/common.sh
. "$here/common.sh"

if [ -f "$VARNET_QT_PREFIX/.complete" ]; then
  echo "$VARNET_QT_PREFIX"
  exit 0
fi
mkdir -p "$VARNET_WIN_CACHE"
exec 9>"$VARNET_WIN_CACHE/.build-qt.lock"
flock 9
if [ -f "$VARNET_QT_PREFIX/.complete" ] || take_from_shared_cache "$VARNET_QT_PREFIX"; then
  echo "$VARNET_QT_PREFIX"
  exit 0
fi
bash "$here/install-deps.sh" --qt-source >&2
build=$VARNET_WIN_CACHE/build-qt-$VARNET_QT_KEY
start=$(date +%s)
echo "build-qt: building Qt $VARNET_QT_VERSION for Windows into $VARNET_QT_PREFIX" >&2
rm -rf "$VARNET_QT_PREFIX"
mkdir -p "$build"
cmake -G Ninja -S "$VARNET_WIN_SRC" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$VARNET_WIN_TOOLCHAIN" \
  -DCMAKE_INSTALL_PREFIX="$VARNET_QT_PREFIX" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  "${VARNET_QT_SWITCHES[@]}" >"$build/configure.log" 2>&1 ||
  { tail -n 40 "$build/configure.log" >&2; exit 1; }
nice -n 19 cmake --build "$build" --parallel "${VARNET_QT_JOBS:-$(nproc)}" >"$build/build.log" 2>&1 ||
  { tail -n 40 "$build/build.log" >&2; exit 1; }
cmake --install "$build" >"$build/install.log" 2>&1 || { tail -n 40 "$build/install.log" >&2; exit 1; }
end=$(date +%s)
echo "built in $((end - start)) s wall on $(nproc) cores" >"$VARNET_QT_PREFIX/.complete"
rm -rf "$build"
echo "build-qt: done in $((end - start)) s" >&2
echo "$VARNET_QT_PREFIX"
