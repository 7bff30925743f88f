#!/bin/sh
# Installs everything the build, the tests and the demo need on a fresh Debian 12 machine.
# Run as root (or through sudo). Safe to run again: apt-get skips what is already there.
set -eu
packages="
  build-essential cmake ninja-build pkg-config git
  lintian llvm zip unzip fakeroot help2man
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  nlohmann-json3-dev libcli11-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
  wine64 wine32:i386 wine qemu-user-static
  gcovr clang libclang-rt-14-dev
  libsystemd-dev dbus-daemon python3-dbusmock
  python3-pytest python3-pandas python3-setuptools python3-pip
  libsqlite3-dev libxml2-dev libpng-dev chromium poppler-utils
  python3-jsonschema doxygen
"
# Sources and data fetched from the npm registry at build time (scripts/fetch-npm-package.sh):
# Debian's npm where the machine has no Node.js of its own.
command -v npm >/dev/null 2>&1 || packages="$packages npm"
# shellcheck disable=SC2086
if dpkg-query -W -f='${Status}\n' $packages 2>/dev/null | grep -qv '^install ok installed$'; then
  missing=yes
elif [ "$(dpkg-query -W -f='${Status}\n' $packages 2>/dev/null | wc -l)" -lt "$(echo $packages | wc -w)" ]; then
  missing=yes
else
  missing=no
fi
if [ "$missing" = no ] && [ "${1:-}" != "--force" ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  exec sudo "$0" "$@"
fi
export DEBIAN_FRONTEND=noninteractive
# The 32-bit Wine loader that runs the i686 build's tests comes from the i386 architecture; on a
# kernel without 32-bit support, qemu-user-static runs it (scripts/enable-32bit-emulation.sh).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $packages
