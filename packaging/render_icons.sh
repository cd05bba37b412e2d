#!/usr/bin/env bash
# Renders the committed PNG icons from discpress.svg (needs rsvg-convert from
# librsvg2-bin). Run it after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" discpress.svg -o "icons/discpress-$size.png"
done
