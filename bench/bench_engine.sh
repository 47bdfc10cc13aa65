#!/usr/bin/env bash
# Wall time and memory per phase of the engine, each configuration in a
# process of its own. Usage:
#   bench/bench_engine.sh [BUILD_DIR] [SIZES...]
# Meshes: ../shared/meshes/gargoyle_vc.obj when present (else the bundled
# bunny) and a generated 1,000,000-triangle torus; both modes; sizes default
# to 512 1024 2048. Output goes to a temporary folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
shift $(( $# > 0 ? 1 : 0 )) || true
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(512 1024 2048)
bench="$build/bench/kubelmar_bench_engine"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

meshes=("$here/../shared/meshes/gargoyle_vc.obj")
[ -f "${meshes[0]}" ] || meshes=("$here/samples/bunny.obj")
"$bench" --make-torus "$tmp/torus_1m.obj" 1000000 >/dev/null
meshes+=("$tmp/torus_1m.obj")

for mesh in "${meshes[@]}"; do
  for mode in clipping depth; do
    for n in "${sizes[@]}"; do
      echo "$(basename "$mesh") $mode N=$n"
      "$bench" "$mesh" "$mode" "$n" "$tmp/out" || echo "  failed"
      rm -rf "$tmp/out"
    done
  done
done
