#!/bin/sh
# Runs the test programs of the 32-bit Windows build under Wine, then validates the three built
# module files with the Windows stand-in host.
#
#   sh tools/windows-tests.sh [WINDOWS_BUILD_DIR]     (default: build/windows)
#
# Wine's 32-bit side needs a kernel that runs 32-bit programs, or qemu-i386 in its place
# (tools/enable-i386-binaries.sh). Under emulation Wine is slow to set up its prefix and can fail
# to start at all; that is reported loudly as "NOT RUN" with the reason, and is not a test
# failure. Once Wine runs, every failing test fails this script.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/windows}
wine_run=$root/tools/wine-run
probe_seconds=${VELLARY_WINE_PROBE_SECONDS:-900}

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
  echo "Windows tests NOT RUN: Wine could not start a 32-bit program on this machine"
  echo "within ${probe_seconds} s ($(uname -r); 32-bit programs here run under qemu-i386)."
  echo "The native and sanitizer suites above cover the same code; run this script on a"
  echo "machine whose kernel runs 32-bit programs to test the .p files themselves."
  echo "================================================================================"
  exit 0
fi
echo "Wine started in $(($(date +%s) - started)) s."


# Under emulation a whole run can take long; past this budget the stage reports itself
# INCOMPLETE (loudly, like NOT RUN) so that the rest of the suite's verdict still stands.
budget_seconds=${VELLARY_WINE_BUDGET_SECONDS:-1800}
deadline=$(($(date +%s) + budget_seconds))
remaining() { echo $((deadline - $(date +%s))); }

incomplete() {
  echo "================================================================================"
  echo "Windows tests INCOMPLETE: $1 did not finish within the ${budget_seconds} s budget"
  echo "for Wine under emulation. Completed results above stand."
  echo "================================================================================"
  exit 0
}

status=0
# One Wine process at a time: parallel starts under emulation slow each other down badly.
timeout "$(remaining)" ctest --test-dir "$build" --output-on-failure --timeout 600 -j1
rc=$?
[ $rc -eq 124 ] && incomplete "ctest"
[ $rc -ne 0 ] && status=1
[ "$(remaining)" -gt 0 ] || incomplete "validate"
timeout "$(remaining)" sh "$root/tools/validate-all.sh" "$build"
rc=$?
[ $rc -eq 124 ] && incomplete "validate"
[ $rc -ne 0 ] && status=1
exit $status
