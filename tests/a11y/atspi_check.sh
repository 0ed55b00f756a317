#!/usr/bin/env bash
# What a screen reader gets over the real accessibility bus: PoleSet and its display simulator on a
# private virtual screen (Xvfb) with a private session bus, read by atspi_check.py.
#   atspi_check.sh POLESET SIMULATOR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
log=$(mktemp -d)
trap 'kill $screen 2>/dev/null; rm -rf "$log"' EXIT
Xvfb -screen 0 1280x1024x24 -nolisten tcp -displayfd 3 3>"$log/number" >"$log/xvfb" 2>&1 &
screen=$!
for _ in $(seq 100); do [ -s "$log/number" ] && break; sleep 0.1; done
[ -s "$log/number" ] || { echo "Xvfb did not start"; cat "$log/xvfb"; exit 1; }
export DISPLAY=":$(cat "$log/number")"
# The bus that readers use comes up on demand; Qt joins it only when it is there.
dbus-run-session -- bash -c '
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null &&
    exec /usr/bin/python3 "$0" "$@"' "$here/atspi_check.py" "$@" 2>&1 |
    grep -v -e "Failed to set fd limit" -e "Activating service" -e "Successfully activated" -e "SpiRegistry daemon"
