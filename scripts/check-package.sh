#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it as a user's machine meets it: the
# desktop entry and the AppStream metadata validate, lintian finds no error, and once installed
# with apt-get the programs run from /usr/bin without a display and `man` finds their pages.
# The package is removed again at the end. Installs the checking tools when missing; needs root
# or sudo (it installs the package).
#   scripts/check-package.sh [extra cmake arguments for the package build...]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
# shellcheck source=lib/install-missing.sh
source scripts/lib/install-missing.sh
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"

tools=(desktop-file-utils appstream lintian man-db)
install_missing "${tools[@]}"

scripts/package.sh "$@" >/dev/null
deb="$(ls build-package/quorlin_*.deb)"
echo "== $deb"
dpkg-deb --info "$deb" | sed -n '/Depends:/p'

tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/org.quorlin.Quorlin.desktop"
appstreamcli validate --no-net "$tree/usr/share/metainfo/org.quorlin.Quorlin.metainfo.xml"
# Errors fail the check; warnings are shown.
lintian --fail-on error "$deb"

# Container images of Debian often keep /usr/share/man out of every package they install
# (path-exclude in /etc/dpkg/dpkg.cfg.d/); let Quorlin's pages in for this installation.
trap 'rm -rf "$tree"; $sudo_cmd apt-get remove -y -qq quorlin >/dev/null 2>&1 || true' EXIT
install_deb() {
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
        -o 'DPkg::Options::=--path-include=/usr/share/man/man1/quorlin*' "./$deb" >/dev/null
}
if ! install_deb; then
    # The package lists may be too old for a dependency: fetch them once and try again.
    $sudo_cmd apt-get update -qq
    install_deb
fi
without_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
"${without_display[@]}" /usr/bin/quorlin-cli --demo banks >/dev/null
"${without_display[@]}" /usr/bin/quorlin --version
man -w quorlin-cli
$sudo_cmd apt-get remove -y -qq quorlin >/dev/null
trap 'rm -rf "$tree"' EXIT
echo "== the package installs, runs and is removed cleanly"
