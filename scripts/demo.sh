#!/bin/sh
# The kit's demo on a machine with no analyser: builds the library, the simulator and `korvanta`,
# starts a simulated analyser on a pseudo-terminal, and runs the road from it to results and normal
# ranges with the tool, into an archive and an HTML report. Writes only under build/.
# Exit status 0 only if every step worked.
#   ./scripts/demo.sh [MODEL]     MODEL: the simulated analyser's model code (default 7, a Quattron 40)
set -eu
cd "$(dirname "$0")/.."
model=${1:-7}
bin=build/dev/bin
out=build/dev/demo

say() { printf '\n==> %s\n' "$*"; }

./scripts/install-deps.sh
say "Building the library, the simulator and korvanta (cmake --preset dev)"
cmake --preset dev >/dev/null
cmake --build build/dev -j2 --target KorvantaSDK korvanta

rm -rf "$out"
mkdir -p "$out"
mkfifo "$out/port"
sim_pid=""
stop_simulator() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}
trap stop_simulator EXIT
trap 'exit 130' INT TERM

say "Starting a simulated analyser (korvanta simulate --model $model)"
"$bin/korvanta" simulate --model "$model" >"$out/port" 2>"$out/simulator.log" &
sim_pid=$!
# The simulator prints its port path once a host can open it; reading it waits exactly that long.
port=""
read -r port <"$out/port" || true
if [ -z "$port" ]; then
  echo "demo: the simulator did not start:" >&2
  cat "$out/simulator.log" >&2
  exit 1
fi
echo "simulated analyser ready on $port"

say "korvanta info --port $port"
"$bin/korvanta" info --port "$port"

say "korvanta download --port $port --format csv --output $out/tests.csv"
"$bin/korvanta" download --port "$port" --format csv --output "$out/tests.csv"
echo "first lines of $out/tests.csv (of $(wc -l <"$out/tests.csv") lines, cut at 150 characters):"
head -n 3 "$out/tests.csv" | cut -c 1-150

say "korvanta download --port $port --format json --output $out/tests.json"
"$bin/korvanta" download --port "$port" --format json --output "$out/tests.json"
say "korvanta calc --input $out/tests.json --format sheet (the first test read back, all its results)"
head -n 2 "$out/tests.json" | sed -e 's/,$//' -e '1d' >"$out/first_test.json"
"$bin/korvanta" calc --input "$out/first_test.json" --format sheet

say "korvanta download --port $port (results beside their normal ranges)"
"$bin/korvanta" download --port "$port" --format table

say "korvanta download --port $port --archive $out/tests.korvanta (twice: the second adds nothing new)"
"$bin/korvanta" download --port "$port" --archive "$out/tests.korvanta" --format csv --output /dev/null
"$bin/korvanta" download --port "$port" --archive "$out/tests.korvanta" --format csv --output /dev/null
"$bin/korvanta" archive list --archive "$out/tests.korvanta" | head -n 6

say "korvanta report --input $out/tests.korvanta --output $out/report.html"
"$bin/korvanta" report --input "$out/tests.korvanta" --output "$out/report.html"

stop_simulator
say "Done: the simulator is stopped; the downloads are in $out/tests.csv and $out/tests.json"
echo "archive: $(pwd)/$out/tests.korvanta"
echo "report:  $(pwd)/$out/report.html"
