#!/bin/sh
# Lets a kernel without 32-bit support run 32-bit x86 programs (the 32-bit Wine loader) through
# qemu's user-mode emulator: registers /usr/bin/qemu-i386-static (Debian's qemu-user-static,
# installed by install-deps.sh) with binfmt_misc for 32-bit x86 ELF files. Needs root.
# Does nothing when scripts/can-run-32bit.sh already passes, natively or through an entry made
# before; exit status 0 only if it passes afterwards. The entry lasts until the next reboot.
#   --always   register even where 32-bit programs already run (to try the emulated test run
#              on a kernel with 32-bit support; "can-run-32bit.sh --how" tells which way they run)
#   --remove   remove the entry, so that such a kernel runs them itself again
set -u
cd "$(dirname "$0")/.."
action=${1:-}
case $action in
  "") scripts/can-run-32bit.sh && exit 0 ;;
  --always | --remove) ;;
  *) echo "usage: $0 [--always | --remove]" >&2; exit 2 ;;
esac

fail() {
  echo "enable-32bit-emulation: $*" >&2
  exit 1
}
emulator=/usr/bin/qemu-i386-static
binfmt=/proc/sys/fs/binfmt_misc
name=qemu-i386
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    exec sudo -n "$(pwd)/scripts/enable-32bit-emulation.sh" "$@"
  fi
  fail "binfmt_misc entries are made and removed by root (or through sudo without a password)"
fi
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" || fail "cannot mount binfmt_misc on $binfmt"
fi
# An entry of this name left from before is replaced: reaching here, it did not make the check pass
# (its emulator gone, say), or it is to go.
if [ -e "$binfmt/$name" ]; then
  echo -1 >"$binfmt/$name" || fail "cannot remove the entry $binfmt/$name"
fi
[ "$action" = --remove ] && exit 0
[ -x "$emulator" ] || fail "$emulator is missing (Debian package qemu-user-static)"
grep -qx enabled "$binfmt/status" || fail "binfmt_misc is switched off ($binfmt/status)"

# The first 20 bytes of the file: the ELF identification (magic number, 32-bit class,
# little-endian data, version 1, then the OS ABI, ABI version and padding, which are not looked
# at), e_type (2, an executable; the mask's cleared low bit lets 3, a position-independent one,
# match too) and e_machine (3, Intel 80386). Both fields are little-endian 16-bit numbers.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xff\xff\x00\x00\x00\x00\x00\x00\x00\x00\x00\xfe\xff\xff\xff'
# Flag F opens the emulator now, so the entry also works in other mount namespaces and chroots.
printf '%s\n' ":$name:M::$magic:$mask:$emulator:F" >"$binfmt/register" ||
  fail "the kernel refused the entry for $emulator"

scripts/can-run-32bit.sh || fail "32-bit programs still do not run after registering $emulator"
echo "enable-32bit-emulation: 32-bit x86 programs now run under $emulator"
