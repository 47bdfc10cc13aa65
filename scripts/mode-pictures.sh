#!/usr/bin/env bash
# The pictures of docs/modes.md: one mesh with thin parts and overlapping
# shells, voxelized at N = 64 by each rule, shown as two cross-sections of
# the volume, four pixels a voxel: across z through the wire, the cavity and
# the overlap (left), across y through the wing and the overlap (right).
# Needs a built kubelmar-cli and python3.
#   scripts/mode-pictures.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
cli="${1:-build}/cli/kubelmar-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# box NAME X0 Y0 Z0 X1 Y1 Z1 FIRST [inward]: a box's 8 corners and 6 sides,
# wound outward (or inward: a cavity's wall), vertices FIRST .. FIRST + 7.
box() {
    local x0=$2 y0=$3 z0=$4 x1=$5 y1=$6 z1=$7 f=$(($8 - 1)) inward=${9:-}
    echo "# $1"
    for i in 0 1 2 3 4 5 6 7; do
        echo "v $( ((i & 1)) && echo "$x1" || echo "$x0") $( ((i & 2)) && echo "$y1" || echo "$y0") $( ((i & 4)) && echo "$z1" || echo "$z0")"
    done
    for q in "1 3 4 2" "5 6 8 7" "1 2 6 5" "3 7 8 4" "1 5 7 3" "2 4 8 6"; do
        set -- $q
        if [ -n "$inward" ]; then set -- "$4" "$3" "$2" "$1"; fi
        echo "f $(($1 + f)) $(($2 + f)) $(($3 + f)) $(($4 + f))"
    done
}

# The voxel is 1.8 / 64 = 0.028 units: the wing is a thousandth of a voxel
# thick, the wire a tenth.
{
    box body 0 0 0 1 0.6 0.5 1
    box "limb, crossing the body" 0.7 0.15 0.1 1.4 0.45 0.4 9
    box "cavity, wound inward" 0.15 0.08 0.08 0.45 0.24 0.3 17 inward
    box wing 0.15 0.31 0.3 0.55 0.310028 1.0 25
    box wire -0.4 0.1 0.2 0.05 0.1028 0.2028 33
} > "$work/thin_and_overlapping.obj"

run() {
    local name=$1
    shift
    "$cli" --quiet --size 64 "$@" "$work/thin_and_overlapping.obj" "$work/$name"
    python3 - "$work/$name" "docs/modes-$name.png" <<'PY'
import struct, sys, zlib

def read_png(path):
    """An RGBA8, non-interlaced PNG as rows of bytes (top row first)."""
    data = open(path, "rb").read()
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour == 6, path
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, rows, stride, prev = zlib.decompress(idat), [], width * 4, bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if kind == 1: line[i] = (line[i] + a) & 255
            elif kind == 2: line[i] = (line[i] + b) & 255
            elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return rows

def write_png(path, pixels):
    """Rows of (r, g, b) tuples as an RGB8 PNG."""
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in pixels)
    chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                           + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

folder, out = sys.argv[1], sys.argv[2]
n = 64
stack = [read_png(f"{folder}/slice{100000 + s}.png") for s in range(n)]
info = open(f"{folder}/volume.json").read()
colour = '"encoding": "colour"' in info

def voxel(s, r, c):
    p = stack[s][r][4 * c:4 * c + 4]
    filled = (p[0] | p[1] | p[2]) if colour else p[3]
    return tuple(p[:3]) if filled else (40, 40, 40)

# Cells (Lx, Ly, Lz) from the grid's low corner; the clipping stack holds
# (63 - Ly, Lx, Lz), the solid ones (Lz, 63 - Ly, 63 - Lx).
def cell(x, y, z):
    return voxel(n - 1 - y, x, z) if colour else voxel(z, n - 1 - y, n - 1 - x)

# Left: z layer 21 (the wire's), x across, y up. Right: y layer 32 (the
# wing's), x across, z down.
left = [[cell(x, n - 1 - row, 21) for x in range(n)] for row in range(n)]
right = [[cell(x, 32, row) for x in range(n)] for row in range(n)]
scale, gap = 4, [(255, 255, 255)] * 8
picture = []
for row in range(n):
    line = [p for p in left[row] for _ in range(scale)] + gap + [p for p in right[row] for _ in range(scale)]
    picture += [line] * scale
write_png(out, picture)
PY
}
run clipping --mode clipping
run conservative --mode clipping --conservative
run parity --mode parity
run nonzero --mode parity --inside nonzero
run nonzero-conservative --mode parity --inside nonzero --conservative
echo "Pictures written to docs/modes-*.png"
