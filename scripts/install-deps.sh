#!/usr/bin/env bash
# Installs the Debian packages that building, the tests and the demo need, when missing.
set -euo pipefail
packages=(
  cmake g++ make pkg-config dpkg-dev lintian fakeroot
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-translations-l10n
  unixodbc unixodbc-dev libsqliteodbc libsqlite3-dev odbc-postgresql postgresql
  cups cups-client cups-bsd cups-filters libcups2-dev cups-ipp-utils avahi-daemon dbus
  libzxing-dev
  fonts-liberation2 fonts-dejavu-core
  zbar-tools poppler-utils xvfb xauth x11-utils xdotool imagemagick sqlite3 openbox netcat-openbsd
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "install-deps: installing ${missing[*]}"
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
