#!/bin/bash
# The events picture of the bundled examples: well-formed XML naming every species, and drawn
# by a real SVG renderer (rsvg-convert) into a picture that is not blank. Without the renderer
# or python3 the check is skipped (status 77), except in CI, where it fails.
set -u
program=$1 examples=$2 scratch=$3
missing=""
command -v rsvg-convert >/dev/null || missing+=" rsvg-convert (librsvg2-bin)"
command -v python3 >/dev/null || missing+=" python3"
if [ -n "$missing" ]; then
  echo "missing:$missing"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch" || exit 1
"$program" -S "$examples/species.txt" -G "$examples/genes.txt" --events ex || exit 1
rsvg-convert -o ex.png ex.events.svg || exit 1
python3 - "$examples/species.txt" <<'PY'
import re, struct, sys, zlib
import xml.etree.ElementTree as ET

svg = ET.parse("ex.events.svg").getroot()
texts = {t.text for t in svg.iter("{http://www.w3.org/2000/svg}text")}
species = set(re.findall(r"[A-Za-z0-9_.-]+", open(sys.argv[1]).read()))
missing = species - texts
if missing:
    sys.exit("leaves not named in the picture: %s" % sorted(missing))

data = open("ex.png", "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
pos, idat = 8, b""
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b"IHDR":
        width, height, depth, colour = struct.unpack(">IIBB", body[:10])
    elif kind == b"IDAT":
        idat += body
    pos += 12 + length
assert depth == 8 and colour in (2, 6), "unexpected PNG layout"
bpp = 3 if colour == 2 else 4
raw, stride = zlib.decompress(idat), width * bpp
prev, ink = bytearray(stride), 0
for y in range(height):
    kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = row[i - bpp] if i >= bpp else 0
        b, c = prev[i], prev[i - bpp] if i >= bpp else 0
        if kind == 1: row[i] = (row[i] + a) & 255
        elif kind == 2: row[i] = (row[i] + b) & 255
        elif kind == 3: row[i] = (row[i] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    for x in range(0, stride, bpp):
        opaque = bpp == 3 or row[x + 3] > 128
        if opaque and min(row[x:x + 3]) < 160:
            ink += 1
    prev = row
# Branches, labels and names cover a few percent of the picture; a blank one has none.
if ink < width * height // 100:
    sys.exit("the picture is nearly blank: %d dark pixels of %d" % (ink, width * height))
print("%dx%d picture, %d dark pixels" % (width, height, ink))
PY
