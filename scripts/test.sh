#!/usr/bin/env bash
# Installs what is missing, builds Quorlin with its tests (warnings as errors) and runs every test:
# the Linux tests, then the Windows build's tests under Wine (scripts/test-windows.sh; leave them
# out with QUORLIN_WINDOWS_TESTS=0).
#   scripts/test.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
"$here/scripts/setup.sh" "$build" -DQUORLIN_WERROR=ON
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 600
if [ "${QUORLIN_WINDOWS_TESTS:-1}" != 0 ]; then
    LINUX_BUILD="$build" "$here/scripts/test-windows.sh"
fi
