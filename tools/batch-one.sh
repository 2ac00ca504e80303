#!/usr/bin/env bash
# One session on one asset: the unit that job runners distribute. It runs
#   pelterra batch SESSION FILE --jobs 1 --out OUT --report OUT/reports/NAME.xml
# so each asset gets the same output folder (OUT/STEM/), log (OUT/STEM.log), time limit and
# JUnit report as in a batch on one machine; the exit code is the run's (0 passed, 1 not).
#
#   tools/batch-one.sh SESSION FILE OUT
#
# PELTERRA names the program (default: pelterra in PATH), TIMEOUT the seconds per run (default
# 3600), PELTERRA_FLAGS more options for the run (e.g. --strict).
set -euo pipefail
if (($# != 3)); then
  echo "usage: $0 SESSION FILE OUT" >&2
  exit 2
fi
session=$1 file=$2 out=$3
pelterra=${PELTERRA:-pelterra}
# A report name from the whole file name, so that no two assets share one.
name=$(printf '%s' "$file" | tr -c 'A-Za-z0-9._-' '_')
mkdir -p "$out/reports"
# shellcheck disable=SC2086  # PELTERRA_FLAGS is a list of words
exec "$pelterra" --quiet batch "$session" "$file" --jobs 1 --out "$out" \
  --timeout "${TIMEOUT:-3600}" --report "$out/reports/$name.xml" ${PELTERRA_FLAGS:-}
