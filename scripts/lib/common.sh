# Shared by the set-up scripts. Source it; it defines:
#   ensure_packages PKG...   installs the Debian packages that are missing
#   build_project [DIR] ...  configures and builds DIR (default build/)
#   REPO                     the repository's top folder
# shellcheck shell=bash

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Packages that build the program, its tests and its sample lessons (build/ is
# compiled by clang and linked by lld; g++ builds the other folders). FFmpeg's
# libraries and libebur128 are vovozodo-lessons' (M4A and video sound, loudness);
# dpkg-dev gives Debian's compiler flags; libsoundtouch the lesson editor's slower
# listening with the pitch kept; libxcb1-dev lets the windows ask the X server where
# they really stand.
BUILD_PACKAGES=(cmake ninja-build g++ clang lld pkg-config qt6-base-dev qt6-multimedia-dev
    libsndfile1-dev libpulse-dev libbenchmark-dev fonts-wqy-microhei fonts-liberation espeak-ng
    sox libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libebur128-dev dpkg-dev
    libsoundtouch-dev libxcb1-dev)

# The sanitizer build (the asan preset) and the fuzzers it holds: clang's
# runtimes for them.
SANITIZER_PACKAGES=(libclang-rt-14-dev)

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
    # A desktop's package service may hold the package database for a while.
    local wait_for_lock=(-o DPkg::Lock::Timeout=300)
    "${sudo[@]}" apt-get "${wait_for_lock[@]}" update -qq
    "${sudo[@]}" apt-get "${wait_for_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds into $1 (default: build) with the given extra CMake flags.
# build/ is also what scripts/make-package packs, so it is built the way Debian
# builds a package: its flags and hardening, for the prefix /usr. The tests then
# run the very binaries that ship, and the package costs no second build.
# debian_flags NAME: Debian's NAME with all hardening. Run from the top folder,
# since the flags map that folder's path away.
debian_flags() {
    (cd "$REPO" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1")
}

build_project() {
    local dir=${1:-build}
    shift || true
    local package=()
    if [ "$dir" = build ]; then
        # Debian's flags, with line tables only for debug information: the package
        # is stripped, a failing test's backtrace needs no more, and full debug
        # information would double the compile time of the tests. Compiled by
        # clang, which builds it in half the processor time GCC takes: GCC loads
        # each precompiled header whole, clang only what a file uses.
        local cxxflags
        cxxflags="$(debian_flags CPPFLAGS) $(debian_flags CXXFLAGS)"
        package=(-DCMAKE_INSTALL_PREFIX=/usr
            "-DCMAKE_CXX_FLAGS=${cxxflags//-g /-g1 }"
            "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
            "-DCMAKE_EXE_LINKER_FLAGS=$(debian_flags LDFLAGS) -fuse-ld=lld"
            -DCMAKE_CXX_COMPILER=clang++)
    fi
    cmake -S "$REPO" -B "$REPO/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${package[@]}" "$@" \
        >/dev/null
    cmake --build "$REPO/$dir"
}
