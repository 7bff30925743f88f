#!/bin/sh
# Exit status 0 when this machine can run the 32-bit Wine loader. Some kernels are built or started
# without 32-bit support, and every 32-bit program then fails with "Exec format error";
# scripts/enable-32bit-emulation.sh makes them run there under qemu's user-mode emulator.
# With --how it also prints how they run: "natively", or "under emulation by PROGRAM" when an
# enabled binfmt_misc entry hands 32-bit x86 ELF files to PROGRAM (the kernel tries such entries
# before its own loader, so this holds even where the kernel could run them itself).
/usr/lib/wine/wine --version >/dev/null 2>&1 || exit 1
[ "${1:-}" = --how ] || exit 0
for entry in /proc/sys/fs/binfmt_misc/*; do
  case ${entry##*/} in register | status) continue ;; esac
  # An entry's magic in hex: bytes 0-4 "\x7fELF" and class 1 (32-bit), bytes 18-19 machine 3 (x86).
  emulator=$(awk '$1 == "enabled" { on = 1 } $1 == "interpreter" { path = $2 }
    $1 == "offset" { at = $2 } $1 == "magic" { m = $2 }
    END { if (on && at == 0 && substr(m, 1, 10) == "7f454c4601" && substr(m, 37, 4) == "0300")
            print path }' \
    "$entry" 2>/dev/null)
  if [ -n "$emulator" ]; then
    echo "under emulation by $emulator"
    exit 0
  fi
done
echo natively
