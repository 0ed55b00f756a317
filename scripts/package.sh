#!/usr/bin/env bash
# Builds the Debian package build-package/poleset_<version>_<arch>.deb (Release) and checks
# what it installs: the file list, the computed dependencies, the desktop entry, the AppStream
# metainfo and the man pages, and runs lintian on it. Installs what it needs from Debian 12's
# packages when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
    echo "package.sh: $*" >&2
    exit 1
}

. scripts/packages.sh
ensure_packages "${package_packages[@]}"

build="build-package"
configure() {
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
}
# The build's own packages come from setup.sh. It also builds its preset, so it runs only where
# the configure step fails (a fresh machine); a half-configured build directory goes with it.
if ! command -v cmake >/dev/null || ! configure 2>/dev/null; then
    scripts/setup.sh default
    rm -rf "$build"
    configure
fi
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/poleset_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$build" >/dev/null

debs=("$build"/poleset_*.deb)
if ((${#debs[@]} != 1)) || [ ! -f "${debs[0]}" ]; then
    fail "cpack made no single poleset_*.deb"
fi
deb=${debs[0]}

# Look at the files where the package puts them.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$deb" "$stage"
usr=$stage/usr

desktops=("$usr"/share/applications/*.desktop)
if ((${#desktops[@]} != 1)) || [ ! -f "${desktops[0]}" ]; then
    fail "expected one desktop entry"
fi
id=$(basename "${desktops[0]}" .desktop)
expected=(bin/poleset bin/poleset-display
          "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
          share/man/man1/poleset.1.gz share/man/man1/poleset-display.1.gz
          share/doc/poleset/copyright share/doc/poleset/changelog.gz)
for size in 16 32 48 128; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for f in "${expected[@]}"; do
    [ -f "$usr/$f" ] || fail "the package lacks /usr/$f"
done
grep -qx "Icon=$id" "$usr/share/applications/$id.desktop" || fail "the desktop entry's icon is not $id"

version=$(dpkg-deb -f "$deb" Version)
grep -q "<release version=\"$version\"" "$usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo has no release $version"
zcat "$usr/share/doc/poleset/changelog.gz" >"$stage/changelog"
[ "$(dpkg-parsechangelog -l "$stage/changelog" -S Version)" = "$version" ] ||
    fail "the changelog's latest entry is not version $version"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no Qt libraries in Depends"
dpkg-deb -f "$deb" Recommends | grep -q fonts-urw-base35 || fail "fonts-urw-base35 not recommended"

# The validators: hints and warnings count as failures too.
if ! out=$(desktop-file-validate "$usr/share/applications/$id.desktop" 2>&1) || [ -n "$out" ]; then
    fail "desktop-file-validate: $out"
fi
# validate-tree checks the metainfo and that its desktop entry is there.
appstreamcli validate-tree --no-net --pedantic "$stage" || fail "appstreamcli validate-tree failed"
for page in "$usr"/share/man/man1/*.1.gz; do
    if ! out=$(zcat "$page" | LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 2>&1) || [ -n "$out" ]; then
        fail "$(basename "$page"): $out"
    fi
done

# Debian's own checker: its warnings fail the build as its errors do. --allow-root only
# silences its note when the script runs as root.
lintian --allow-root --fail-on error,warning "$deb" || fail "lintian found errors or warnings in $deb"

echo "package.sh: $deb is built and checked"
