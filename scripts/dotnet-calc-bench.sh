#!/bin/sh
# The cost of a calculation through the .NET package beside the raw P/Invoke calls and the batch
# export (bench/dotnet_calc_bench), against the release build's library, which it builds first.
set -eu
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null && cmake --build build/release -j2 --target KorvantaSDK >/dev/null
LD_LIBRARY_PATH="$(pwd)/build/release/lib" DOTNET_CLI_TELEMETRY_OPTOUT=1 \
  dotnet run -c Release --project bench/dotnet_calc_bench --configfile tests/dotnet/NuGet.config
