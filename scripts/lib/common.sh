# Shared by scripts/test and scripts/demo: packages, configure and build.
# shellcheck shell=bash

PROJECT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# What the build, the tests and the demo need from Debian.
UC_PACKAGES=(
    build-essential cmake ninja-build python3
    qt6-base-dev qt6-base-dev-tools libgl-dev
    firebird-dev libfbclient2 firebird3.0-server firebird3.0-utils
    clang libclang-rt-14-dev
    xvfb xauth x11-utils imagemagick fonts-dejavu-core
    # The window's faces: Liberation Sans has the widths of "MS Sans Serif", DejaVu Sans Condensed
    # Bold those of Tahoma Bold.
    fonts-liberation2 fonts-dejavu-extra
)

ensure_packages() {
    local missing=()
    for p in "${UC_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    # Another install may hold the package database for a while: wait for it rather than fail.
    local wait=(-o DPkg::Lock::Timeout=900)
    $sudo apt-get "${wait[@]}" update -qq
    # The server package only lends its files to our private server: keep the system service stopped
    # during the install and never depend on it.
    DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_build DIR [cmake args...]
configure_build() {
    local dir=$1
    shift
    cmake -S "$PROJECT_DIR" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > /dev/null
    cmake --build "$dir" -j "$(nproc)"
}
