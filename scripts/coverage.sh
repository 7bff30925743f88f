#!/bin/sh
# Line coverage of the library by the unit tests: builds the coverage preset (gcc --coverage),
# runs the tests (the end-to-end ones too with KV_COVERAGE_E2E=1) and prints gcovr's line
# coverage per folder: base/, calc/, link/, bluetooth/, sdk/, tools/, then the library as a whole,
# and a PASS/FAIL line for each folder that has a target. Exits non-zero when a test or a target fails.
# Works with ccache (CMAKE_CXX_COMPILER_LAUNCHER=ccache, CCACHE_BASEDIR set): the objects then name
# their sources relative to the folder make compiled them in (build/coverage/<folder>), which gcovr
# finds by trying the folders above each .gcda; --object-directory would make it try only the build root.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build/coverage"
report=$(mktemp) || exit 1
trap 'rm -f "$report"' EXIT
if [ -f "$build/CMakeCache.txt" ]; then
  cmake "$build" >"$report" 2>&1 || { cat "$report"; exit 1; }  # keeps a launcher set earlier
else
  cmake --preset coverage >"$report" 2>&1 || { cat "$report"; exit 1; }
fi
cmake --build "$build" -j2 || exit 1
find "$build" -name '*.gcda' -delete
if [ "${KV_COVERAGE_E2E:-0}" = 1 ]; then
  ctest --test-dir "$build" -j2 --output-on-failure -LE tsan
else
  ctest --test-dir "$build" -j2 --output-on-failure -LE 'e2e|tsan'
fi
status=$?

# Percentage of lines covered in the folders named by the filters ("" when gcovr found nothing).
coverage() {
  filters=""
  for folder in "$@"; do filters="$filters --filter $root/$folder/"; done
  # shellcheck disable=SC2086
  gcovr --root "$root" $filters --gcov-ignore-parse-errors \
        --print-summary --output "$report" "$build" 2>"$report.err" | sed -n 's/^lines: *\([0-9.]*\)%.*/\1/p'
  rm -f "$report.err"
}

# The library's own folders make the total; tools/ is shown on its own; tests and fakes not at all.
for folder in base calc link bluetooth sdk tools; do
  line=$(coverage "$folder")
  printf '%-11s lines %s\n' "$folder/" "${line:-no data}${line:+ %}"
  case $folder in
    calc) goal=100 ;;
    link | bluetooth | sdk) goal=95 ;;
    *) continue ;;
  esac
  if [ -n "$line" ] && awk -v have="$line" -v goal="$goal" 'BEGIN { exit !(have >= goal) }'; then
    printf '%-11s PASS (%s %% >= %s %%)\n' "$folder/" "$line" "$goal"
  else
    printf '%-11s FAIL (%s %% < %s %%)\n' "$folder/" "${line:-no data}" "$goal"
    status=1
  fi
done
line=$(coverage base calc link bluetooth sdk)
printf '%-11s lines %s\n' "library" "${line:-no data}${line:+ %}"
exit $status
