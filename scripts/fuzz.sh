#!/bin/sh
# Builds the libFuzzer harnesses (preset fuzz, clang) and runs each for a bounded time from its
# seed corpus in fuzz/corpus/<name>. Prints executions and time per fuzzer; exits non-zero on any
# finding (the crashing input is left in build/fuzz/findings/<name>/).
#   KV_FUZZ_SECONDS  seconds per fuzzer (default 60)
#   KV_FUZZERS       names to run (default: all four)
set -u
cd "$(dirname "$0")/.."
seconds=${KV_FUZZ_SECONDS:-60}
fuzzers=${KV_FUZZERS:-"calc_fuzz link_fuzz names_fuzz bluetooth_fuzz"}

cmake --preset fuzz >/dev/null || exit 1
# shellcheck disable=SC2086
cmake --build build/fuzz -j2 --target $fuzzers >build/fuzz/build.log 2>&1 || { cat build/fuzz/build.log; exit 1; }

failed=""
for name in $fuzzers; do
  work=build/fuzz/work/$name
  findings=build/fuzz/findings/$name
  mkdir -p "$work" "$findings"
  log=build/fuzz/$name.log
  start=$(date +%s)
  # The corpus grown in the work folder is kept between runs; the seeds stay as committed.
  build/fuzz/fuzz/$name -max_total_time="$seconds" -max_len=8192 -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$work" "fuzz/corpus/$name" >"$log" 2>&1
  status=$?
  elapsed=$(( $(date +%s) - start ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    echo "$name: ${execs:-?} executions in ${elapsed} s, no finding"
  else
    echo "$name: FINDING after ${execs:-?} executions in ${elapsed} s (exit $status); see $log and $findings/"
    grep -m 5 -E "ERROR|invariant broken|runtime error|SUMMARY" "$log"
    failed="$failed $name"
  fi
done
if [ -n "$failed" ]; then
  echo "Fuzzers with findings:$failed"
  exit 1
fi
echo "All fuzzers ran clean."
