#!/usr/bin/env bash
# Installs what PoleSet needs from Debian 12's packages (only what is missing), then
# configures and builds the given CMake preset (default: "default"): everything, or only the
# targets named after it.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/packages.sh
ensure_packages cmake ninja-build g++ qt6-base-dev qt6-serialport-dev libgl-dev \
    fonts-urw-base35 xvfb xauth clang-format clang-tidy clazy \
    python3-pyatspi at-spi2-core dbus-x11

preset="${1:-default}"
shift || true
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" "${targets[@]}"
