#!/usr/bin/env bash
# The batch with GNU parallel: every asset of LIST (one file per line) through
# tools/batch-one.sh, on this machine or over SSH on several hosts.
#
#   tools/batch-parallel.sh SESSION LIST OUT                        # this machine, a job per core
#   tools/batch-parallel.sh SESSION LIST OUT 8/render1,8/render2    # 8 jobs on each of two hosts
#
# The fourth argument is GNU parallel's --sshlogin list (":" is this machine). Over SSH every
# host needs pelterra and this folder at the same paths, and the assets and OUT on a shared file
# system. JOBS sets the jobs per host (default: one per core). Exit code: 0 when every asset
# passed, otherwise 1; OUT/joblog.tsv lists each asset's exit code and time.
set -euo pipefail
if (($# < 3 || $# > 4)); then
  echo "usage: $0 SESSION LIST OUT [SSHLOGINS]" >&2
  exit 2
fi
abs() { case $1 in /*) printf '%s' "$1" ;; *) printf '%s/%s' "$PWD" "$1" ;; esac; }
session=$(abs "$1") list=$2 out=$(abs "$3")
one=$(abs "$(dirname "${BASH_SOURCE[0]}")/batch-one.sh")
pelterra=${PELTERRA:-$(command -v pelterra || true)}
pelterra=$(abs "$pelterra")
mkdir -p "$out"
remote=()
if (($# == 4)); then
  remote=(--sshlogin "$4" --workdir "$PWD")
fi
# Blank lines and # comments of the list are left out, as pelterra batch @LIST does.
grep -v -e '^[[:space:]]*$' -e '^[[:space:]]*#' "$list" |
  parallel "${remote[@]}" --jobs "${JOBS:-100%}" --joblog "$out/joblog.tsv" --quote \
    env PELTERRA="$pelterra" TIMEOUT="${TIMEOUT:-3600}" PELTERRA_FLAGS="${PELTERRA_FLAGS:-}" \
    "$one" "$session" {} "$out" || failed=$?
# parallel's exit code is the number of failed jobs (at most 101).
exit $((${failed:-0} > 0 ? 1 : 0))
