# Shared by the set-up scripts. Source it; it defines:
#   ensure_packages PKG...   installs the Debian packages that are missing
#   REPO                     the repository's top folder
# shellcheck shell=bash

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Packages that build the program, its tests and its sample lessons. FFmpeg's
# libraries and libebur128 are vovozodo-lessons' (M4A and video sound, loudness).
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-multimedia-dev libsndfile1-dev
    libpulse-dev libbenchmark-dev fonts-wqy-microhei fonts-liberation espeak-ng sox
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libebur128-dev)

ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds into $1 (default: build) with the given extra CMake flags.
build_project() {
    local dir=${1:-build}
    shift || true
    cmake -S "$REPO" -B "$REPO/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$REPO/$dir"
}
