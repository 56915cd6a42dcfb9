#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# only when one of them is missing.
#
#   scripts/deps.sh            what the build and the program need (./run.sh)
#   scripts/deps.sh --tests    and the PostgreSQL server the engine's tests
#                              start (./test.sh), without Debian's own cluster
set -euo pipefail
PKGS=(build-essential cmake pkg-config qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins mdbtools-dev libmdb3
      libsqlite3-dev sqlite3 libpq-dev xvfb xauth xdotool imagemagick poppler-utils qt6-translations-l10n
      dbus-daemon dbus-x11 libglib2.0-bin fonts-dejavu-core fonts-liberation2
      desktop-file-utils appstream qt6-image-formats-plugins python3 python3-icalendar)
# The server the tests and the benchmark start in a folder of their own
# (pg_trgm is part of it); the program itself needs only libpq.
SERVER_PKGS=(postgresql-15)
if [ "${1:-}" = "--tests" ]; then
  PKGS+=("${SERVER_PKGS[@]}")
fi
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  if [[ " ${missing[*]} " == *" postgresql-15 "* ]]; then
    # Debian would create and start a cluster of its own ("main") when the
    # server is installed: told not to, before it is.
    conf=/etc/postgresql-common/createcluster.conf
    $SUDO mkdir -p /etc/postgresql-common
    if [ -f "$conf" ] && grep -q '^[[:space:]]*create_main_cluster' "$conf"; then
      $SUDO sed -i 's/^[[:space:]]*create_main_cluster.*/create_main_cluster = false/' "$conf"
    else
      echo 'create_main_cluster = false' | $SUDO tee -a "$conf" >/dev/null
    fi
  fi
  $SUDO apt-get update -qq
  # The settings file written above stays as it is.
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "${missing[@]}"
fi
