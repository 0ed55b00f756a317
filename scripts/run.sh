#!/usr/bin/env bash
# Sets up and builds PoleSet, then starts it together with the display simulator in a scratch
# directory (build/try, kept between runs), so the link is up and a display answers.
#   bash scripts/run.sh --real   starts PoleSet alone in the current directory, against the
#                                port its PoleSet.ini names (see "Pointing it at a real display").
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Only the two programs it starts; the test command builds the rest.
"$root/scripts/setup.sh" default poleset poleset-display

# run WHAT COMMAND...: without a display, on a virtual screen, and says so.
run() {
    local what=$1
    shift
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset), so $what runs on a" \
            "virtual screen and nothing is visible; press Ctrl+C to stop." >&2
        xvfb-run -a -s "-screen 0 1280x800x24" "$@"
    else
        "$@"
    fi
}

if [ "${1:-}" = "--real" ]; then
    run "PoleSet" "$root/build/src/poleset"
    exit
fi

try="$root/build/try"
mkdir -p "$try"
cat >"$try/start.sh" <<SCRIPT
#!/usr/bin/env bash
# The simulator makes COM1 in this directory; PoleSet started here opens it.
cd "$try"
"$root/build/simulator/poleset-display" --dir "$try" >"$try/display.out" &
display=\$!
for _ in \$(seq 100); do grep -q "COM1 ->" "$try/display.out" 2>/dev/null && break; sleep 0.1; done
"$root/build/src/poleset"
status=\$?
kill -TERM "\$display" 2>/dev/null
wait "\$display" 2>/dev/null
exit \$status
SCRIPT
chmod +x "$try/start.sh"
run "PoleSet with its display simulator" "$try/start.sh"
