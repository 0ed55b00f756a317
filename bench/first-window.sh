#!/usr/bin/env bash
# Times a fresh clone (of this checkout's last commit) to PoleSet's window through the README's
# run command, against the same for the smallest Qt Widgets program (bench/floor.cpp: configure,
# build, window), both on one private Xvfb, with no compiler cache, and prints the ratio.
#   bash bench/first-window.sh [--runs N]   N pairs of runs, taken in turn (default 1)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

. "$root/scripts/packages.sh"
ensure_packages "${run_packages[@]}" git python3

exec /usr/bin/python3 "$root/bench/first_window.py" --source "$root" "$@"
