#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks (only when something is missing, so a second run
# is quick), then configures and builds Quorlin into the given build folder.
#   scripts/setup.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
shift || true

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
          librtmidi-dev libgtest-dev libgmock-dev jackd2 xvfb xauth imagemagick
          fonts-dejavu-core clang libclang-rt-14-dev libxcb1-dev xdotool libsqlite3-dev)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
# BUILD_TARGETS narrows the build to some targets (CI's fuzzing build needs one).
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
