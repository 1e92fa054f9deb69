#!/usr/bin/env bash
# Cross-builds Varnet, its tools and the programs the Wine tests run for Windows against the
# cached Qt (built first when missing), and packs the ZIP and the NSIS installer:
#   scripts/windows/build.sh [--no-package]
# Output: build-windows/ (the programs in bin/, the tests in tests/, the packages at the top).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/windows/common.sh
. "$here/common.sh"
cd "$VARNET_WIN_ROOT"
# The compilers, Wine and NSIS, also where Qt's cache is there already.
bash "$here/install-deps.sh" >&2
VARNET_QT_PREFIX=$(bash "$here/build-qt.sh")
VARNET_SQLITE_PREFIX=$(bash "$here/build-sqlite.sh")
export VARNET_QT_PREFIX VARNET_SQLITE_PREFIX
cmake --preset windows >build-windows.configure.log 2>&1 ||
  { tail -n 40 build-windows.configure.log >&2; exit 1; }
rm -f build-windows.configure.log
cmake --build --preset windows -j "${VARNET_WIN_JOBS:-$(nproc)}"
if [ "${1:-}" != --no-package ]; then
  (cd build-windows && cpack -G ZIP >/dev/null && cpack -G NSIS >/dev/null)
  ls -l build-windows/Varnet-*-win64.zip build-windows/Varnet-*-win64.exe
fi
