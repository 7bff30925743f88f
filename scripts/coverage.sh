#!/bin/sh
# Line coverage of the library by the unit tests: builds the coverage preset (gcc --coverage),
# runs the tests (the end-to-end ones too with KV_COVERAGE_E2E=1) and prints gcovr's line
# coverage per folder: base/, calc/, link/, bluetooth/, sdk/, tools/, then the library as a whole.
set -u
cd "$(dirname "$0")/.."
build=build/coverage
cmake --preset coverage >/dev/null || exit 1
cmake --build "$build" -j2 || exit 1
find "$build" -name '*.gcda' -delete
if [ "${KV_COVERAGE_E2E:-0}" = 1 ]; then
  ctest --test-dir "$build" -j2 --output-on-failure -LE tsan
else
  ctest --test-dir "$build" -j2 --output-on-failure -LE 'e2e|tsan'
fi
test_status=$?

# The library's own folders make the total; tools/ is shown on its own; tests and fakes not at all.
for folder in base calc link bluetooth sdk tools; do
  line=$(gcovr --root . --object-directory "$build" --filter "$folder/" --gcov-ignore-parse-errors \
           --print-summary --output /dev/null 2>/dev/null | sed -n 's/^lines: *//p')
  printf '%-11s lines %s\n' "$folder/" "${line:-no data}"
done
line=$(gcovr --root . --object-directory "$build" --filter 'base/' --filter 'calc/' --filter 'link/' --filter 'bluetooth/' \
         --filter 'sdk/' --gcov-ignore-parse-errors --print-summary --output /dev/null 2>/dev/null | sed -n 's/^lines: *//p')
printf '%-11s lines %s\n' "library" "${line:-no data}"
exit $test_status
