#!/bin/sh
# run_dotnet_test.sh BUILD_DIR SOURCE_DIR: the xunit tests of dotnet/Korvanta.Sdk against this build's
# library, simulator and tool (restoring from tests/dotnet/NuGet.config); then packs Korvanta.Sdk with
# this build's library and runs tests/dotnet/consumer from that package alone, with nothing on the
# library path, against the tool's calculation. Everything it makes goes to BUILD_DIR/dotnet.
# Exits 77 (skipped) when dotnet is missing.
set -eu
build=$1 source=$2
if ! command -v dotnet >/dev/null 2>&1; then
  echo "skipped: the .NET SDK (dotnet) is not installed"
  exit 77
fi
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1 MSBUILDDISABLENODEREUSE=1
out="$build/dotnet"
KV_BUILD_DIR="$build" LD_LIBRARY_PATH="$build/lib" \
  dotnet test "$source/tests/dotnet/Korvanta.Sdk.Tests.csproj" --artifacts-path "$out/tests" \
  --logger "console;verbosity=normal"

rm -rf "$out/package" "$out/consumer" "$out/consumer-packages"
mkdir -p "$out/package"
strip --strip-unneeded -o "$out/package/libKorvantaSDK.so" "$build/lib/libKorvantaSDK.so"
dotnet pack "$source/dotnet/Korvanta.Sdk.csproj" -c Release --nologo -v quiet --artifacts-path "$out/pack" \
  -o "$out/package" -p:KvLinuxLibrary="$out/package/libKorvantaSDK.so"
package=$(basename "$out"/package/Korvanta.Sdk.*.nupkg .nupkg)
# A packages folder of its own, so that no earlier package of the same version is taken from a cache.
env -u LD_LIBRARY_PATH NUGET_PACKAGES="$out/consumer-packages" dotnet run --project "$source/tests/dotnet/consumer" \
  --artifacts-path "$out/consumer" -p:RestoreSources="$out/package" -p:KvPackageVersion="${package#Korvanta.Sdk.}" \
  >"$out/consumer.txt"
"$build/bin/korvanta" calc --model 7 --sex 1 --age 48 --height 188 --weight 72.8 --activityLevel 3 --waist 79 \
  --hip 106 --impedanceF1 582 --impedanceF2 520 --impedanceF3 488 --impedanceF4 468 --resistance 515 \
  --format csv | awk -F, 'NR == 1 { for (i = 1; i <= NF; ++i) column[$i] = i }
    NR == 2 { line = $column["fatPercent"] "," $column["fatPercentLow"] "," $column["fatPercentHigh"]; print line; print line }' \
  >"$out/tool.txt"
if ! diff "$out/tool.txt" "$out/consumer.txt"; then
  echo "FAILED: the packaged library's calculation (right) differs from the tool's (left)"
  exit 1
fi
echo "consumer of $package.nupkg: $(head -n 1 "$out/consumer.txt") as the tool"
