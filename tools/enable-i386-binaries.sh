#!/bin/sh
# Wine runs 32-bit Windows programs inside a 32-bit Linux process. Some kernels (for instance
# lightweight virtual machines) are built without 32-bit support; there the 32-bit Linux side of
# Wine runs under qemu's user-mode emulator, registered for 32-bit x86 binaries. Nothing is done
# where the kernel runs them itself. Needs root (it registers with the kernel).
set -eu

if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  exit 0
fi

binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt"
fi

qemu=/usr/bin/qemu-i386-static
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# Executables (type 2) and shared objects such as the dynamic loader (type 3). The F flag makes
# the kernel keep the emulator open, so it also serves inside chroots.
[ -e "$binfmt/vellary-i386-exec" ] ||
  echo ":vellary-i386-exec:M::${magic}\x02\x00\x03\x00:${mask}:${qemu}:F" >"$binfmt/register"
[ -e "$binfmt/vellary-i386-dyn" ] ||
  echo ":vellary-i386-dyn:M::${magic}\x03\x00\x03\x00:${mask}:${qemu}:F" >"$binfmt/register"

if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "32-bit x86 programs still can't run on this machine; Wine's tests will fail." >&2
  exit 1
fi
echo "32-bit x86 programs now run under qemu-i386 (this kernel has no 32-bit support)."
