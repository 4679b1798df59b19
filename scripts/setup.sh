#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks (only when something is missing, so a second run
# is quick), then configures and builds Quorlin into the given build folder.
#   scripts/setup.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=lib/install-missing.sh
source "$here/scripts/lib/install-missing.sh"
build="${1:-$here/build}"
shift || true

# qt6-tools-dev and qt6-l10n-tools: lupdate and lrelease with their CMake functions, for the
# translations; qt6-translations-l10n: Qt's own texts in other languages (the tests read German).
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
          qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
          librtmidi-dev libgtest-dev libgmock-dev jackd2 xvfb xauth imagemagick
          fonts-dejavu-core clang libclang-rt-14-dev libxcb1-dev xdotool openbox libsqlite3-dev)
install_missing "${packages[@]}"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
# BUILD_TARGETS narrows the build to some targets (CI's fuzzing build needs one).
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
