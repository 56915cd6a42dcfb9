#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# only when one of them is missing.
set -euo pipefail
PKGS=(build-essential cmake pkg-config qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins mdbtools-dev libmdb3
      libsqlite3-dev sqlite3 xvfb xauth xdotool imagemagick poppler-utils qt6-translations-l10n
      dbus-daemon dbus-x11 libglib2.0-bin fonts-dejavu-core fonts-liberation2
      desktop-file-utils appstream qt6-image-formats-plugins python3 python3-icalendar)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
