#!/bin/sh
# expand_result_codes.sh FILE: Doxygen's input filter for KorvantaSDK.h. Writes FILE with the rows of
# result_codes.inc (beside it) in place of its #include, each as an enumerator documented by its meaning,
# so the manual lists every code from the one table. All go on the include's line: warnings then give
# the header's own line numbers.
set -eu
awk -v table="$(dirname "$1")/result_codes.inc" '
/^#include "result_codes.inc"/ {
  while ((getline row < table) > 0) {
    if (row !~ /^KV_RESULT_CODE\(/) continue
    sub(/^KV_RESULT_CODE\(/, "", row)
    sub(/"\)[ \t\r]*$/, "", row)
    i = index(row, ","); name = substr(row, 1, i - 1); row = substr(row, i + 1)
    i = index(row, ","); value = substr(row, 1, i - 1); row = substr(row, i + 1)
    sub(/^[ \t]*"/, "", row); gsub(/[ \t]/, "", value)
    printf "%s = %s, /**< %s */ ", name, value, row
  }
  print ""
  next
}
{ print }' "$1"
