# Shared set-up of the project's scripts: install what is missing, configure, build.
# shellcheck shell=bash

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Debian packages the build and the tests need.
REQUIRED_PACKAGES=(cmake ninja-build g++ make pkg-config qtbase5-dev libqt5svg5-dev qttools5-dev-tools qttools5-dev poppler-utils)

ensure_packages() {
    local missing=()
    local package
    for package in "${REQUIRED_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "need root or sudo to install: ${missing[*]}" >&2; return 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
    local build_dir=$1
    shift
    cmake -S "$REPO_ROOT" -B "$build_dir" -G Ninja "$@"
    cmake --build "$build_dir" -j "$(nproc)"
}
