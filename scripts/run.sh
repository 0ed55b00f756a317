#!/usr/bin/env bash
# Sets up and builds PoleSet, then starts it together with the display simulator in a scratch
# directory (build/try, kept between runs), so the link is up and a display answers.
#   bash scripts/run.sh --real   starts PoleSet alone in the current directory, against the
#                                port its PoleSet.ini names (see "Pointing it at a real display").
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Only the two programs it starts; the test command builds the rest.
"$root/scripts/setup.sh" default poleset poleset-display

if [ "${1:-}" = "--real" ]; then
    exec "$root/scripts/start-poleset.sh" "$PWD" "$root/build/src/poleset"
fi

# The simulator makes COM1 in the scratch directory; PoleSet started there opens it.
try="$root/build/try"
mkdir -p "$try"
rm -f "$try/start.sh" # left by earlier versions of this script
exec "$root/scripts/start-poleset.sh" "$try" "$root/build/src/poleset" \
    "$root/build/simulator/poleset-display"
