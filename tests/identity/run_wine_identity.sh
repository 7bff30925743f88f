#!/bin/sh
# run_wine_identity.sh NATIVE RUNNER PROGRAM: dumps the Linux and the Wine run of identity_dump and
# compares them byte for byte. Skips (77) when the Linux build or a Wine runner is missing.
native=$1 runner=$2 program=$3
if [ ! -x "$native" ] || [ -z "$runner" ]; then
  echo "skipped: needs $native (build the dev preset) and a Wine runner" >&2
  exit 77
fi
dir=$(dirname "$program")
"$native" "$dir/linux.dump" || exit 1
(cd "$dir" && "$runner" "$program" windows.dump) || exit 1
# cmp names the first differing byte; a record is 412 bytes, the single calls' 24000, then the
# batch's 24000 (identity_dump.cpp).
differ=$(cmp "$dir/linux.dump" "$dir/windows.dump" 2>&1) && exit 0
echo "$differ"
byte=$(echo "$differ" | sed -n 's/.* differ: byte \([0-9]*\).*/\1/p')
[ -n "$byte" ] || exit 1
record=$(((byte - 1) / 412)) calls=single
[ "$record" -ge 24000 ] && record=$((record - 24000)) calls=batch
echo "first difference in the $calls calls' record $record, word $(((byte - 1) % 412 / 4))"
exit 1
