#!/bin/sh
# Runs a 32-bit Windows program under Wine for CTest: wine-run.sh with the 32-bit loader and prefix.
KV_WINE_ARCH=win32 exec "$(dirname "$0")/wine-run.sh" "$@"
