#!/usr/bin/env bash
# Batch scaling: wall time and peak memory of one `kubelmar-cli --batch` over
# COPIES copies of a 50,000-triangle mesh at N = SIZE, for each job count.
# Usage:
#   bench/bench_batch.sh [BUILD_DIR] [JOBS...]        (default jobs: 1 2)
#   COPIES=20 SIZE=256 MODE=clipping                  (the defaults)
#   BENCH_DIR=/dev/shm                                 (where inputs and outputs go)
# Mesh: ../shared/meshes/gargoyle_vc.obj when present, else a generated torus
# of the same triangle count. Peak memory is the largest single process
# (/usr/bin/time reports the parent and its largest child).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
shift $(( $# > 0 ? 1 : 0 )) || true
jobs=("$@")
[ ${#jobs[@]} -eq 0 ] && jobs=(1 2)
copies=${COPIES:-20}
size=${SIZE:-256}
mode=${MODE:-clipping}
cli="$build/cli/kubelmar-cli"
tmp="$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/kubelmar-bench.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

mesh="$here/../shared/meshes/gargoyle_vc.obj"
if [ ! -f "$mesh" ]; then
  mesh="$tmp/torus_50k.obj"
  "$build/bench/kubelmar_bench_engine" --make-torus "$mesh" 50000 >/dev/null
fi
mkdir -p "$tmp/in"
for i in $(seq -w 1 "$copies"); do cp "$mesh" "$tmp/in/mesh$i.obj"; done

echo "$copies x $(basename "$mesh"), $mode, N=$size, $(nproc) cores"
# Each run writes a fresh folder and nothing is deleted until the end: on
# ext4, creating files right after deleting thousands costs several seconds
# of inode search (recently deleted inodes are skipped), which would be
# charged to whichever run came second.
run=0
for j in "${jobs[@]}"; do
  run=$((run + 1))
  /usr/bin/time -f "%e %M %U %S" -o "$tmp/time" \
    "$cli" --batch "$tmp/in" -o "$tmp/out$run" -m "$mode" -s "$size" -j "$j" -q
  read -r wall rss user sys <"$tmp/time"
  printf 'jobs %-3s %8.2f s  cpu %7.2f s  peak %6.0f MB\n' "$j" "$wall" "$(echo "$user + $sys" | bc -l)" \
    "$(echo "$rss / 1024" | bc -l)"
done
