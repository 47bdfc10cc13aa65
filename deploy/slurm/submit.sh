#!/bin/bash
# Queues a sharded Kubelmar batch and the job that merges its summaries.
#   submit.sh SHARDS INPUT_DIR OUTPUT_DIR [kubelmar-cli options...]
# Prints the merge job's id; OUTPUT_DIR/batch-summary.json holds the result
# once it has run. Extra sbatch options (partition, time) go in SBATCH_ARGS.
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 SHARDS INPUT_DIR OUTPUT_DIR [kubelmar-cli options...]" >&2; exit 2; }
shards=$1 input=$(realpath "$2") output=$(realpath -m "$3")
shift 3
here=$(dirname "$(realpath "$0")")
mkdir -p "$output"
export KUBELMAR_INPUT="$input" KUBELMAR_OUTPUT="$output" KUBELMAR_ARGS="$*"
# shellcheck disable=SC2086
array=$(sbatch --parsable ${SBATCH_ARGS:-} --array=1-"$shards" --chdir="$output" \
  --export=ALL "$here/kubelmar-array.sbatch")
# afterany: merge even when some tasks failed, so the summary says which.
# shellcheck disable=SC2086
sbatch --parsable ${SBATCH_ARGS:-} --dependency=afterany:"${array%%;*}" --chdir="$output" \
  --job-name=kubelmar-merge --export=ALL,KUBELMAR_MERGE=1 "$here/kubelmar-array.sbatch"
