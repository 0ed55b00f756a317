#!/usr/bin/python3
"""From a fresh clone to PoleSet's window through the README's run command, against the same
for the smallest Qt Widgets program (bench/floor.cpp: configure, build, window); called by
bench/first-window.sh, which installs what it needs.

Both windows appear on one private Xvfb; an X client of its own notes the moment each is
mapped (bench/measure.py's). The runs take turns, floor then PoleSet, and the ratio is taken
pair by pair, so that a machine whose speed drifts still gives a fair ratio.
Standard library only.
"""

import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure import FLOOR_TITLE, POLESET_TITLE, XWatch, start_xvfb  # noqa: E402


def now():
    return time.monotonic()


def log(*args):
    print(*args, file=sys.stderr, flush=True)


class Screen:
    def __init__(self):
        self.xvfb, self.display = start_xvfb()
        self.x = XWatch(self.display)

    def stop(self):
        self.xvfb.terminate()
        self.xvfb.wait()


def time_to_window(screen, env, cwd, steps, title, logfile, timeout):
    """Runs the steps (argument lists) one after the other in cwd, the last one left running,
    until a window of that title is mapped: seconds from the first step's start, or None."""
    screen.x.drain()
    t0 = now()
    with open(logfile, "ab") as out:
        for step in steps[:-1]:
            if subprocess.run(step, cwd=cwd, env=env, stdout=out, stderr=out).returncode:
                return None
        proc = subprocess.Popen(steps[-1], cwd=cwd, env=env, stdout=out, stderr=out,
                                stdin=subprocess.DEVNULL, start_new_session=True)
    mapped = screen.x.wait_mapped(title, max(1.0, timeout - (now() - t0)))
    # Ctrl+C, as a user would end it: the run command then ends PoleSet and the simulator.
    proc.send_signal(signal.SIGINT)
    try:
        proc.wait(30)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
    return None if mapped is None else mapped[0] - t0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True, help="the repository to clone")
    parser.add_argument("--runs", type=int, default=1, help="pairs of runs (default 1)")
    parser.add_argument("--timeout", type=float, default=1200.0)
    parser.add_argument("--keep", action="store_true", help="keep the work directory")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="poleset-first-window.")
    env = dict(os.environ)
    # A compiler cache would make the build a copy: everything is compiled.
    for name in list(env):
        if name.startswith("CCACHE_") or name.endswith("_COMPILER_LAUNCHER"):
            del env[name]
    env.pop("WAYLAND_DISPLAY", None)
    env["XDG_RUNTIME_DIR"] = os.path.join(work, "xdg-runtime")
    os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
    head = subprocess.run(["git", "-C", args.source, "log", "-1", "--format=%h %s"],
                          capture_output=True, text=True).stdout.strip()

    screen = Screen()
    env["DISPLAY"] = ":%d" % screen.display
    load = os.getloadavg()
    times = {"floor": [], "poleset": []}
    failed = []
    try:
        for i in range(args.runs):
            clone = os.path.join(work, "poleset-%d" % i)
            subprocess.run(["git", "clone", "--quiet", "--no-hardlinks", args.source, clone],
                           check=True)
            floor = os.path.join(work, "floor-%d" % i)
            os.mkdir(floor)
            for name in ("CMakeLists.txt", "floor.cpp"):
                shutil.copy(os.path.join(clone, "bench", name), floor)
            runs = {
                "floor": (floor, [
                    ["cmake", "-S", ".", "-B", "build", "-G", "Ninja"],
                    ["cmake", "--build", "build", "-j", str(os.cpu_count())],
                    ["build/poleset-floor"]], FLOOR_TITLE),
                "poleset": (clone, [["bash", "scripts/run.sh"]], POLESET_TITLE),
            }
            for which in ("floor", "poleset"):
                cwd, steps, title = runs[which]
                logfile = os.path.join(work, "%s-%d.log" % (which, i))
                t = time_to_window(screen, env, cwd, steps, title, logfile, args.timeout)
                if t is None:
                    failed.append(logfile)
                    log("%s, run %d: no window (see %s)" % (which, i + 1, logfile))
                    args.keep = True
                else:
                    times[which].append(t)
                    log("%s, run %d: %.1f s to the window (load %.2f)" % (
                        which, i + 1, t, os.getloadavg()[0]))
            # The build trees are large; only the figures are kept.
            if not args.keep:
                shutil.rmtree(clone)
                shutil.rmtree(floor)
    finally:
        screen.stop()
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    load_after = os.getloadavg()

    ratios = [p / f for f, p in zip(times["floor"], times["poleset"])]
    print("From a fresh clone to the window, %d cores, no compiler cache, load average %.2f "
          "at the start and %.2f at the end; %s" % (os.cpu_count(), load[0], load_after[0], head))
    for which, what in (("floor", "floor program: configure, build, start"),
                        ("poleset", "PoleSet: bash scripts/run.sh")):
        if times[which]:
            print("  %-42s median %6.1f s  (%s)" % (what, statistics.median(times[which]),
                                                    " ".join("%.1f" % t for t in times[which])))
    if ratios:
        print("  %-42s median %6.2f    (%s)" % ("ratio, pair by pair",
                                                 statistics.median(ratios),
                                                 " ".join("%.2f" % r for r in ratios)))
    if failed:
        print("  no window in: %s" % " ".join(failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
