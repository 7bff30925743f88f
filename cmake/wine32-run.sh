#!/bin/sh
# Runs a 32-bit Windows program under Wine for CTest: wine-run.sh with the 32-bit loader and prefix.
# Where 32-bit programs run only under qemu's user-mode emulation (scripts/can-run-32bit.sh --how),
# a 32-bit prefix would have every Wine process emulated too (services, devices, desktop: making the
# prefix alone takes over a quarter of an hour). There the program runs in a 64-bit prefix of its
# own, as a 32-bit program does on 64-bit Windows: Wine's processes run natively and only the
# program is emulated.
here=$(dirname "$0")
case $("$here/../scripts/can-run-32bit.sh" --how) in
  "under emulation"*)
    KV_WINEPREFIX=${KV_WINEPREFIX_WOW64:-$HOME/.wine-korvanta-wow64}
    export KV_WINEPREFIX
    exec "$here/wine-run.sh" "$@" ;;
esac
KV_WINE_ARCH=win32 exec "$here/wine-run.sh" "$@"
