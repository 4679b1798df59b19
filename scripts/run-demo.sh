#!/usr/bin/env bash
# Installs what is missing, builds Quorlin and starts it against its built-in demo unit.
#   scripts/run-demo.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
"$here/scripts/setup.sh" "$build"
exec "$build/ui/quorlin" --demo
