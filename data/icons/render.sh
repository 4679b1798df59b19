#!/usr/bin/env bash
# Renders the icon's PNG sizes for the hicolor theme from org.quorlin.Quorlin.svg (needs
# rsvg-convert, Debian package librsvg2-bin). Run it after changing the SVG and commit the PNGs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" org.quorlin.Quorlin.svg \
        -o "hicolor/${size}x${size}/apps/org.quorlin.Quorlin.png"
done
