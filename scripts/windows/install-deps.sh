#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need, when missing: the MinGW-w64
# compilers (their posix-thread variants: Qt needs std::thread), Wine and NSIS. A build from
# source adds what it needs: --deb-src a deb-src line for Debian's own archive, --qt-source
# that and Qt's source from Debian's qt6-base source package, unpacked into the cache folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/windows/common.sh
. "$here/common.sh"

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev mingw-w64-tools
  wine wine64 nsis dpkg-dev xz-utils unzip cmake ninja-build
  qt6-base-dev qt6-base-dev-tools librsvg2-bin
  libsqliteodbc unixodbc cups cups-client cups-bsd xvfb xauth zbar-tools poppler-utils
  imagemagick fonts-liberation2 python3
)
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
updated=
if [ ${#missing[@]} -gt 0 ]; then
  echo "windows/install-deps: installing ${missing[*]}"
  "${apt[@]}" update -qq
  updated=1
  "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Sources come from the same archive and suite as the binary packages: a deb-src line is added
# beside the existing deb sources when none is there (--deb-src, and --qt-source, which then
# unpacks qt6-base into the cache).
if [ "${1:-}" = --deb-src ] || { [ "${1:-}" = --qt-source ] && [ ! -d "$VARNET_WIN_SRC" ]; }; then
  if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    src_list=/etc/apt/sources.list.d/varnet-deb-src.sources
    {
      echo "Types: deb-src"
      echo "URIs: http://deb.debian.org/debian"
      echo "Suites: $(. /etc/os-release && echo "$VERSION_CODENAME")"
      echo "Components: main"
      echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
    } | "${sudo[@]}" tee "$src_list" >/dev/null
    updated=
  fi
  [ -n "$updated" ] || "${apt[@]}" update -qq
fi
if [ "${1:-}" = --qt-source ] && [ ! -d "$VARNET_WIN_SRC" ]; then
  "${sudo[@]}" mkdir -p "$VARNET_WIN_CACHE"
  tmp=$("${sudo[@]}" mktemp -d "$VARNET_WIN_CACHE/src.XXXXXX")
  (cd "$tmp" && "${sudo[@]}" apt-get source -qq qt6-base >/dev/null)
  dir=$(find "$tmp" -mindepth 1 -maxdepth 1 -type d -name "qt6-base-$VARNET_QT_VERSION*" | head -n1)
  [ -n "$dir" ] || { echo "windows/install-deps: apt-get source qt6-base gave no tree" >&2; exit 1; }
  "${sudo[@]}" mv "$dir" "$VARNET_WIN_SRC"
  "${sudo[@]}" rm -rf "$tmp"
fi
