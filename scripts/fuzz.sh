#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 60) on a copy of its seed corpus. Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

. scripts/packages.sh
ensure_packages "${run_packages[@]}" "${fuzz_packages[@]}"

build=build-fuzz
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "$(nproc)"

for target in settings decoder; do
    work="$build/corpus-$target"
    mkdir -p "$work"
    cp -n fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
    echo "fuzz_$target: ${seconds}s"
    ASAN_OPTIONS=detect_leaks=1 "$build/fuzz_$target" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=1024 -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="$build/crash-$target-" "$work" 2>&1 | grep -E "^(stat::|#[0-9]+ *DONE|==|SUMMARY|ERROR)" || true
    if ls "$build"/crash-"$target"-* >/dev/null 2>&1; then
        echo "fuzz_$target found a failure: $(ls "$build"/crash-"$target"-*)" >&2
        exit 1
    fi
done
