#!/usr/bin/env bash
# Renders the application icon data/icons/quadrix.svg as the committed PNGs,
# one per size folder under data/icons/ (48x48, 128x128, 256x256). Run it
# after editing the SVG; needs rsvg-convert (package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"

sizes=(48 128 256)
for size in "${sizes[@]}"; do
    mkdir -p "${size}x${size}"
    rsvg-convert --width "$size" --height "$size" quadrix.svg --output "${size}x${size}/quadrix.png"
    echo "data/icons/${size}x${size}/quadrix.png"
done
