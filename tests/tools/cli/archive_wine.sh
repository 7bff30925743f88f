#!/bin/sh
# archive_wine.sh: the Windows korvanta.exe's archive under Wine, run by run_wine_e2e.sh with a simulated
# analyser behind a COM port: two downloads into one archive (the second adds nothing, as `archive list`
# counts), then `archive export` and `report --input` from it, each against what the download wrote. The
# archive and the report are named by Windows paths, backslashes and letters no one ANSI code page holds.
# Usage: run_wine_e2e.sh SIMULATOR data/wine_archive_simulators.txt WINE_RUN archive_wine.sh KORVANTA_EXE
WINE_RUN=$1 KORVANTA=$2
port='\\.\COM'$(awk '/^[0-9]/ {print $1; exit}' "$KV_E2E_SIMULATORS")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8 TZ=UTC  # Wine reads the arguments' UTF-8; times in UTC
windows="Z:$(echo "$work" | tr / '\\')"
archive="$windows\\tests-é-δ-測.korvanta"
fails=0
check() {  # check NAME EXPECTED ACTUAL, never met by nothing
  [ -n "$3" ] && [ "$2" = "$3" ] && echo "ok   $1" || { printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"; fails=$((fails + 1)); }
}
korvanta() {  # korvanta OUT ARGS...: standard output to $work/OUT, the exit status and messages to $work/OUT.err
  out=$1; shift
  "$WINE_RUN" "$KORVANTA" "$@" >"$work/$out.crlf" 2>"$work/$out.err"
  echo "status $?" >>"$work/$out.err"
  tr -d '\r' <"$work/$out.crlf" >"$work/$out"
}

for n in 1 2; do
  korvanta download$n.csv download --port "$port" --archive "$archive" --format csv --utc
done
check "downloads: every test new, then none" "33 new of 33 tests status 0 0 new of 33 tests status 0" \
  "$(cat "$work"/download[12].csv.err | grep -o '[0-9]* new of .* tests\|status .*' | tr '\n' ' ' | sed 's/ $//')"
check "the second download wrote what the first did" "$(cat "$work/download1.csv")" "$(cat "$work/download2.csv")"
check "the archive's name, as Windows wrote it" "tests-é-δ-測.korvanta" "$(cd "$work" && ls ./*.korvanta | sed 's|^\./||')"

korvanta list archive list --archive "$archive"
added=$(awk '$1 == "download" {on = 1; next} on && !NF {exit} on {printf "%s ", $NF}' "$work/list")
check "archive list: counts, and tests added per download" "2 downloads, 33 tests|33 0 |status 0" \
  "$(grep -o '[0-9]* downloads, [0-9]* tests' "$work/list")|$added|$(tail -n 1 "$work/list.err")"

korvanta export.csv archive export --archive "$archive" --format csv --utc
check "archive export: the downloaded tests" "$(sort "$work/download1.csv")" "$(sort "$work/export.csv")"

korvanta report.out report --input "$archive" --output "$windows\\archive-測.html" --utc
korvanta csv-report.out report --input "$windows\\download1.csv" --output "$windows\\csv.html" --utc
check "report from the archive: as from the download's CSV, 33 tests" "status 0 33" \
  "$(tail -n 1 "$work/report.out.err") $(grep -c 'class="page" id="test-' "$work/archive-測.html")"
check "report pages" "$(cat "$work/csv.html")" "$(cat "$work/archive-測.html")"
[ "$fails" -eq 0 ]
