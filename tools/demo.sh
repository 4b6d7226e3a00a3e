#!/bin/sh
# Renders the demo pictures through each of the three built module files, as the host would
# drive the camera, and draws each module's settings-panel thumbnail with its read-out.
#
#   sh tools/demo.sh [BUILD_DIR]     (default: build/windows, the deliverable .p files)
#
# With a Windows build the stand-in host hostsim.exe runs under Wine (tools/wine-run); with a
# native build it runs directly. Pictures go to out/demo/<build>/ (test1, test2, test3); every
# build's pictures are rendered by one hostsim process from a batch file, since under Wine each
# process start costs seconds. Set DEMO_SPP or DEMO_SIZE (e.g. 480x320) to change the quality.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build/windows"}
case $build in /*) ;; *) build="$PWD/$build" ;; esac
out="$root/out/demo"
spp=${DEMO_SPP:-16}
size=${DEMO_SIZE:-320x214}
width=${size%x*}
height=${size#*x}

if [ -x "$build/hostsim/hostsim.exe" ] || [ -f "$build/hostsim/hostsim.exe" ]; then
  hostsim() { "$root/tools/wine-run" "$build/hostsim/hostsim.exe" "$@"; }
  how="under Wine"
elif [ -x "$build/hostsim/hostsim" ]; then
  hostsim() { "$build/hostsim/hostsim" "$@"; }
  how="natively"
else
  echo "demo: no hostsim in $build/hostsim; build first (make windows)" >&2
  exit 1
fi

# The pictures, one line each: file name, then the camera's options. The camera stands at eye
# height looking down the row of spheres, unless a line places it elsewhere.
#   side-untilted / side-tilted: seen from above and to the left of the row, with a lens so wide
#   (f/0.02) that depth of field shows at this size. Focused on the middle sphere the row's ends
#   blur; tilted (direction 86, angle -24 degrees) the plane of focus contains the whole row,
#   which stays sharp while the ground beside it and the tower blur: the "miniature" look.
write_batch() {
  common="--width $width --height $height --spp $spp --quiet"
  side="--position -12.5,6,12.2 --heading 65 --pitch -19.3 --zoom 1.8 --focus-distance 16.97 --f-stop 0.02"
  cat <<EOF
# file          options
-o $1/plain.png $common
-o $1/pitched.png $common --pitch 11.46
-o $1/shifted.png $common --v-shift 0.4
-o $1/side-untilted.png $common $side
-o $1/side-tilted.png $common $side --tilt-direction 86 --tilt-angle -24
-o $1/motion.png $common --move-x 0.5 --motion-steps 4
EOF
}

start=$(date +%s)
echo "demo: rendering ${width}x${height} at $spp samples per pixel, $how, from $build"
for variant in test1 test2 test3; do
  module=$(ls "$build/dist/$variant/"*.p 2>/dev/null | head -n 1 || true)
  if [ -z "$module" ]; then
    echo "demo: no module file in $build/dist/$variant" >&2
    exit 1
  fi
  dir="$out/$variant"
  mkdir -p "$dir"
  rm -f "$dir"/*.png "$dir"/*.txt # what is listed at the end is this run's output only
  write_batch "$dir" >"$dir/batch.txt"
  echo "== $variant: $(basename "$module")"
  hostsim info "$module" | tee "$dir/info.txt"
  hostsim render "$module" --batch "$dir/batch.txt" | tee "$dir/render-log.txt"
  hostsim thumbnail "$module" --tilt-direction 86 --tilt-angle -24 -o "$dir/thumbnail.png" \
    | sed 's/^/thumbnail read-out: /'
done
end=$(date +%s)

echo
echo "demo: wrote, in $((end - start)) s:"
find "$out" -type f \( -name '*.png' -o -name '*.txt' \) | sort | sed "s|^$root/||"
