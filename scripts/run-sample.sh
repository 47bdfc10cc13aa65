#!/usr/bin/env bash
# The main job on the bundled sample: voxelizes samples/bunny.obj at N = 512
# in the clipping mode into out/bunny/ (512 PNG slices and voxelscale.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build/cli/kubelmar-cli --mode clipping --size 512 samples/bunny.obj out/bunny
echo "Slices written to $(pwd)/out/bunny"
