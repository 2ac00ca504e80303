#!/usr/bin/env bash
# The batch as a Slurm job array: array index I runs the I-th asset of LIST (one file per line,
# blank lines and # comments left out) through tools/batch-one.sh.
#
#   n=$(grep -c -v -e '^[[:space:]]*$' -e '^[[:space:]]*#' assets.txt)
#   sbatch --array=1-$n tools/batch-slurm.sh fix.session assets.txt /shared/out
#
# Slurm copies this script away before it runs it, so it finds batch-one.sh through
# PELTERRA_TOOLS (default: tools/ of the folder sbatch was called from).
#SBATCH --job-name=pelterra
#SBATCH --cpus-per-task=1
#SBATCH --time=01:10:00
#SBATCH --output=slurm-%A_%a.out
set -euo pipefail
if (($# != 3)); then
  echo "usage: sbatch --array=1-N $0 SESSION LIST OUT" >&2
  exit 2
fi
session=$1 list=$2 out=$3
index=${SLURM_ARRAY_TASK_ID:?"run it as a Slurm array job (sbatch --array=1-N)"}
tools=${PELTERRA_TOOLS:-${SLURM_SUBMIT_DIR:-$PWD}/tools}
file=$(grep -v -e '^[[:space:]]*$' -e '^[[:space:]]*#' "$list" | sed -n "${index}p")
if [[ -z $file ]]; then
  echo "$0: $list has no asset $index" >&2
  exit 2
fi
exec "$tools/batch-one.sh" "$session" "$file" "$out"
