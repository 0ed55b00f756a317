#!/usr/bin/env bash
# Installs what building and running PoleSet needs from Debian 12's packages (only what is
# missing; the test command installs the rest first), then configures and builds the given CMake preset (default: "default"): everything, or only the
# targets named after it.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/packages.sh
ensure_packages "${run_packages[@]}"

preset="${1:-default}"
shift || true
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" "${targets[@]}"
