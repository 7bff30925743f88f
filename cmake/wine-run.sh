#!/bin/sh
# Runs a Windows program under Wine for CTest, in the project's own Wine prefix.
: "${WINEPREFIX:=${KV_WINEPREFIX:-$HOME/.wine-korvanta}}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
  /usr/lib/wine/wineserver -w 2>/dev/null || true
fi
exec /usr/lib/wine/wine64 "$@"
