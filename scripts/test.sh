#!/usr/bin/env bash
# Builds Tabulor with its tests and runs the whole suite with CTest; then builds the engine,
# driver and conversion tests with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ and runs them too. Any sanitizer report, from a test or from a helper process
# it started, fails the command.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
status=0
(cd build && ctest --output-on-failure -j2 --timeout 600) || status=1

echo "== engine, driver and conversion tests under AddressSanitizer and UBSan (build-asan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTABULOR_SANITIZE=ON >/dev/null
cmake --build build-asan -j2 --target sanitized_tests
# Reports go to files, so that one from a helper process (whose standard error the program
# discards) is seen too; every finding stops the process that made it.
reports=$PWD/build-asan/sanitizer-reports
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="log_path=$reports/report:log_exe_name=1:detect_leaks=1"
export UBSAN_OPTIONS="log_path=$reports/report:log_exe_name=1:print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure -j2 --timeout 600) || status=1
if [ -n "$(ls -A "$reports")" ]; then
  for report in "$reports"/*; do
    echo "== sanitizer report $report"
    cat "$report"
  done
  status=1
fi
exit $status
