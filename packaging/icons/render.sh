#!/usr/bin/env bash
# Renders the PNG sizes of the icon from zenta.svg (needs rsvg-convert from librsvg2-bin).
# The PNGs are committed, so building and packaging do not need this.
set -euo pipefail
cd "$(dirname "$0")"
for s in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$s" -h "$s" zenta.svg -o "zenta-$s.png"
done
