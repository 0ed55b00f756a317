#!/usr/bin/env bash
# Builds Release PoleSet, the display simulator and the floor program in build-bench/, then
# measures start-up, memory, CPU, timing precision and shut-down under a private Xvfb and
# prints one table (bench/measure.py does the measuring). About 5 minutes after the build.
#   bash bench/run.sh [--runs N]   N starts of each kind (default 5)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"

# Debian 12 packages: the build's own, the X server and tools, and Debian's python3 (the
# measuring script uses its standard library only).
. "$root/scripts/packages.sh"
ensure_packages cmake ninja-build g++ qt6-base-dev qt6-serialport-dev libgl-dev fonts-urw-base35 \
    xvfb xdotool python3

jobs=$(($(nproc) < 2 ? $(nproc) : 2))
mkdir -p "$build"
log="$build/bench-build.log"
echo "building Release PoleSet, poleset-display and the floor program in $build ..." >&2
if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
       cmake --build "$build" --target poleset poleset-display -j "$jobs" &&
       cmake -S "$root/bench" -B "$build/floor" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$build/floor" -j "$jobs"; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "the build failed; the whole output is in $log" >&2
    exit 1
fi

# Cold starts drop the page cache: as root, or through sudo where it asks no password.
exec /usr/bin/python3 "$root/bench/measure.py" \
    --poleset "$build/src/poleset" --floor "$build/floor/poleset-floor" \
    --source "$root" --work "$build/bench-work" "$@"
