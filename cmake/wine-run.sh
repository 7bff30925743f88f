#!/bin/sh
# Runs a Windows program under Wine for CTest, in the project's own Wine prefix: the 64-bit loader by
# default, the 32-bit one with KV_WINE_ARCH=win32 (wine32-run.sh), each in a prefix of its own so the two
# builds' tests can run at once. "wine-run.sh --prefix" prints the prefix a run would use.
if [ "${KV_WINE_ARCH:-win64}" = win32 ]; then
  loader=/usr/lib/wine/wine
  : "${WINEPREFIX:=${KV_WINEPREFIX32:-$HOME/.wine-korvanta-i686}}"
  export WINEARCH=win32
else
  loader=/usr/lib/wine/wine64
  : "${WINEPREFIX:=${KV_WINEPREFIX:-$HOME/.wine-korvanta}}"
fi
export WINEPREFIX
if [ "${1:-}" = --prefix ]; then
  echo "$WINEPREFIX"
  exit 0
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$loader" wineboot --init >/dev/null 2>&1
  /usr/lib/wine/wineserver -w 2>/dev/null || true
fi
exec "$loader" "$@"
