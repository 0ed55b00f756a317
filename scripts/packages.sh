# Sourced by the scripts. The Debian 12 packages, each named once:
#   run_packages   build and run the two programs: all that the run command installs
#   test_packages  everything else the test command needs (it installs both sets); the groups
#                  it is made of are for the scripts that run one of its steps alone
run_packages=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev libgl-dev fonts-urw-base35
              fonts-ipaexfont-gothic xvfb)
lint_packages=(clang-format clang-tidy clazy)
# The virtual PC with its real serial driver, and the harness that reads its trace (also the
# script tests' interpreter).
uart_packages=(qemu-system-x86 linux-image-amd64 busybox-static cpio kmod python3)
# cpack's dependency scan needs dpkg-dev and file; the package checks need the rest.
package_packages=(dpkg-dev file desktop-file-utils appstream groff-base lintian)
fuzz_packages=(clang libclang-rt-14-dev)
# What a screen reader gets, read over a real accessibility bus under Xvfb.
a11y_packages=(python3-pyatspi at-spi2-core dbus-x11)
test_packages=("${lint_packages[@]}" "${uart_packages[@]}" "${package_packages[@]}"
               "${fuzz_packages[@]}" "${a11y_packages[@]}")

# ensure_packages NAME... installs the packages that are missing, through sudo when not root,
# and does nothing when all are there.
ensure_packages() {
    local missing=() p
    # One query for all: the run command asks this on every start.
    local installed
    installed=$(dpkg-query -W -f='${Package} ${Status}\n' "$@" 2>/dev/null | awk '$4 == "installed" {print $1}')
    for p in "$@"; do
        grep -qxF "${p%%:*}" <<<"$installed" || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
