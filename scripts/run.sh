#!/usr/bin/env bash
# Installs what building and running need, builds the program alone and starts it.
#   bash scripts/run.sh [program options]
# Started as root through sudo, the window runs as the user who called sudo, so that
# system immunization changes that user's desktop settings, not root's; the build, too,
# runs as that user when the work tree is theirs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

user=
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ] &&
  id -u "$SUDO_USER" >/dev/null 2>&1; then
  user=$SUDO_USER
fi
as_user=()
if [ -n "$user" ]; then
  uid=$(id -u "$user")
  home=$(getent passwd "$user" | cut -d: -f6)
  # The user's own session: the display, the session bus (where the desktop keeps its
  # settings) and the runtime folder. sudo has dropped most of them.
  vars=(HOME="$home" USER="$user" LOGNAME="$user" PATH="/usr/local/bin:/usr/bin:/bin")
  for name in DISPLAY XAUTHORITY WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
    LANG LANGUAGE LC_ALL TMPDIR TARNWICK_DRIVES QT_QPA_PLATFORM; do
    [ -n "${!name:-}" ] && vars+=("$name=${!name}")
  done
  if [ -d "/run/user/$uid" ]; then
    vars+=(XDG_RUNTIME_DIR="/run/user/$uid")
    [ -S "/run/user/$uid/bus" ] && vars+=(DBUS_SESSION_BUS_ADDRESS="unix:path=/run/user/$uid/bus")
  fi
  as_user=(runuser -u "$user" -- env -i "${vars[@]}")
fi

build=(env TARGETS="tarnwick companion" bash scripts/build.sh build-run
  -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF)
if [ -n "$user" ] && [ "$(stat -c %U .)" = "$user" ]; then
  "${as_user[@]}" "${build[@]}"
else
  "${build[@]}"
fi
exec "${as_user[@]}" "$(pwd)/build-run/tarnwick" "$@"
