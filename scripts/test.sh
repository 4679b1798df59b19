#!/usr/bin/env bash
# Installs what is missing, builds Quorlin with its tests (warnings as errors) and runs every test.
#   scripts/test.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
"$here/scripts/setup.sh" "$build" -DQUORLIN_WERROR=ON
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 600
