#!/usr/bin/env bash
# Times kubelmar-cli step by step (load, GL start, render + read back, build,
# write) in both modes at several sizes. Usage:
#   bench/bench_engine.sh [BUILD_DIR] [MESH] [SIZES...]
# Defaults: build/, ../shared/meshes/gargoyle_vc.obj when present (else the
# bundled bunny), sizes 128 256 512. Output goes to a temporary directory.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
mesh="${2:-}"
shift $(( $# > 2 ? 2 : $# )) || true
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(128 256 512)
if [ -z "$mesh" ]; then
  mesh="$here/../shared/meshes/gargoyle_vc.obj"
  [ -f "$mesh" ] || mesh="$here/samples/bunny.obj"
fi
cli="$build/cli/kubelmar-cli"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

echo "mesh: $mesh"
for mode in clipping depth; do
  for n in "${sizes[@]}"; do
    rm -rf "$out/run"
    start=$(date +%s.%N)
    "$cli" --mode "$mode" --size "$n" --timings "$mesh" "$out/run" >/dev/null 2>"$out/log"
    end=$(date +%s.%N)
    grep '^renderer:' "$out/log" | head -1 | sed 's/^/  /' > "$out/renderer"
    printf '%-8s N=%-5s total %6.2f s |' "$mode" "$n" "$(echo "$end - $start" | bc)"
    grep '^time:' "$out/log" | sed -E 's/^time: (.*) ([0-9.]+)$/ \1 \2;/' | sed -E 's/: \(Step [0-9] of [0-9]\)//' | tr -d '\n'
    echo
  done
done
cat "$out/renderer"
