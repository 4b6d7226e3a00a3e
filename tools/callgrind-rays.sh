#!/bin/sh
# Instruction counts per evaluateRay call of each build variant, under callgrind (exact and
# repeatable, unlike timings on a shared machine). A driver evaluates a fixed set of rays
# through the evaluate slot of the host's handler record, with collection switched on only
# inside evaluateRay; the count per call is the difference between a long and a short run
# divided by the difference in rays, so one-off costs of the first call drop out. The same is
# counted for the driver's whole loop through the handler (handlerRays: loop, argument passing,
# call and evaluateRay) and for the inlined floor's loop over the same rays (floorRays), the
# fair pair to compare. Also lists
# every function that ran inside evaluateRay, and fails if any of them allocates, locks,
# calls the host or evaluates a trigonometric function.
# Usage: tools/callgrind-rays.sh [BUILD_DIR]   (default build/bench; a build with VELLARY_BENCH=ON)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
driver=$build/bench/vellary_ray_driver
if [ ! -x "$driver" ]; then
  echo "callgrind-rays.sh: $driver not found; build the bench preset first" >&2
  exit 1
fi
command -v valgrind >/dev/null || { echo "callgrind-rays.sh: valgrind is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# Multiples of the driver's 1024 different rays, so every ray counts equally.
short=10240
long=112640

# Ir collected inside function $1 for $2 rays of build $3 (extra driver arguments after).
collected_ir() {
  function=$1 rays=$2 build_variant=$3
  shift 3
  out=$work/callgrind.$function.$build_variant.$rays
  valgrind --tool=callgrind --collect-atstart=no --toggle-collect="$function" \
    --callgrind-out-file="$out" "$driver" "$build_variant" "$rays" "$@" >/dev/null 2>"$out.log" || {
    cat "$out.log" >&2
    echo "callgrind-rays.sh: the driver failed for $build_variant" >&2
    exit 1
  }
  sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$out"
}

per_ray() {
  awk -v a="$1" -v b="$2" -v n=$((long - short)) 'BEGIN { printf "%.2f", (b - a) / n }'
}

status=0
summary=""
for variant in test1 test2 test3; do
  module_short=$(collected_ir evaluateRay $short $variant)
  module_long=$(collected_ir evaluateRay $long $variant)
  loop_short=$(collected_ir handlerRays $short $variant)
  loop_long=$(collected_ir handlerRays $long $variant)
  floor_short=$(collected_ir floorRays $short $variant floor)
  floor_long=$(collected_ir floorRays $long $variant floor)
  module=$(per_ray "$module_short" "$module_long")
  loop=$(per_ray "$loop_short" "$loop_long")
  floor=$(per_ray "$floor_short" "$floor_long")

  echo "== $variant: functions that ran inside evaluateRay ($long calls), own instructions"
  callgrind_annotate "$work/callgrind.evaluateRay.$variant.$long" 2>/dev/null |
    awk '/^-+$/ { rule++; next } rule >= 3 && NF >= 2 && $1 ~ /^[0-9,]+$/ && !/PROGRAM TOTALS/ { print "   " $0 }' |
    tee "$work/functions.$variant"
  if grep -Eiq 'malloc|calloc|realloc|free|operator new|mutex|pthread|lock|[^a-z](sin|cos|tan|atan|atan2|sincos)[^a-z]|hostsim|globalLookup|_dl_' "$work/functions.$variant"; then
    echo "   FAILED: evaluateRay of $variant reaches an allocation, a lock, the host or trigonometry" >&2
    status=1
  fi
  summary="$summary
evaluateRay $variant instructions per call: $module; per ray with the host's loop and call: $loop, inlined floor with the same loop: $floor"
done
echo "$summary" | sed '/^$/d'
exit $status
