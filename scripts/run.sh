#!/usr/bin/env bash
# Sets up, builds and starts PoleSet in the current directory (where PoleSet.ini lives).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" default
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a "$root/build/src/poleset" "$@"
fi
exec "$root/build/src/poleset" "$@"
