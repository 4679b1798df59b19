#!/usr/bin/env bash
# Builds Quorlin's Debian package in build-package/ from a fresh configure (no tests), after
# installing what a Debian machine lacks for it (only when something is missing).
#   scripts/package.sh            -> build-package/quorlin_<version>_<arch>.deb
# Install it with: sudo apt-get install ./build-package/quorlin_*.deb
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=lib/install-missing.sh
source "$here/scripts/lib/install-missing.sh"
build="$here/build-package"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
          qt6-tools-dev qt6-l10n-tools librtmidi-dev scdoc dpkg-dev file)
install_missing "${packages[@]}"

# The package's files are readable by all, whatever the caller's umask.
umask 022
rm -rf "$build"
# Debian's hardening flags, all of them, as a Debian package build would use them.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DQUORLIN_MANUALS=ON "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/quorlin_*.deb
