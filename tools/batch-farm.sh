#!/usr/bin/env bash
# The batch as a render-farm manager's command-line job: writes one command line per asset of
# LIST (blank lines and # comments left out), each a task that the manager runs on any worker.
#
#   tools/batch-farm.sh fix.session assets.txt /shared/out > tasks.txt
#
# Give tasks.txt to the manager's command-line (command script) job: one task per line, its exit
# code the task's result. Workers need pelterra and this folder at the same paths and the assets
# and OUT on a shared file system; PELTERRA names the program on the workers.
set -euo pipefail
if (($# != 3)); then
  echo "usage: $0 SESSION LIST OUT > TASKS" >&2
  exit 2
fi
abs() { case $1 in /*) printf '%s' "$1" ;; *) printf '%s/%s' "$PWD" "$1" ;; esac; }
session=$(abs "$1") list=$2 out=$(abs "$3")
one=$(abs "$(dirname "${BASH_SOURCE[0]}")/batch-one.sh")
pelterra=${PELTERRA:-$(command -v pelterra || echo pelterra)}
grep -v -e '^[[:space:]]*$' -e '^[[:space:]]*#' "$list" | while IFS= read -r file; do
  case $file in builtin:* | /*) ;; *) file=$(abs "$file") ;; esac
  printf 'env PELTERRA=%q %q %q %q %q\n' "$pelterra" "$one" "$session" "$file" "$out"
done
