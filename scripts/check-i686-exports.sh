#!/bin/sh
# check-i686-exports.sh: builds the 32-bit DLL (preset windows-i686) and reads its tables: exactly the 32
# undecorated export names in ascending order, and no decorated (@N) import, which would not load on Windows.
# Usage: check-i686-exports.sh [build-dir]; KV_NO_BUILD=1 only checks an existing build (exit 77 if none).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/windows-i686}
dll=$build/bin/KorvantaSDK.dll
objdump=i686-w64-mingw32-objdump

if [ "${KV_NO_BUILD:-0}" != 1 ]; then
  (cd "$root" && cmake --preset windows-i686 >/dev/null && cmake --build "$build" --target KorvantaSDK -j2 >/dev/null)
fi
if [ ! -f "$dll" ]; then
  echo "no 32-bit DLL at $dll (build the windows-i686 preset first)"
  exit 77
fi

if ! "$objdump" -f "$dll" | grep -q 'file format pei-i386'; then
  echo "$dll is not a 32-bit (i686) DLL"
  exit 1
fi

cmake -DLIBRARY="$dll" -DREADER="$objdump" -DNAMES="$root/sdk/export_names.txt" \
      -P "$root/tests/sdk/check_exports.cmake"

# Import table: "DLL Name: x" heads each DLL's entries; entry lines end in "<hint> <name>".
decorated=$("$objdump" -p "$dll" | awk '
  /^\tDLL Name:/ { dll = $3; next }
  /^The Import Tables/ { inImports = 1; next }
  /^The Export Tables/ || /^PE File Base Relocations/ { inImports = 0 }
  inImports && dll != "" && NF >= 2 && $NF ~ /@[0-9]+$/ { print dll ": " $NF }')
if [ -n "$decorated" ]; then
  echo "decorated imports in $dll:"
  echo "$decorated"
  exit 1
fi
bt=$("$objdump" -p "$dll" | awk '
  /^The Import Tables/ { inImports = 1; next }
  /^The Export Tables/ || /^PE File Base Relocations/ { inImports = 0 }
  /^\tDLL Name:/ { dll = tolower($3); next }
  inImports && dll == "irprops.cpl" && $1 ~ /^[0-9a-f]+$/ && NF >= 3 && $NF ~ /^[A-Za-z_]/ { n++ }
  END { print n + 0 }')
echo "imports undecorated; $bt functions imported from irprops.cpl"
