#!/bin/sh
# soak.sh: a long run of the device link against the simulator, outside CI. Three phases of kv_soak:
# open/connect/download/close cycles with a human and an equine analyser in turn, open/close cycles,
# and downloads from an analyser that hangs up at a random byte; each prints its figures (descriptors
# and resident memory before and after, mismatches against the first download, result codes).
# Usage: scripts/soak.sh [--short] [--wine]   (--wine: the x64 DLL's driver under Wine, a shorter run)
set -u
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src" || exit 1
short=0 wine=0
for arg in "$@"; do
  case "$arg" in
    --short) short=1 ;;
    --wine) wine=1 ;;
    *) echo "usage: scripts/soak.sh [--short] [--wine]" >&2; exit 2 ;;
  esac
done
# Runs of each phase: cycles, open-close, hang-ups. A download takes about two seconds of serial
# pacing, a hung-up one three more of silence before the library gives up.
if [ $wine = 1 ]; then set -- 120 500 60; [ $short = 1 ] && set -- 10 50 6
else set -- 300 1000 200; [ $short = 1 ] && set -- 30 100 20; fi
cycles=$1 openclose=$2 hangups=$3
# The hang-up draws come from the simulator's own generator; the seed is printed to repeat a run.
seed=${KV_SOAK_SEED:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}
# Beyond the 3221 reply bytes of a download, so about one download in five is not cut.
hangup="hang-up:within=4000,seed=$seed"

build() {  # build PRESET TARGET...
  preset=$1; shift
  [ -f "build/$preset/CMakeCache.txt" ] ||
    cmake --preset "$preset" -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null ||
    exit 1
  cmake --build "build/$preset" --target "$@" -j2 >/dev/null || { echo "soak: build/$preset failed" >&2; exit 1; }
}
build dev kv_simulator kv_soak
[ $wine = 1 ] && build windows kv_soak

work=$(mktemp -d)
pids=""
trap 'for p in $pids; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
started=$(date +%s)
echo "soak: cycles $cycles, open-close $openclose, hang-ups $hangups; fault $hangup; $([ $wine = 1 ] && echo Wine x64 || echo Linux)"

phase() {  # phase KV_SOAK_ARGUMENTS...: prints kv_soak's line of figures; fails when kv_soak does
  if [ $wine = 1 ]; then
    sh tests/e2e/run_wine_e2e.sh build/dev/bin/kv_simulator "$work/sims.txt" cmake/wine-run.sh \
      build/windows/bin/kv_soak.exe "$@" >"$work/out"
  else
    build/dev/bin/kv_soak "$@" >"$work/out"
  fi
  rc=$?
  tr -d '\r' <"$work/out" | tee -a "$work/figures"
  return $rc
}

if [ $wine = 1 ]; then
  printf '71 --model 7\n72 --model 12\n73 --model 7 --fault %s\n' "$hangup" >"$work/sims.txt"
  human='\\.\COM71' equine='\\.\COM72' hungup='\\.\COM73'
else
  serve() {  # serve NAME ARGUMENTS...: starts a simulator, which writes its terminal's path to $work/NAME
    name=$1; shift
    build/dev/bin/kv_simulator "$@" >"$work/$name" 2>&1 &
    pids="$pids $!"  # here, not in a subshell, so the exit trap stops it
    for _ in $(seq 100); do [ -s "$work/$name" ] && break; sleep 0.05; done
  }
  serve human --model 7
  serve equine --model 12
  serve hungup --model 7 --fault "$hangup"
  human=$(head -n 1 "$work/human") equine=$(head -n 1 "$work/equine") hungup=$(head -n 1 "$work/hungup")
fi

status=0
run() { "$@" || status=1; }
run phase --mode cycles --count "$cycles" --human "$human" --equine "$equine"
run phase --mode open-close --count "$openclose" --human "$human"
run phase --mode hangups --count "$hangups" --human "$hungup" --reference "$human"
# The hung-up phase's reference comes from another run of the driver: both must be the same download.
first=$(sed -n 's/^cycles: .*references=\(human:[0-9a-f]*\).*/\1/p' "$work/figures")
last=$(sed -n 's/^hangups: .*references=\(human:[0-9a-f]*\).*/\1/p' "$work/figures")
if [ -z "$first" ] || [ "$first" != "$last" ]; then
  echo "soak: the human reference differs between phases ($first, $last)" >&2
  status=1
fi
echo "soak: $([ $status = 0 ] && echo passed || echo FAILED) in $(($(date +%s) - started)) s"
exit $status
