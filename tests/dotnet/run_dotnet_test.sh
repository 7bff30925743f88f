#!/bin/sh
# run_dotnet_test.sh BUILD_DIR SOURCE_DIR: compiles dotnet/KorvantaSDK.cs and DotnetTest.cs with mcs,
# gets the C sizes, a calculation and a download from the C path, and runs the test under Mono.
# Exits 77 (skipped) when mcs or mono is missing.
set -eu
build=$1 source=$2
if ! command -v mcs >/dev/null 2>&1 || ! command -v mono >/dev/null 2>&1; then
  echo "skipped: mcs or mono not found (apt-get install mono-mcs mono-runtime)"
  exit 77
fi
work=$(mktemp -d)
sim_pid=
trap '[ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mcs -nologo -warnaserror -out:"$work/DotnetTest.exe" "$source/dotnet/KorvantaSDK.cs" "$source/tests/dotnet/DotnetTest.cs"
"$build/bin/kv_struct_sizes" >"$work/sizes.txt"
"$build/bin/korvanta" calc --model 7 --sex 1 --age 48 --height 188 --weight 72.8 --activityLevel 3 --waist 79 \
  --hip 106 --impedanceF1 582 --impedanceF2 520 --impedanceF3 488 --impedanceF4 468 --resistance 515 \
  --format csv >"$work/calc.csv"
"$build/bin/kv_simulator" --model 7 >"$work/sim.txt" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/sim.txt" ] && break; sleep 0.1; done
port=$(head -n 1 "$work/sim.txt")
"$build/bin/korvanta" download --port "$port" --format csv --utc --progress off >"$work/download.csv"
LD_LIBRARY_PATH="$build/lib" mono "$work/DotnetTest.exe" "$work/sizes.txt" "$work/calc.csv" "$work/download.csv" "$port"
