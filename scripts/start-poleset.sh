#!/usr/bin/env bash
# Starts PoleSet in DIR, with its display simulator when one is given, and ends everything in
# order: PoleSet as by its close button, then the simulator (which removes its link), then the
# virtual screen. Run by scripts/run.sh; the tests run it with stand-ins.
#   start-poleset.sh DIR POLESET [SIMULATOR]
# PoleSet starts only once the simulator has made DIR/COM1 point at its own pseudo-terminal: if the
# simulator ends or refuses, nothing else is started and the status is not 0. Without DISPLAY or
# WAYLAND_DISPLAY everything runs on a private virtual screen (Xvfb) until Ctrl+C.
# The programs run in sessions of their own, so Ctrl+C reaches this script alone, which ends them
# in that order; with the terminal's signal they would all end at once, the screen first.
set -uo pipefail
dir=$1 poleset=$2 simulator=${3:-}
link="$dir/COM1"
# "PID TARGET": the simulator this script started last there and the link it made.
marker="$dir/COM1.run"

say() { echo "run.sh: $*" >&2; }

app='' sim='' screen='' out='' err=''
finish() {
    local pid
    # A program started just before the signal came, its number not yet noted, is the last
    # started, so it ends first.
    for pid in $(jobs -p); do
        case " $app $sim $screen " in *" $pid "*) ;; *)
            kill -TERM "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null ;;
        esac
    done
    for pid in "$app" "$sim" "$screen"; do
        [ -n "$pid" ] || continue
        kill -TERM "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    app='' sim='' screen=''
    # The output files of a simulator that never made its link.
    [ -z "$out" ] || rm -f "$out" "$err"
    # The simulator removed its link; a link it could not remove is cleared by the next run.
    [ -L "$link" ] || rm -f "$marker"
}
trap 'finish; exit 130' INT TERM HUP

cd "$dir" || exit 1

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    what=PoleSet
    [ -z "$simulator" ] || what="PoleSet with its display simulator"
    say "no display (DISPLAY and WAYLAND_DISPLAY are unset), so $what runs on a virtual" \
        "screen and nothing is visible; press Ctrl+C to stop."
    log=$(mktemp -d)
    setsid Xvfb -screen 0 1280x800x24 -nolisten tcp -displayfd 3 3>"$log/number" \
        </dev/null >"$log/log" 2>&1 &
    screen=$!
    for _ in $(seq 100); do
        [ -s "$log/number" ] && break
        kill -0 "$screen" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -s "$log/number" ]; then
        say "the virtual screen (Xvfb) did not start:"
        sed 's/^/  /' "$log/log" >&2
        finish
        exit 1
    fi
    export DISPLAY=":$(cat "$log/number")"
    rm -rf "$log"
fi

if [ -n "$simulator" ]; then
    # A link left by an earlier run whose simulator is gone (killed, or the machine stopped): the
    # pseudo-terminal it names may belong to another program by now, so it goes. Any other COM1
    # is for the simulator to judge.
    if [ -L "$link" ] && [ -f "$marker" ]; then
        read -r old_pid old_target <"$marker" || true
        if [ "$(readlink "$link")" = "${old_target:-}" ] &&
            ! tr '\0' ' ' 2>/dev/null <"/proc/${old_pid:-0}/cmdline" |
            grep -qF -- "$(basename "$simulator")"; then
            rm -f "$link" "$marker"
        fi
    fi

    # Its output goes to files of this run until it has made its link, so that a run refused
    # because another simulator is running there leaves that one's display.out and .err alone.
    out="$dir/.display.out.$$" err="$dir/.display.err.$$"
    setsid "$simulator" --dir "$dir" </dev/null >"$out" 2>"$err" &
    sim=$!
    target=''
    for _ in $(seq 100); do
        target=$(sed -n 's/^COM1 -> //p' "$out" | head -n 1)
        [ -n "$target" ] && break
        kill -0 "$sim" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$target" ] || [ "$(readlink "$link")" != "$target" ]; then
        if kill -0 "$sim" 2>/dev/null; then
            why="it did not make $link within 10 seconds"
        else
            wait "$sim"
            why="it ended with status $?"
            sim=''
        fi
        say "the display simulator did not start, $why:"
        { grep '^poleset-display:' "$err" || cat "$err"; } | sed 's/^/  /' >&2
        say "PoleSet was not started, so that it opens no port but the simulator's. If $link" \
            "is not in use (no other simulator runs there), remove it with: rm '$link'" \
            "and run again."
        finish
        exit 1
    fi
    echo "$sim $target" >"$marker"
    # The simulator keeps writing to them under their usual names.
    mv -f "$out" "$dir/display.out"
    mv -f "$err" "$dir/display.err"
    out='' err=''
fi

setsid "$poleset" </dev/null &
app=$!
wait "$app"
status=$?
app=''
finish
exit "$status"
