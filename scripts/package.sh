#!/bin/sh
# package.sh: builds the kit's packages into dist/ (or the folder given): the Debian packages
# libkorvantasdk1, libkorvantasdk-dev (with the reference manual) and korvanta-tools from the dev build,
# KorvantaSDK-<version>-windows.zip from the x64 and x86 Windows builds, and the NuGet package
# Korvanta.Sdk.<version>.nupkg with the libraries of all three (when the .NET SDK is installed).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
out=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)
launch="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
command -v ccache >/dev/null || launch=""
for preset in dev windows windows-i686; do
  # shellcheck disable=SC2086
  cmake --preset "$preset" $launch >/dev/null
done
cmake --build build/dev -j2 --target KorvantaSDK korvanta kv_simulator reference_manual
cmake --build build/windows -j2 --target KorvantaSDK KorvantaSDK_msvc_lib korvanta reference_manual
cmake --build build/windows-i686 -j2 --target KorvantaSDK KorvantaSDK_msvc_lib korvanta
rm -f build/dev/packages/*.deb
(cd build/dev && cpack -G DEB -B "$PWD/packages" >/dev/null 2>&1)
cp build/dev/packages/*.deb "$out/"
./packaging/windows-zip.sh build/windows build/windows-i686 "$out" >/dev/null
if command -v dotnet >/dev/null; then
  mkdir -p build/dev/nuget
  strip --strip-unneeded -o build/dev/nuget/libKorvantaSDK.so build/dev/lib/libKorvantaSDK.so
  rm -f "$out"/Korvanta.Sdk.*.nupkg
  DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 dotnet pack dotnet/Korvanta.Sdk.csproj -c Release -v quiet \
    --artifacts-path build/dev/nuget/pack -o "$out" -p:KvLinuxLibrary="$PWD/build/dev/nuget/libKorvantaSDK.so" \
    -p:KvWin64Library="$PWD/build/windows/bin/KorvantaSDK.dll" \
    -p:KvWin86Library="$PWD/build/windows-i686/bin/KorvantaSDK.dll" >/dev/null
else
  echo "package.sh: dotnet not found, so no Korvanta.Sdk NuGet package" >&2
fi
ls -l "$out"
