#!/bin/sh
# windows-zip.sh: KorvantaSDK-<version>-windows.zip from the two Windows builds, laid out as
# README-windows.txt lists (dotnet/KorvantaSDK.cs only where the tree has it; the reference manual
# from the x64 build's reference_manual target).
# Usage: windows-zip.sh X64_BUILD_DIR X86_BUILD_DIR OUTPUT_DIR
set -eu
x64=$1 x86=$2
out=$(mkdir -p "$3" && cd "$3" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(KorvantaSDK VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
name=KorvantaSDK-$version-windows
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/$name
mkdir -p "$root/include" "$root/x64" "$root/x86" "$root/examples" "$out"

if [ -f "$src/dotnet/KorvantaSDK.cs" ]; then
  mkdir "$root/dotnet" && cp "$src/dotnet/KorvantaSDK.cs" "$root/dotnet/"
  tag='s/^{dotnet}//'
else
  tag='/^{dotnet}/d'
fi
sed -e "$tag" -e "s/@VERSION@/$version/" "$src/packaging/README-windows.txt.in" | sed 's/$/\r/' >"$root/README-windows.txt"
cp "$src/base/KorvantaSDK.h" "$src/base/KorvantaSession.h" "$src/base/result_codes.inc" "$root/include/"
cp "$x86/sdk/KorvantaSDK.def" "$root/"
cp "$src/tools/example/calc_example.c" "$root/examples/"
mkdir -p "$root/docs" && cp -R "$x64/reference/html" "$root/docs/reference"
for arch in x64 x86; do
  eval build=\$$arch
  cp "$build/bin/KorvantaSDK.dll" "$build/lib/KorvantaSDK.lib" "$build/lib/libKorvantaSDK.dll.a" \
     "$build/bin/korvanta.exe" "$root/$arch/"
done
rm -f "$out/$name.zip"
(cd "$stage" && zip -qr -X "$out/$name.zip" "$name")
echo "$out/$name.zip"
