#!/bin/sh
# Renders the program's icon (tarvex.svg) as the PNG sizes the desktop's icon
# theme (hicolor) looks for. The PNGs are committed; run this only after
# changing the drawing. Needs rsvg-convert (Debian: librsvg2-bin).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" -o "$here/tarvex-$size.png" "$here/tarvex.svg"
    echo "wrote tarvex-$size.png"
done
