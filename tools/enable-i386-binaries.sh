#!/bin/sh
# Wine runs 32-bit Windows programs inside a 32-bit Linux process. Some kernels (for instance
# lightweight virtual machines) are built without 32-bit support; there the 32-bit Linux side of
# Wine runs under qemu's user-mode emulator, registered for 32-bit x86 binaries. Nothing is done
# where the kernel runs them itself. Needs root (it installs qemu and registers with the kernel).
set -eu

binfmt=/proc/sys/fs/binfmt_misc
elf32_magic=7f454c4601010100000000000000000002000300
elf32_dyn_magic=7f454c4601010100000000000000000003000300

# Entries that hand 32-bit x86 executables or shared objects to an emulator.
i386_entries() {
  for entry in "$binfmt"/*; do
    [ -f "$entry" ] || continue
    if grep -q -e "magic $elf32_magic" -e "magic $elf32_dyn_magic" "$entry" 2>/dev/null; then
      echo "$entry"
    fi
  done
}

if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt"
fi

if [ -z "$(i386_entries)" ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  exit 0 # the kernel runs 32-bit programs itself
fi

# qemu before 8.1 tracks the emulated address space page by page and scans it on every mmap:
# each Wine start then costs about 50 s of CPU instead of well under one. Debian 12 ships 7.2
# and has 10.0 in its backports.
qemu_is_fast() {
  version=$(qemu-i386-static --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\.\([0-9]*\).*/\1 \2/p')
  [ -n "$version" ] || return 1
  set -- $version
  [ "$1" -gt 8 ] || { [ "$1" -eq 8 ] && [ "$2" -ge 1 ]; }
}

if ! qemu_is_fast; then
  . /etc/os-release
  release=""
  if [ "${VERSION_CODENAME:-}" = bookworm ]; then
    release=bookworm-backports
    cat >/etc/apt/sources.list.d/vellary-bookworm-backports.sources <<SOURCES
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    apt-get update -q
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    ${release:+-t $release} qemu-user-static
  if ! qemu_is_fast; then
    echo "Warning: qemu-i386 $(qemu-i386-static --version | head -n 1) is slow with Wine;" >&2
    echo "each Windows test program will take minutes to start." >&2
  fi
fi

# The F flag makes the kernel open the emulator once, at registration, so it also serves inside
# chroots. That is also why registering again is needed after qemu is upgraded: an existing entry
# keeps running the old file. Entries of other names (a qemu package's own) are replaced too.
for entry in $(i386_entries); do
  echo -1 >"$entry"
done
qemu=$(readlink -f "$(command -v qemu-i386-static)")
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# Executables (type 2) and shared objects such as the dynamic loader (type 3).
echo ":vellary-i386-exec:M::${magic}\x02\x00\x03\x00:${mask}:${qemu}:F" >"$binfmt/register"
echo ":vellary-i386-dyn:M::${magic}\x03\x00\x03\x00:${mask}:${qemu}:F" >"$binfmt/register"

if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "32-bit x86 programs still can't run on this machine; Wine's tests will fail." >&2
  exit 1
fi
echo "32-bit x86 programs run under $(qemu-i386-static --version | head -n 1) (this kernel has no 32-bit support)."
