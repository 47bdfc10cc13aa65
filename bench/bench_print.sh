#!/usr/bin/env bash
# Wall time and peak memory of printing runs through the command line, each
# in a process of its own: the plain solid, then the coloured, dithered one.
# Usage:
#   bench/bench_print.sh [BUILD_DIR] [MESH] [GRID OPTIONS...]
# Defaults: ../shared/meshes/gargoyle_vc.obj (else the bundled bunny) on the
# cube at -s 512. A printer grid: bench/bench_print.sh build part.obj
# --preset voxel-print-600x300 --scale 1 (the colour depth is in voxels; a
# millimetre is about 24 voxels across and 37 layers on that grid).
# Output goes to a temporary folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
mesh="${2:-$here/../shared/meshes/gargoyle_vc.obj}"
[ -f "$mesh" ] || mesh="$here/samples/bunny.obj"
shift $(( $# > 2 ? 2 : $# )) || true
grid=("$@")
[ ${#grid[@]} -eq 0 ] && grid=(-s 512)
cli="$build/cli/kubelmar-cli"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

run() {
  local label="$1"
  shift
  /usr/bin/time -f "%e %M" -o "$tmp/time" "$cli" -q -m parity "${grid[@]}" "$@" "$mesh" "$tmp/out" >/dev/null
  read -r seconds kib <"$tmp/time"
  printf '%-44s %8.2f s %8d MiB\n' "$label" "$seconds" $((kib / 1024))
  rm -rf "$tmp/out"
}

echo "$(basename "$mesh") ${grid[*]}"
run "solid"
for depth in 8 24; do
  for dither in none diffusion blue-noise; do
    run "cmyk, colour depth $depth, $dither" --palette cmyk --dither "$dither" --colour-depth "$depth"
  done
done
run "cmyk, colour depth 24, diffusion, materials" --palette cmyk --dither diffusion --colour-depth 24 \
  --format png,materials
