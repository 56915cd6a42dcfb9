#!/usr/bin/env bash
# Installs what is missing, builds, makes sure the demo database exists in the
# plug-in folder, installs the plug-in's D-Bus activation file and starts the
# host application, whose menu "Plug-ins" opens the catalogue.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
scripts/deps.sh
scripts/build.sh

BUILD=${ONDREL_BUILD_DIR:-build}
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
PLUGIN="$BUILD/ulmix"
HOST="$BUILD/host/ondrel-host"

if [ ! -f "$PLUGIN/livrano.mdb" ]; then
  echo "Creating the demo database $PLUGIN/livrano.mdb"
  "$PLUGIN/ondrel" --create-database "$PLUGIN/livrano.mdb" --demo >/dev/null
fi

# The session bus starts the plug-in on demand from this file (its Exec is the
# absolute path of the built executable).
# (The bus takes the home folder from the user database, not from $HOME.)
USER_HOME=$(getent passwd "$(id -u)" | cut -d: -f6)
SERVICES="${XDG_DATA_HOME:-${USER_HOME:-$HOME}/.local/share}/dbus-1/services"
mkdir -p "$SERVICES"
if ! cmp -s "$PLUGIN/Ondrel.clsPluginInterface.service" "$SERVICES/Ondrel.clsPluginInterface.service"; then
  cp "$PLUGIN/Ondrel.clsPluginInterface.service" "$SERVICES/"
  echo "Installed $SERVICES/Ondrel.clsPluginInterface.service"
  # A bus that is already running reads it again.
  if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.ReloadConfig >/dev/null 2>&1 || true
  fi
fi

CMD=("$HOST")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<'MSG'
No display (neither DISPLAY nor WAYLAND_DISPLAY is set): starting the host under
xvfb-run, with a private session bus, where nothing is visible. Press Ctrl+C to
end it. To see the windows, run ./run.sh from a desktop session (or with
DISPLAY set); to get a picture of the catalogue window without a display, run
scripts/screenshot
MSG
  CMD=(xvfb-run -a dbus-run-session -- "${CMD[@]}")
elif [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  echo "No session bus: starting a private one with dbus-run-session."
  CMD=(dbus-run-session -- "${CMD[@]}")
else
  # The plug-in is started by the bus, with the bus's environment: make sure
  # it knows this display.
  VARS=()
  for v in DISPLAY WAYLAND_DISPLAY XAUTHORITY; do
    if [ -n "${!v:-}" ]; then VARS+=("$v"); fi
  done
  dbus-update-activation-environment "${VARS[@]}" >/dev/null 2>&1 || true
fi
echo "Starting ondrel-host; its menu Plug-ins > Ulmix opens the catalogue."
exec "${CMD[@]}"
