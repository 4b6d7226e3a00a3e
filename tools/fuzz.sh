#!/bin/sh
# Fuzzes the camera module through the stand-in host (fuzz/camera_callbacks_fuzz.cpp).
#
#   sh tools/fuzz.sh SECONDS [FUZZ_BUILD_DIR]     (default build dir: build/fuzz)
#
# 1. Replays the committed corpus tests/fuzz_corpus (seeds and every crash found so far) on all
#    three build variants.
# 2. Fuzzes build test2 for SECONDS with a fixed seed, on a copy of the corpus, so the committed
#    corpus stays small.
# 3. Replays everything the fuzzer kept on builds test1 and test3.
# Prints the executions run and the coverage (libFuzzer's cov and ft), and fails on any crash,
# leak, sanitizer report or failed check; a crashing input is left in the artifacts directory
# it names, to be kept in tests/fuzz_corpus as a regression case.
set -eu

seconds=${1:?usage: sh tools/fuzz.sh SECONDS [FUZZ_BUILD_DIR]}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build/fuzz}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
corpus=$root/tests/fuzz_corpus
seed=${VELLARY_FUZZ_SEED:-20240611}

for variant in 1 2 3; do
  if [ ! -x "$build/fuzz/camera_fuzz_test$variant" ]; then
    echo "fuzz.sh: $build/fuzz/camera_fuzz_test$variant is missing; build the fuzz preset first" >&2
    exit 2
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vellary-fuzz.XXXXXX")
artifacts=$root/build/fuzz-artifacts
mkdir -p "$work/corpus" "$artifacts"
export TMPDIR="$work"
# Scene files of the sessions go to the work directory too.
trap 'rm -rf "$work"' EXIT INT TERM

fail() {
  echo "fuzz.sh: FAILED: $1" >&2
  echo "fuzz.sh: crashing inputs (if any) are in $artifacts; keep each in tests/fuzz_corpus" >&2
  exit 1
}

replay() { # variant, directory, log
  "$build/fuzz/camera_fuzz_test$1" -runs=0 -artifact_prefix="$artifacts/test$1-" "$2" \
    >"$3" 2>&1 || { tail -n 40 "$3" >&2; fail "build test$1 crashed on a corpus input"; }
}

for variant in 1 2 3; do
  replay "$variant" "$corpus" "$work/replay-test$variant.log"
done
echo "corpus replay: $(ls "$corpus" | wc -l) inputs pass on test1, test2, test3"

cp "$corpus"/* "$work/corpus/"
log=$work/fuzz-test2.log
if ! "$build/fuzz/camera_fuzz_test2" "$work/corpus" -seed="$seed" -max_total_time="$seconds" \
  -max_len=2048 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$artifacts/test2-" >"$log" 2>&1; then
  tail -n 60 "$log" >&2
  fail "build test2 crashed while fuzzing"
fi

for variant in 1 3; do
  replay "$variant" "$work/corpus" "$work/replay-grown-test$variant.log"
done

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
final=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)
cov=$(echo "$final" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
ft=$(echo "$final" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
kept=$(ls "$work/corpus" | wc -l)
echo "fuzzing test2 for ${seconds}s (seed $seed): $executions executions, cov: $cov ft: $ft," \
  "corpus $kept inputs (replayed on test1 and test3)"
echo "fuzz.sh: no crash"
