#!/usr/bin/env bash
# Renders the PNG sizes of the program's icon from its SVG into
# packaging/icons/<size>x<size>/ferrovan-batch.png. Run it after changing
# the SVG and commit the PNGs (the build only copies them). Needs
# rsvg-convert (librsvg2-bin).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
svg="$root/packaging/icons/ferrovan-batch.svg"
if ! command -v rsvg-convert >/dev/null; then
    echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2
    exit 1
fi
for size in 16 32 48 64 128 256; do
    out="$root/packaging/icons/${size}x${size}/ferrovan-batch.png"
    mkdir -p "$(dirname "$out")"
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$svg" --output "$out"
    echo "$out"
done
