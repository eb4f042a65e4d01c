#!/usr/bin/env bash
# The whole Linux suite (x86-64) built and run under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the multi-master station's unit tests
# under ThreadSanitizer. Every executable, the module plclink.so, the
# stand-in host library and the tools are instrumented, so a test that
# dlopen()s the module needs no LD_PRELOAD.
#
# Reports go to files as well as failing the process, so that a report from a
# child process (a simulator, the host tool) whose exit status a test does not
# look at still fails the suite.
# Usage: 20-sanitize.sh BUILD_ROOT
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/stage-results.sh
BUILD=${1:-$PWD/build}/sanitize
REPORTS=$BUILD/sanitizer-reports

rm -rf "$BUILD"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPLCLINK_WARNINGS_AS_ERRORS="${PLCLINK_WARNINGS_AS_ERRORS:-ON}" \
  -DPLCLINK_SANITIZE=address,undefined >/dev/null
ninja -C "$BUILD"

mkdir -p "$REPORTS"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:log_path=$REPORTS/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$REPORTS/ubsan"
export LSAN_OPTIONS="log_path=$REPORTS/lsan"

status=0
run_ctest "$BUILD" "$BUILD/ctest.log" --timeout 900 || status=$?

# A short soak: the instrumented module, loaded with dlopen, against ppi-sim
# injecting every kind of fault.
echo "--- soak under the sanitizers"
"$BUILD/bin/plclink-soak" --transactions 80 --fault-scale 2 --seed 7 --no-memory-check |
  tee "$BUILD/soak.log" || status=1

# The multi-master station's unit tests under ThreadSanitizer: the hand-off
# between a command's thread and the station's thread runs on real threads.
echo "--- the station's unit tests under ThreadSanitizer"
TSAN_BUILD=$(dirname "$BUILD")/tsan
rm -rf "$TSAN_BUILD"
cmake -S . -B "$TSAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPLCLINK_WARNINGS_AS_ERRORS="${PLCLINK_WARNINGS_AS_ERRORS:-ON}" -DPLCLINK_SANITIZE=thread >/dev/null
ninja -C "$TSAN_BUILD" plclink_unit_tests
TSAN_OPTIONS="halt_on_error=1:log_path=$REPORTS/tsan" "$TSAN_BUILD/bin/plclink_unit_tests" \
  --gtest_filter='Ring*:MultiMaster*' | tee "$TSAN_BUILD/unit.log" || status=1
TSAN_RAN=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\./\1/p' "$TSAN_BUILD/unit.log")
stage_note "$(with_not_run "$CTEST_RAN tests, $GTEST_RAN GoogleTest cases, soak $(soak_transactions "$BUILD/soak.log") transactions, ${TSAN_RAN:-0} station tests under ThreadSanitizer")"

if compgen -G "$REPORTS/*" >/dev/null; then
  echo "sanitizer reports:" >&2
  for f in "$REPORTS"/*; do echo "--- $f" >&2; cat "$f" >&2; done
  status=1
fi
exit $status
