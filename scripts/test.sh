#!/usr/bin/env bash
# Sets up, builds with warnings as errors, runs the whole test suite and the static checks
# (clazy, clang-tidy), then builds and runs the suite once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, then builds and checks the Debian package and runs the fuzzers for a
# minute each.
set -euo pipefail
cd "$(dirname "$0")/.."

# Every package of every step first, so that nothing stops half-way for one; the kernel
# package's own initramfs is of no use here (see uart-check.sh).
. scripts/packages.sh
INITRD=No ensure_packages "${run_packages[@]}" "${test_packages[@]}"
scripts/setup.sh ci
ctest --preset ci -j "$(nproc)"

# The run command's build, whose sources compile in unity batches: names that clash within a
# batch fail here.
scripts/setup.sh default poleset poleset-display

# clazy and clang-tidy find nothing in src/ and simulator/ (over the ci build's compile database).
scripts/lint.sh

# The window and --apply over a real serial driver and a USB adapter pulled and plugged back,
# in a virtual PC (about 3 minutes).
scripts/uart-check.sh

scripts/setup.sh sanitize
ctest --preset sanitize -j "$(nproc)"

# The Debian package builds, and its desktop entry, metainfo and man pages validate.
scripts/package.sh

# The settings-file reader and the display decoder take any bytes without a fault.
scripts/fuzz.sh 60

# The tree stays formatted with the project's .clang-format.
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
