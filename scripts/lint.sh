#!/usr/bin/env bash
# Runs clazy (checks level0 and level1) and clang-tidy (the checks in .clang-tidy) over the code in
# src/ and simulator/, with the ci build's compile database, and fails on any warning there.
# Qt's headers and the build tree's generated files (moc, version) are not reported.
# usage: scripts/lint.sh [FILE.cpp...]   (paths from the project's root; default: every .cpp
# under src/ and simulator/)
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/packages.sh
ensure_packages "${lint_packages[@]}"
build=build-ci
[ -f "$build/compile_commands.json" ] || scripts/setup.sh ci

files=("$@")
((${#files[@]})) || mapfile -t files < <(git ls-files 'src/*.cpp' 'simulator/*.cpp')

# Diagnostics count only in the project's own files: the build tree lies outside this pattern.
own="^$(printf '%s' "$PWD" | sed 's/[][\.*^$+?(){}|]/\\&/g')/(src|simulator)/"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

lint_one() {
    local file=$1 log
    log="$out/$(printf '%s' "$file" | tr / _).log"
    # Warnings as errors belong to the compiler run; here a compiler warning is only reported.
    clazy-standalone -p "$build" --checks=level0,level1 --header-filter="$own" \
        --extra-arg=-Wno-error --extra-arg=-Wno-unknown-warning-option "$file" >"$log" 2>&1 ||
        echo "$PWD/$file:1:1: error: clazy-standalone could not check this file" >>"$log"
    clang-tidy -p "$build" --quiet --header-filter="$own" \
        --extra-arg=-Wno-error --extra-arg=-Wno-unknown-warning-option "$file" >>"$log" 2>&1 ||
        echo "$PWD/$file:1:1: error: clang-tidy could not check this file" >>"$log"
}
export -f lint_one
export build own out

start=$SECONDS
printf '%s\0' "${files[@]}" | xargs -0 -r -n 1 -P "$(nproc)" bash -c 'lint_one "$1"' _
# A finding counts where it is located: the analyzer also ends paths in Qt's headers (its leak
# reports on Qt's slot objects, which Qt owns), and those are not ours to fix.
finding="$own[^:]*:[0-9]+:[0-9]+: (warning|error): "
count=$(cat "$out"/*.log | grep -E "$finding" | sort -u | grep -c . || true)
if ((count)); then
    for log in $(grep -lE "$finding" "$out"/*.log); do
        # The finding with its notes (the analyzer's path), without the quoted source.
        grep -E "$own[^:]*:[0-9]+:[0-9]+: (warning|error|note): " "$log"
    done
    echo "lint: $count finding(s) in ${#files[@]} files ($((SECONDS - start)) s)" >&2
    exit 1
fi
echo "lint: clazy and clang-tidy clean over ${#files[@]} files ($((SECONDS - start)) s)"
