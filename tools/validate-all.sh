#!/bin/sh
# Runs `hostsim validate` on each of the three built module files of the 32-bit Windows build,
# with the Windows stand-in host under Wine, as a plug-in user would check their files.
#
#   sh tools/validate-all.sh [WINDOWS_BUILD_DIR]     (default: build/windows)
#
# Each validation starts the host three more times (one child process per check group), so the
# whole run is a dozen Wine processes. Fails when any check of any module fails.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/windows}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
host=$build/hostsim/hostsim.exe
if [ ! -f "$host" ]; then
  echo "validate-all.sh: $host is missing; build the Windows preset first" >&2
  exit 2
fi

status=0
for module in "$build/dist/test1/Ostrelin.p" "$build/dist/test2/Ostrelin.p" \
  "$build/dist/test3/Brevanic.p"; do
  echo "== $module"
  if [ ! -f "$module" ]; then
    echo "FAIL $module: missing"
    status=1
    continue
  fi
  # Wine takes the module's path as a Unix path; the host opens it through Z:.
  if ! sh "$root/tools/wine-run" "$host" validate "$module"; then
    status=1
  fi
done
if [ "$status" -ne 0 ]; then
  echo "validate-all.sh: some checks failed" >&2
fi
exit "$status"
