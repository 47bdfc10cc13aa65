#!/usr/bin/env bash
# Wall time and peak memory per step of the engine, side by side with
# OpenVDB's vdb_tool (mesh -> narrow-band level set -> fog volume, written to
# a .vdb file) on the same mesh at the same resolution. Usage:
#   bench/bench_engine.sh [BUILD_DIR] [SIZES...]       (default sizes: 512 1024 2048)
#   MODES="clipping depth"   RUNS=3   BENCH_DIR=/tmp   (the defaults)
#   MESHES="a.obj b.obj"     (default: ../shared/meshes/gargoyle_vc.obj when
#                             present, and a generated 70,000-triangle torus knot)
# Every configuration runs RUNS times, each in a process of its own; the
# fastest run is reported (its steps and its peak resident memory), and the
# ratio Kubelmar / vdb_tool compares the fastest of each. vdb_tool (Debian
# package libopenvdb-tools) is installed with apt-get when missing and the
# user may; without it the ratio column reads "-".
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
shift $(( $# > 0 ? 1 : 0 )) || true
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(512 1024 2048)
read -r -a modes <<< "${MODES:-clipping depth}"
runs=${RUNS:-3}
bench="$build/bench/kubelmar_bench_engine"
tmp="$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/kubelmar-bench.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

if ! command -v vdb_tool >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    apt-get install -y libopenvdb-tools >/dev/null 2>&1 || true
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo -n apt-get install -y libopenvdb-tools >/dev/null 2>&1 || true
  fi
fi
vdb=$(command -v vdb_tool || true)
[ -n "$vdb" ] || echo "vdb_tool not found (apt-get install libopenvdb-tools): no ratios" >&2

if [ -n "${MESHES:-}" ]; then
  read -r -a meshes <<< "$MESHES"
else
  meshes=()
  [ -f "$here/../shared/meshes/gargoyle_vc.obj" ] && meshes+=("$here/../shared/meshes/gargoyle_vc.obj")
  # A (2, 3) torus knot: a tube of 700 rings of 50 sides, two triangles a
  # quad (70,000), coloured along the knot and around the tube.
  python3 - "$tmp/torus_knot_70k.obj" <<'EOF'
import math, sys
rings, sides, p, q, tube = 700, 50, 2, 3, 0.35
def curve(t):
    r = 2 + math.cos(q * t)
    return (r * math.cos(p * t), r * math.sin(p * t), -math.sin(q * t))
with open(sys.argv[1], "w") as f:
    for i in range(rings):
        t = 2 * math.pi * i / rings
        c, n = curve(t), curve(t + 1e-4)
        tx, ty, tz = (n[0] - c[0], n[1] - c[1], n[2] - c[2])
        l = math.sqrt(tx * tx + ty * ty + tz * tz); tx, ty, tz = tx / l, ty / l, tz / l
        # A frame around the tangent: b = t x up, nrm = b x t.
        bx, by, bz = ty, -tx, 0.0
        l = math.sqrt(bx * bx + by * by) or 1.0; bx, by = bx / l, by / l
        nx, ny, nz = by * tz - bz * ty, bz * tx - bx * tz, bx * ty - by * tx
        for j in range(sides):
            a = 2 * math.pi * j / sides
            ca, sa = math.cos(a), math.sin(a)
            x = c[0] + tube * (ca * nx + sa * bx)
            y = c[1] + tube * (ca * ny + sa * by)
            z = c[2] + tube * (ca * nz + sa * bz)
            f.write("v %.6f %.6f %.6f %.3f %.3f %.3f\n" % (x, y, z, 0.5 + 0.5 * math.cos(t), 0.5 + 0.5 * ca, 0.4))
    for i in range(rings):
        for j in range(sides):
            a = i * sides + j + 1
            b = i * sides + (j + 1) % sides + 1
            c = ((i + 1) % rings) * sides + j + 1
            d = ((i + 1) % rings) * sides + (j + 1) % sides + 1
            f.write("f %d %d %d\nf %d %d %d\n" % (a, c, d, a, d, b))
EOF
  meshes+=("$tmp/torus_knot_70k.obj")
fi

# Prints the fastest of $runs runs of "$@" as "seconds peak_MB", keeping that
# run's output in $tmp/best.txt.
fastest() {
  local best="" peak="" i
  for ((i = 0; i < runs; ++i)); do
    rm -rf "$tmp/out"
    /usr/bin/time -f "%e %M" -o "$tmp/time.txt" "$@" > "$tmp/run.txt" 2>&1 || { echo "failed" ; cat "$tmp/run.txt" >&2; return 1; }
    read -r seconds kb < "$tmp/time.txt"
    if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$seconds
      peak=$((kb / 1024))
      cp "$tmp/run.txt" "$tmp/best.txt"
    fi
  done
  rm -rf "$tmp/out"
  echo "$best $peak"
}

echo "best of $runs runs; times in seconds, peak resident memory in MB"
printf "%-22s %-9s %5s  %9s %7s  %9s %7s  %6s\n" mesh mode N kubelmar peak vdb_tool peak ratio
for mesh in "${meshes[@]}"; do
  for n in "${sizes[@]}"; do
    vdbTime="" vdbPeak="-" ratio="-"
    if [ -n "$vdb" ]; then
      read -r vdbTime vdbPeak < <(fastest "$vdb" -read "$mesh" -mesh2ls dim="$n" -ls2fog -write "$tmp/out.vdb")
      rm -f "$tmp/out.vdb"
    fi
    for mode in "${modes[@]}"; do
      read -r ourTime ourPeak < <(fastest "$bench" "$mesh" "$mode" "$n" "$tmp/out")
      [ -n "$vdbTime" ] && ratio=$(awk -v a="$ourTime" -v b="$vdbTime" 'BEGIN { printf "%.2f", a / b }')
      printf "%-22s %-9s %5s  %9s %7s  %9s %7s  %6s\n" "$(basename "$mesh")" "$mode" "$n" "$ourTime" "$ourPeak" \
        "${vdbTime:--}" "$vdbPeak" "$ratio"
      # The fastest run's steps.
      grep -E '^  ' "$tmp/best.txt" | sed 's/^/    /'
    done
  done
done
