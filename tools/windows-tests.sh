#!/bin/sh
# Runs the test programs of the 32-bit Windows build under Wine; among them, the Windows stand-in
# host validates the three built module files.
#
#   sh tools/windows-tests.sh [WINDOWS_BUILD_DIR]     (default: build/windows)
#
# Wine's 32-bit side needs a kernel that runs 32-bit programs, or qemu-i386 in its place
# (tools/enable-i386-binaries.sh). These are the only tests of the .p files themselves, so a Wine
# that cannot start, a run past its time budget and every failing test fail this script.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/windows}
wine_run=$root/tools/wine-run
probe_seconds=${VELLARY_WINE_PROBE_SECONDS:-300}

hostsim=$build/hostsim/hostsim.exe
if [ ! -f "$hostsim" ]; then
  echo "windows-tests.sh: $hostsim is missing; build the windows preset first" >&2
  exit 2
fi

# The first Wine start also makes the prefix (about 20 s under qemu).
echo "Starting Wine (the first start sets up its prefix)..."
started=$(date +%s)
# One Wine server for the whole stage rather than one per test program; stopped at the end.
trap '"$wine_run" --server -k >/dev/null 2>&1' EXIT
if ! timeout "$probe_seconds" sh -c '"$1" --server -p && "$1" "$2" --help' probe "$wine_run" \
  "$hostsim" >/dev/null 2>&1; then
  echo "================================================================================"
  echo "Windows tests FAILED: Wine could not start a 32-bit program within ${probe_seconds} s."
  echo "Check that 'sh tools/setup-debian.sh' ran (as root): it installs Wine's 32-bit parts"
  echo "and, where the kernel ($(uname -r)) cannot run 32-bit programs, qemu-i386."
  echo "================================================================================"
  exit 1
fi
echo "Wine started in $(($(date +%s) - started)) s."

# A guard against a hung Wine: the stage takes about a minute, even under qemu. One test program
# at a time: several of them render on every core already.
budget_seconds=${VELLARY_WINE_BUDGET_SECONDS:-1800}
timeout "$budget_seconds" ctest --test-dir "$build" --output-on-failure --timeout 600 -j1
rc=$?
if [ $rc -eq 124 ]; then
  echo "================================================================================"
  echo "Windows tests FAILED: they did not finish within the ${budget_seconds} s budget."
  echo "================================================================================"
fi
exit $rc
