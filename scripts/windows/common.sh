# Shared by the Windows scripts: where Qt for Windows is cached and with which switches it is
# built. The cache folder's name carries Qt's version and a digest of the switches, so a change of
# either builds a new Qt beside the old one instead of reusing a wrong one.
# shellcheck shell=bash
VARNET_QT_VERSION=6.4.2
VARNET_WIN_CACHE=${VARNET_WIN_CACHE:-/var/cache/varnet-windows}
VARNET_WIN_SRC=$VARNET_WIN_CACHE/qt6-base-$VARNET_QT_VERSION-src
VARNET_WIN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
VARNET_WIN_TOOLCHAIN=$VARNET_WIN_ROOT/cmake/mingw-w64-x86_64.cmake
VARNET_QT_SWITCHES=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_tabletevent=OFF
  -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF
  -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_freetype=OFF -DFEATURE_jpeg=OFF
  -DFEATURE_pkg_config=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF
)
VARNET_QT_KEY=$(printf '%s\n' "$VARNET_QT_VERSION" "${VARNET_QT_SWITCHES[@]}" \
  "$(cat "$VARNET_WIN_TOOLCHAIN")" | sha256sum | cut -c1-10)
VARNET_QT_PREFIX=$VARNET_WIN_CACHE/qt-$VARNET_QT_VERSION-mingw64-$VARNET_QT_KEY
# SQLite for the packing journal, from Debian's sqlite3 source package: the amalgamation is
# made with the host's tools and cross-compiled into a static library.
VARNET_SQLITE_PREFIX=$VARNET_WIN_CACHE/sqlite-mingw64-$VARNET_QT_KEY
# Finished cache folders built once elsewhere: archives <folder>.tar.xz (or an archive of the
# same digest that holds the folder too) in the project's shared folder, each listed by its
# sha256 in the README there.
VARNET_WIN_SHARED=${VARNET_WIN_SHARED:-$VARNET_WIN_ROOT/../shared/windows-cache}

# Unpacks the cache folder PREFIX from the shared folder when an archive there holds it whole
# (its .complete file), has the digest of today's switches in its name and the sha256 that the
# README there gives; false, and nothing changed, otherwise. The caller holds the cache's lock.
take_from_shared_cache() {
  local prefix=$1 folder archive sum tmp
  folder=$(basename "$prefix")
  [ -f "$VARNET_WIN_SHARED/README.md" ] || return 1
  for archive in "$VARNET_WIN_SHARED/$folder.tar.xz" "$VARNET_WIN_SHARED"/*-"$VARNET_QT_KEY".tar.xz; do
    [ -f "$archive" ] || continue
    sum=$(sha256sum "$archive" | cut -d' ' -f1)
    if ! grep -qw "$sum" "$VARNET_WIN_SHARED/README.md"; then
      echo "windows cache: $archive is not the archive its README lists (sha256 $sum)" >&2
      continue
    fi
    # The whole listing is read: a pipe closed early would fail the test under pipefail.
    tar -tJf "$archive" 2>/dev/null | grep -x "$folder/.complete" >/dev/null || continue
    tmp=$(mktemp -d "$VARNET_WIN_CACHE/unpack.XXXXXX")
    if tar --no-same-owner -xJf "$archive" -C "$tmp" "$folder" && [ -f "$tmp/$folder/.complete" ]; then
      rm -rf "$prefix"
      mv "$tmp/$folder" "$prefix"
      rm -rf "$tmp"
      echo "windows cache: $folder taken from $archive" >&2
      return 0
    fi
    rm -rf "$tmp"
  done
  return 1
}
