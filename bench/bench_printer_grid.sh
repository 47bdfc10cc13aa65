#!/usr/bin/env bash
# A printer grid at scale: a coloured mesh scaled so that its longest side is
# 100 mm, voxelized in the clipping mode on a 600 x 300 dpi grid with 27 um
# layers (about 2362 x 1181 x 3704 voxels for a long part), through the
# command line as a user runs it. Reports wall time, peak memory and the
# grid. Usage:
#   bench/bench_printer_grid.sh [BUILD_DIR] [MESH] [SIDE_MM] [PRESET]
# MESH defaults to ../shared/meshes/gargoyle_vc.obj (else the bundled bunny);
# the mesh is taken to be in millimetres. Output goes to a temporary folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
mesh="${2:-$here/../shared/meshes/gargoyle_vc.obj}"
side="${3:-100}"
preset="${4:-voxel-print-600x300}"
[ -f "$mesh" ] || mesh="$here/samples/bunny.obj"
cli="$build/cli/kubelmar-cli"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# The mesh's longest side, from its vertex lines (OBJ).
longest=$(awk '$1 == "v" {
    for (a = 0; a < 3; ++a) { x = $(a + 2) + 0
      if (!seen || x < lo[a]) lo[a] = x; if (!seen || x > hi[a]) hi[a] = x }
    seen = 1 }
  END { m = 0; for (a = 0; a < 3; ++a) if (hi[a] - lo[a] > m) m = hi[a] - lo[a]; printf "%.17g", m }' "$mesh")
scale=$(awk -v s="$side" -v l="$longest" 'BEGIN { printf "%.17g", s / l }')
echo "$(basename "$mesh"): longest side $longest, scale $scale to $side mm, preset $preset"

/usr/bin/time -f "wall %e s, peak %M KiB" \
  "$cli" --units mm --scale "$scale" --preset "$preset" --timings -q "$mesh" "$tmp/out" 2>&1 | grep -E "^(time|wall)"
python3 - "$tmp/out/volume.json" <<'PY'
import json, sys
v = json.load(open(sys.argv[1]))
print("grid:", {k: v[k] for k in v if k in ("dims", "size", "voxelSize", "unit", "preset")})
PY
echo "slices: $(ls "$tmp/out" | grep -c '^slice')"
