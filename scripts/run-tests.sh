#!/bin/sh
# Runs every test of the kit on this machine: the Linux build, the same tests under the
# address and undefined-behaviour sanitizers, the 64-bit and the 32-bit Windows DLL under Wine
# (their device tests talk to the Linux simulator; the two run at once, each in its own Wine
# prefix), the packages (install tree, .deb files, Windows zip), the thread-safety test under
# ThreadSanitizer, and a short run of each fuzzer.
# Installs what is missing first.
# Exit status 0 only if all pass. KV_FUZZ_SECONDS sets the time per fuzzer (default 15).
set -u
cd "$(dirname "$0")/.."
./scripts/install-deps.sh || exit 1

jobs=${KV_TEST_JOBS:-4}
failed=""
step() {
  name=$1; shift
  start=$(date +%s)
  echo "==> $name"
  if "$@"; then status=ok; else status=FAILED; failed="$failed $name"; fi
  echo "<== $name: $status ($(( $(date +%s) - start )) s)"
}
build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}
check() {
  build "$1" && ctest --preset "$1" -j "$jobs"
}
# A step in the background, its output kept in a log of its own; collect waits for each in
# turn and prints its log whole, so steps that ran at once still read one after the other.
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
pending=""
spawn() {
  ( failed=""; step "$@"; [ -z "$failed" ] ) >"$logs/$1.log" 2>&1 &
  pending="$pending $1:$!"
}
collect() {
  for entry in $pending; do
    wait "${entry##*:}" || failed="$failed ${entry%%:*}"
    cat "$logs/${entry%%:*}.log"
  done
  pending=""
}
# The 32-bit build where 32-bit programs cannot run: the build, and its export table read from the files.
i686_without_wine() {
  build windows-i686 && ctest --preset windows-i686 -R '^i686_export_table$' --output-on-failure
}
# The 32-bit build under qemu's user-mode emulation (a kernel without 32-bit support). There every
# Wine program spends some 50 s of emulated start-up (its computing is slower too), so a test takes
# about a minute where it took a fraction of a second. All run but calc_threads_test: a program of
# many threads is what qemu's user-mode emulation runs least reliably (it has crashed there while
# clean natively), it is the slowest (4 minutes), and the tsan step and the 64-bit DLL's run test
# the same calls from many threads natively.
i686_emulated() {
  build windows-i686 && ctest --preset windows-i686 -j "$jobs" -E '^calc_threads_test$'
}
tsan() {
  cmake --preset tsan >/dev/null && cmake --build build/tsan -j2 --target calc_threads_test device_e2e_test &&
    ctest --test-dir build/tsan -L 'tsan|e2e' --output-on-failure
}

# dev first: the Windows device tests drive the Linux simulator it builds.
step dev check dev
step asan check asan
# Both Windows test runs mostly wait on Wine and on the simulators' paced replies.
spawn windows check windows
# A kernel that cannot run 32-bit programs runs them under qemu once it is registered (as root).
scripts/can-run-32bit.sh || scripts/enable-32bit-emulation.sh
if ! scripts/can-run-32bit.sh; then
  echo "windows-i686: built and its export table checked; its tests cannot run here:"
  echo "  this machine's kernel cannot run 32-bit programs, and qemu could not be set up to"
  spawn windows-i686 i686_without_wine
elif [ "$(scripts/can-run-32bit.sh --how)" = natively ]; then
  echo "windows-i686: its tests run natively under 32-bit Wine"
  spawn windows-i686 check windows-i686
else
  echo "windows-i686: its tests run $(scripts/can-run-32bit.sh --how), all but calc_threads_test"
  spawn windows-i686-under-qemu i686_emulated
fi
collect
# The packages as users take them; reuses the dev and Windows builds above.
step package ./tests/packaging/run.sh
step tsan tsan
step fuzz env KV_FUZZ_SECONDS="${KV_FUZZ_SECONDS:-15}" ./scripts/fuzz.sh

if [ -n "$failed" ]; then
  echo "Failed:$failed"
  exit 1
fi
echo "All test runs passed."
