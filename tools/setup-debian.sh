#!/bin/sh
# Installs what building and testing needs on a Debian machine, and nothing that is already
# there. Runs as root, or through sudo when it is available.
set -eu

packages="cmake make g++ gcc clang libclang-rt-14-dev googletest libbenchmark-dev
  libstb-dev libcli11-dev valgrind
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine32:i386"

if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_packages() {
  echo "Installing:$1"
  # Wine's 32-bit parts come from the i386 architecture.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $as_root dpkg --add-architecture i386
  fi
  $as_root apt-get update -q
  DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -q --no-install-recommends $1
}

missing=""
for p in $packages; do
  installed "$p" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  install_packages "$missing"
fi

# Wine's 32-bit side must be able to run on this kernel.
$as_root sh "$(dirname "$0")/enable-i386-binaries.sh"
