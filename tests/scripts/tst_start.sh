#!/usr/bin/env bash
# The run command's start logic (scripts/start-poleset.sh) with stand-ins for the simulator and
# PoleSet: PoleSet starts only on the link the simulator made, a stale link of an earlier run is
# cleared, a second run there leaves the first alone, and Ctrl+C ends PoleSet, then the
# simulator, which removes its link. The stand-ins set their handlers before they say they are
# ready, as the real programs do.
set -uo pipefail
start=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export DISPLAY=:stand-in # no virtual screen
failures=0
check() { # WHAT CONDITION...
    local what=$1
    shift
    if "$@"; then echo "PASS: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# The simulator's rule for COM1, then its link to a stand-in pseudo-terminal until SIGTERM.
cat >"$work/poleset-display" <<'SIM'
#!/usr/bin/env bash
[ "$1 $2" = "--dir $PWD" ] || exit 2
if [ -e COM1 ] || [ -L COM1 ]; then
    echo "poleset-display: $PWD/COM1 already points to $(readlink COM1); it is left alone" >&2
    exit 2
fi
trap 'echo display >>ended; rm -f COM1; kill $! 2>/dev/null; exit 0' TERM
ln -s /dev/zero COM1
echo "COM1 -> /dev/zero"
sleep infinity &
wait
SIM
# PoleSet notes where COM1 leads; told to, it stays until SIGTERM.
cat >"$work/poleset" <<'APP'
#!/usr/bin/env bash
trap 'echo poleset >>ended; kill $! 2>/dev/null; exit 0' TERM
readlink COM1 >opened
[ -f stay ] || exit 0
sleep infinity &
wait
APP
chmod +x "$work/poleset-display" "$work/poleset"

# A COM1 that is not this command's: the simulator refuses, PoleSet is not started.
mkdir "$work/foreign"
ln -s /dev/null "$work/foreign/COM1"
"$start" "$work/foreign" "$work/poleset" "$work/poleset-display" 2>"$work/err"
status=$?
check "refused: status not 0" [ "$status" -ne 0 ]
check "refused: PoleSet not started" [ ! -e "$work/foreign/opened" ]
check "refused: the simulator's reason" grep -q "already points to /dev/null" "$work/err"
check "refused: what to do" grep -qF "rm '$work/foreign/COM1'" "$work/err"
check "refused: COM1 left alone" [ "$(readlink "$work/foreign/COM1")" = /dev/null ]

# A link left by an earlier run whose simulator has gone: cleared, and the run goes on.
mkdir "$work/stale"
ln -s /dev/null "$work/stale/COM1"
true &
echo "$! /dev/null" >"$work/stale/COM1.run"
wait
"$start" "$work/stale" "$work/poleset" "$work/poleset-display" 2>"$work/err"
status=$?
check "stale link: status 0" [ "$status" -eq 0 ]
check "stale link: PoleSet on the simulator's link" [ "$(cat "$work/stale/opened")" = /dev/zero ]
check "stale link: removed at the end" [ ! -L "$work/stale/COM1" ] && [ ! -e "$work/stale/COM1.run" ]

# Ctrl+C: PoleSet ends first, then the simulator, which removes its link.
mkdir "$work/interrupt"
touch "$work/interrupt/stay"
# As from a terminal: a command started in the background here would ignore SIGINT.
python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.execv(sys.argv[1], sys.argv[1:])' \
    "$start" "$work/interrupt" "$work/poleset" "$work/poleset-display" 2>"$work/err" &
run=$!
for _ in $(seq 100); do [ -e "$work/interrupt/opened" ] && break; sleep 0.1; done
# A second run there meanwhile is refused and leaves the first one's output alone.
"$start" "$work/interrupt" "$work/poleset" "$work/poleset-display" 2>/dev/null
check "second run: refused" [ $? -ne 0 ]
check "second run: the first one's output kept" grep -qx "COM1 -> /dev/zero" "$work/interrupt/display.out"
kill -INT "$run"
wait "$run"
status=$?
check "Ctrl+C: status 130" [ "$status" -eq 130 ]
check "Ctrl+C: PoleSet, then the simulator" [ "$(cat "$work/interrupt/ended")" = $'poleset\ndisplay' ]
check "Ctrl+C: link removed" [ ! -L "$work/interrupt/COM1" ]

[ "$failures" -eq 0 ]
