#!/bin/sh
# Runs the camera module's benchmarks from a bench build (cmake --preset bench) and prints
# their summary, ending with one line per build variant:
#   evaluateRay test2 ratio to floor: 1.12
# Usage: tools/bench.sh [BUILD_DIR]   (default build/bench)
# BENCH_REPETITIONS (default 7) sets how often each benchmark is repeated and BENCH_MIN_TIME
# (default 0.2) the seconds each repetition runs at least; the summary uses
# medians, and the repetitions of different benchmarks are interleaved at random so that a
# burst of load on a shared machine does not fall on one benchmark alone. The full figures go
# to BUILD_DIR/bench-results.json.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
repetitions=${BENCH_REPETITIONS:-7}
min_time=${BENCH_MIN_TIME:-0.2}

bench=$build/bench/vellary_bench
if [ ! -x "$bench" ]; then
  echo "bench.sh: $bench not found; build it first (cmake --preset bench && cmake --build --preset bench)" >&2
  exit 1
fi

exec "$bench" \
  --benchmark_repetitions="$repetitions" \
  --benchmark_min_time="$min_time" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_display_aggregates_only=true \
  --benchmark_out="$build/bench-results.json" \
  --benchmark_out_format=json
