#!/usr/bin/env bash
# Runs each libFuzzer target for a fixed number of inputs on its seed corpora.
#
#   bash fuzz/run.sh BUILD_DIR [RUNS] [TARGET ...]    # default: 20000 runs, every target
#
# New inputs go to a scratch corpus under BUILD_DIR/fuzz-corpus; a crash or a broken property
# leaves its input as BUILD_DIR/fuzz-crashes/TARGET-crash-* and fails the run. Copy such a file
# into fuzz/corpus/TARGET/ once it is fixed, so that the test suite keeps checking it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build="${1:?usage: fuzz/run.sh BUILD_DIR [RUNS] [TARGET ...]}"
runs="${2:-20000}"
shift $(($# < 2 ? $# : 2))
targets=("$@")
((${#targets[@]})) || targets=(obj session resource uvlist gltf)

seeds() {
  case "$1" in
    obj) echo tests/app/data fuzz/corpus/obj ;;
    session) echo tests/app/data/sessions fuzz/corpus/session ;;
    resource) echo res fuzz/corpus/resource ;;
    uvlist) echo fuzz/corpus/uvlist ;;
    gltf) echo fuzz/corpus/gltf ;;
  esac
}

mkdir -p "$build/fuzz-crashes"
for t in "${targets[@]}"; do
  scratch="$build/fuzz-corpus/$t"
  mkdir -p "$scratch"
  echo "fuzz: $t, $runs runs"
  # shellcheck disable=SC2046
  "$build/fuzz_$t" -runs="$runs" -seed=1 -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-crashes/$t-" "$scratch" $(seeds "$t")
done
echo "fuzz: ${#targets[@]} target(s) ran $runs runs each without a crash"
