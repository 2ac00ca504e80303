#!/usr/bin/env bash
# The scale-out recipes of docs/batch.md, run here as written: GNU parallel on this machine and
# through its --sshlogin path (":" is this machine), the Slurm array script with a stand-in for
# Slurm's array variable, and the farm's task list run line by line. Each must give the outputs
# that `pelterra batch` gives, and report a broken asset without stopping the others.
#
#   tests/tools/batch_recipes_test.sh PELTERRA
set -euo pipefail
pelterra=$(realpath "$1")
repo=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../..")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
same() {  # same outputs as the reference batch: logs name their own folders, reports are extra
  if ! diff -r --exclude=reports --exclude=joblog.tsv --exclude='*.log' ref "$1" >diff.txt; then
    fail "$1 differs from the batch on one machine:"
    head -20 diff.txt >&2
  fi
  for stem in cube grid-6x3 cylinder islands; do
    [[ -s $1/$stem.log ]] || fail "$1/$stem.log is missing"
  done
}

cat >scale.session <<'SESSION'
open ${scene}
mode uvpolygons
select uvpolygons all
command ID_UVCOMMAND
choose 10071 "Scale&Rotate"
type IDC_SCALE_U 2
type IDC_SCALE_V 0.5
click IDC_SCALE
save ${stem}-scaled.obj
preview ${stem}.png size 64 fit
SESSION
printf '# four built-in scenes\nbuiltin:cube\nbuiltin:grid:6x3\n\nbuiltin:cylinder\nbuiltin:islands\n' >assets.txt
export PELTERRA=$pelterra

"$pelterra" --quiet batch scale.session @assets.txt --out ref >/dev/null ||
  fail "the reference batch failed"
[[ -s ref/grid-6x3/grid-6x3-scaled.obj ]] || fail "the reference batch wrote no outputs"

# GNU parallel, this machine.
bash "$repo/tools/batch-parallel.sh" scale.session assets.txt par >/dev/null || fail "parallel failed"
same par
[[ $(ls par/reports/*.xml | wc -l) -eq 4 ]] || fail "parallel: not one report per asset"
[[ $(tail -n +2 par/joblog.tsv | wc -l) -eq 4 ]] || fail "parallel: the job log has not 4 jobs"

# GNU parallel through --sshlogin, two jobs on ":" (this machine, without ssh).
bash "$repo/tools/batch-parallel.sh" scale.session assets.txt ssh 2/: >/dev/null ||
  fail "parallel --sshlogin failed"
same ssh

# Slurm: one array index per asset, SLURM_ARRAY_TASK_ID standing in for Slurm.
n=$(grep -c -v -e '^[[:space:]]*$' -e '^[[:space:]]*#' assets.txt)
[[ $n -eq 4 ]] || fail "the list has $n assets, not 4"
for ((i = 1; i <= n; i++)); do
  SLURM_ARRAY_TASK_ID=$i SLURM_SUBMIT_DIR=$repo bash "$repo/tools/batch-slurm.sh" \
    scale.session assets.txt slurm >/dev/null || fail "slurm index $i failed"
done
same slurm
if SLURM_ARRAY_TASK_ID=9 SLURM_SUBMIT_DIR=$repo bash "$repo/tools/batch-slurm.sh" \
  scale.session assets.txt slurm 2>/dev/null; then
  fail "slurm: an index past the list passed"
fi
if (unset SLURM_ARRAY_TASK_ID; bash "$repo/tools/batch-slurm.sh" scale.session assets.txt x 2>/dev/null); then
  fail "slurm: a run without an array index passed"
fi

# A farm manager's command-line job: the task list, each line run as a task.
bash "$repo/tools/batch-farm.sh" scale.session assets.txt farm >tasks.txt
[[ $(wc -l <tasks.txt) -eq 4 ]] || fail "farm: not one task per asset"
while IFS= read -r task; do
  (cd / && bash -c "$task" >/dev/null) || fail "farm task failed: $task"
done <tasks.txt
same farm

# A broken asset fails its own job only, and the recipe says so.
printf 'v 0 0 0\nf 1 2 3\n' >broken.obj
printf 'builtin:cube\nbroken.obj\nbuiltin:grid:6x3\n' >mixed.txt
if bash "$repo/tools/batch-parallel.sh" scale.session mixed.txt mixed >/dev/null 2>&1; then
  fail "parallel: a broken asset passed"
fi
[[ -s mixed/cube/cube-scaled.obj && -s mixed/grid-6x3/grid-6x3-scaled.obj ]] ||
  fail "parallel: a broken asset stopped the others"
grep -q 'failure' mixed/reports/broken.obj.xml || fail "parallel: the broken asset's report has no failure"
if SLURM_ARRAY_TASK_ID=2 SLURM_SUBMIT_DIR=$repo bash "$repo/tools/batch-slurm.sh" \
  scale.session mixed.txt mixed-slurm >/dev/null 2>&1; then
  fail "slurm: the broken asset passed"
fi

if ((failures > 0)); then
  echo "$failures recipe check(s) failed" >&2
  exit 1
fi
echo "the recipes give the batch's outputs"
