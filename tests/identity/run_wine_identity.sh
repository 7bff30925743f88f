#!/bin/sh
# run_wine_identity.sh NATIVE RUNNER PROGRAM: dumps the Linux and the Wine run of identity_dump and
# compares them. Skips (77) when the Linux build or a Wine runner is missing.
native=$1 runner=$2 program=$3
if [ ! -x "$native" ] || [ -z "$runner" ]; then
  echo "skipped: needs $native (build the dev preset) and a Wine runner" >&2
  exit 77
fi
dir=$(dirname "$program")
"$native" write "$dir/linux.dump" || exit 1
(cd "$dir" && "$runner" "$program" write windows.dump) || exit 1
exec "$native" compare "$dir/linux.dump" "$dir/windows.dump"
