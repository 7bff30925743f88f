#!/bin/sh
# Builds the libFuzzer harnesses (preset fuzz, clang) and runs them. Exits non-zero on any finding
# (the input is left in build/fuzz/findings/<name>/).
#   scripts/fuzz.sh                          each fuzzer for a bounded time from fuzz/corpus/<name>
#       KV_FUZZ_SECONDS  seconds per fuzzer (default 60)
#   scripts/fuzz.sh --campaign MINUTES [--jobs N]
#       each fuzzer MINUTES minutes in N parallel jobs (default 1), going on past findings; then the
#       kept corpus fuzz/corpus/<name> is rebuilt, minimised, from itself and the inputs found; prints
#       executions, coverage (cov: edges, ft: features), corpus size and findings per fuzzer
#   KV_FUZZERS  names to run (default: all four)
set -u
cd "$(dirname "$0")/.."
seconds=${KV_FUZZ_SECONDS:-60}
fuzzers=${KV_FUZZERS:-"calc_fuzz link_fuzz names_fuzz bluetooth_fuzz"}
minutes=""
jobs=1
while [ $# -gt 0 ]; do
  case "$1" in
    --campaign) minutes=${2:?--campaign needs MINUTES}; shift 2 ;;
    --jobs) jobs=${2:?--jobs needs N}; shift 2 ;;
    *) echo "usage: $0 [--campaign MINUTES [--jobs N]]" >&2; exit 2 ;;
  esac
done

cmake --preset fuzz >/dev/null || exit 1
# shellcheck disable=SC2086
cmake --build build/fuzz -j2 --target $fuzzers >build/fuzz/build.log 2>&1 || { cat build/fuzz/build.log; exit 1; }

# Inputs larger than a harness can use only slow it down: a record with its spectrum fits in 2 KiB,
# port names and the analyser's answers in 4 KiB (long blocks are drawn from short patterns).
max_len() {
  case "$1" in
    calc_fuzz) echo 2048 ;;
    *) echo 4096 ;;
  esac
}

# The edges and features of a corpus merged into an empty folder, from the merge's log.
coverage() { sed -n 's/^MERGE-OUTER: .* with \([0-9]*\) new features added; \([0-9]*\) new coverage edges.*/cov: \2 ft: \1/p' "$1"; }

run_short() {
  name=$1
  work=build/fuzz/work/$name
  findings=build/fuzz/findings/$name
  mkdir -p "$work" "$findings"
  log=build/fuzz/$name.log
  start=$(date +%s)
  # The corpus grown in the work folder is kept between runs; the seeds stay as committed.
  build/fuzz/fuzz/$name -max_total_time="$seconds" -max_len="$(max_len "$name")" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$work" "fuzz/corpus/$name" >"$log" 2>&1
  status=$?
  elapsed=$(( $(date +%s) - start ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    echo "$name: ${execs:-?} executions in ${elapsed} s, no finding"
    return 0
  fi
  echo "$name: FINDING after ${execs:-?} executions in ${elapsed} s (exit $status); see $log and $findings/"
  grep -m 5 -E "ERROR|invariant broken|runtime error|SUMMARY" "$log"
  return 1
}

run_campaign() {
  name=$1
  work=build/fuzz/campaign/$name
  findings=build/fuzz/findings/$name
  kept=fuzz/corpus/$name
  mkdir -p "$work" "$findings"
  log=build/fuzz/campaign/$name.log
  before=$(ls "$kept" | wc -l)
  found_before=$(ls "$findings" | wc -l)
  start=$(date +%s)
  # Fork mode: N child processes share the work corpus; a finding is kept and the campaign goes on.
  build/fuzz/fuzz/$name -fork="$jobs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time=$(( minutes * 60 )) -max_len="$(max_len "$name")" -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" "$work" "$kept" >"$log" 2>&1
  elapsed=$(( $(date +%s) - start ))
  # Fork mode's progress lines start "#<total executions>: cov: ... ft: ...".
  execs=$(sed -n 's/^#\([0-9]*\): cov:.*/\1/p' "$log" | tail -n 1)

  # The kept corpus rebuilt from scratch: the smallest set of inputs with all the features of the
  # old corpus and the new inputs. Regression inputs (regress-*) stay whatever they add.
  fresh=build/fuzz/campaign/$name.merged
  rm -rf "$fresh" && mkdir -p "$fresh"
  build/fuzz/fuzz/$name -merge=1 -max_len="$(max_len "$name")" -timeout=20 -rss_limit_mb=2048 \
    "$fresh" "$kept" "$work" >"$log.merge" 2>&1 || { echo "$name: merge failed, see $log.merge"; return 1; }
  cp "$kept"/regress-* "$fresh"/ 2>/dev/null
  rm -rf "$kept" && mv "$fresh" "$kept"
  after=$(ls "$kept" | wc -l)
  found=$(( $(ls "$findings" | wc -l) - found_before ))
  echo "$name: ${execs:-?} executions in ${elapsed} s with $jobs jobs; $(coverage "$log.merge"); kept corpus $before -> $after inputs; $found findings"
  [ "$found" -eq 0 ] || { ls "$findings" | tail -n "$found" | sed "s|^|  $findings/|"; return 1; }
}

failed=""
for name in $fuzzers; do
  if [ -n "$minutes" ]; then
    run_campaign "$name" || failed="$failed $name"
  else
    run_short "$name" || failed="$failed $name"
  fi
done
if [ -n "$failed" ]; then
  echo "Fuzzers with findings:$failed"
  exit 1
fi
echo "All fuzzers ran clean."
