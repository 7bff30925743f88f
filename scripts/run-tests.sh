#!/bin/sh
# Runs every test of the kit on this machine: the Linux build, the same tests under the
# address and undefined-behaviour sanitizers, the Windows DLL under Wine, and the 32-bit
# Windows export check. Installs what is missing first. Exit status 0 only if all pass.
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

step dev check dev
step asan check asan
step windows check windows
step windows-i686 sh -c 'cmake --preset windows-i686 >/dev/null && cmake --build --preset windows-i686 &&
  cmake -DLIBRARY=build/windows-i686/bin/KorvantaSDK.dll -DREADER=i686-w64-mingw32-objdump -DFORMAT=pe
        -DNAMES=sdk/export_names.txt -P tests/sdk/check_exports.cmake'

if [ -n "$failed" ]; then
  echo "Failed:$failed"
  exit 1
fi
echo "All test runs passed."
