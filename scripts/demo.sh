#!/bin/sh
# The kit's demo on a machine with no analyser: builds the library, the simulator and `korvanta`,
# starts a simulated analyser on a pseudo-terminal, and runs the road from it to results and normal
# ranges with the tool, into an archive, an HTML report and an HL7 FHIR bundle; then downloads from it and a second
# simulated analyser of the other kind at once, and probes both. Writes only under build/.
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
sim_pids=""
stop_simulators() {
  for pid in $sim_pids; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  sim_pids=""
}
trap stop_simulators EXIT
trap 'exit 130' INT TERM

# start_simulator MODEL NAME: a simulated analyser in the background; its port path in $port.
start_simulator() {
  say "Starting a simulated analyser (korvanta simulate --model $1)"
  mkfifo "$out/$2.port"
  "$bin/korvanta" simulate --model "$1" >"$out/$2.port" 2>"$out/$2.log" &
  sim_pids="$sim_pids $!"
  # The simulator prints its port path once a host can open it; reading it waits exactly that long.
  port=""
  read -r port <"$out/$2.port" || true
  if [ -z "$port" ]; then
    echo "demo: the simulator did not start:" >&2
    cat "$out/$2.log" >&2
    exit 1
  fi
  echo "simulated analyser ready on $port"
}

start_simulator "$model" simulator

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

say "korvanta export --input $out/tests.korvanta --format fhir --output $out/bundle.json (HL7 FHIR R4)"
"$bin/korvanta" export --input "$out/tests.korvanta" --format fhir --output "$out/bundle.json"
echo "$out/bundle.json: $(grep -c '"resourceType": "Observation"' "$out/bundle.json") Observations," \
  "$(grep -c '"resourceType": "Device"' "$out/bundle.json") Device; the first body-fat result:"
grep -m 1 -B 12 -A 40 '"code": "41982-0"' "$out/bundle.json" | sed -n '/"code": {/,/"device"/p' | head -n 40

# A second analyser of the other kind, and both downloaded at once: a session and a thread each.
case "$model" in 12|13) model2=7 ;; *) model2=12 ;; esac
first=$port
start_simulator "$model2" simulator2
second=$port
say "korvanta download --port $first --port $second --progress on --trace $out/trace.txt (two analysers at once)"
"$bin/korvanta" download --port "$first" --port "$second" --format csv --output "$out/both.csv" \
  --progress on --trace "$out/trace.txt"
echo "first lines of $out/trace.txt (every byte on both lines; cut at 100 characters):"
head -n 6 "$out/trace.txt" | cut -c 1-100

say "korvanta ports, then korvanta ports --probe --port $first --port $second (pseudo-terminals are in no system list)"
"$bin/korvanta" ports
"$bin/korvanta" ports --probe --port "$first" --port "$second"

stop_simulators
say "Done: the simulators are stopped; the downloads are in $out/tests.csv, $out/tests.json and $out/both.csv"
echo "archive: $(pwd)/$out/tests.korvanta"
echo "report:  $(pwd)/$out/report.html"
