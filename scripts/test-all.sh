#!/usr/bin/env bash
# Builds everything from scratch and runs every test suite. Compiler warnings
# are errors here (PLCLINK_WARNINGS_AS_ERRORS=OFF in the environment turns
# that off). Each stage's duration and what it ran are printed as it ends,
# and all of them at the end, so that a slow stage, or one that ran nothing,
# shows. A suite that cannot run on this machine fails its stage unless
# PLCLINK_ALLOW_SKIP=1 allows skipping it (never when CI=true).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/stage-results.sh
ROOT=$PWD
BUILD=${PLCLINK_BUILD_ROOT:-$ROOT/build}
export PLCLINK_WARNINGS_AS_ERRORS=${PLCLINK_WARNINGS_AS_ERRORS:-ON}

STAGES=()
BESIDE_PID=""
report_stages() {
  local status=$?
  # A stage still running beside the others when one failed is waited for
  # (a few minutes at most), so that the summary has it too.
  [ -z "$BESIDE_PID" ] || end_stage_beside || true
  echo "=== stage durations"
  local line
  for line in "${STAGES[@]}"; do echo "    $line"; done
  echo "    total: $((SECONDS / 60)) min $((SECONDS % 60)) s"
  return $status
}
trap report_stages EXIT

stage() {  # name, command...
  local name=$1; shift
  local start=$SECONDS
  echo "=== $name"
  local status=0
  # A stage leaves one line for its summary in PLCLINK_STAGE_NOTE: how many
  # tests it ran, and what it skipped.
  local note=$BUILD/.stage-note-$name
  mkdir -p "$BUILD" && rm -f "$note"
  PLCLINK_STAGE_NOTE=$note "$@" || status=$?
  local took=$((SECONDS - start))
  local outcome=""
  [ -s "$note" ] && outcome=" ($(head -1 "$note"))"
  [ $status -eq 0 ] || outcome="$outcome (FAILED)"
  rm -f "$note"
  STAGES+=("$(printf '%-16s %3d min %2d s%s' "$name" $((took / 60)) $((took % 60)) "$outcome")")
  echo "${STAGES[-1]}" >"$BUILD/.stage-line-$name"
  echo "=== $name: $((took / 60)) min $((took % 60)) s$outcome"
  return $status
}

# A stage that spends its time waiting on a line runs beside the stages
# after it: its output goes to BUILD/NAME.out, shown when it has ended
# (end_stage_beside).
BESIDE_NAME=""
stage_beside() {  # name, command...
  BESIDE_NAME=$1
  echo "=== $1: runs beside the next stages (its output: $BUILD/$1.out)"
  mkdir -p "$BUILD"
  stage "$@" >"$BUILD/$1.out" 2>&1 &
  BESIDE_PID=$!
}
end_stage_beside() {
  local status=0
  wait "$BESIDE_PID" || status=$?
  BESIDE_PID=""
  cat "$BUILD/$BESIDE_NAME.out"
  # (Its line for the summary was added to the background's copy of STAGES.)
  STAGES+=("$(cat "$BUILD/.stage-line-$BESIDE_NAME" 2>/dev/null || echo "$BESIDE_NAME (ended without its summary) (FAILED)")")
  return $status
}

# (Runs as a stage, where set -e does not apply: each step checks itself.)
build_and_test() {  # name, cmake args...
  local name=$1; shift
  echo "--- $name build"
  rm -rf "$BUILD/$name"
  cmake -S . -B "$BUILD/$name" -G Ninja -DPLCLINK_WARNINGS_AS_ERRORS="$PLCLINK_WARNINGS_AS_ERRORS" "$@" >/dev/null || return
  ninja -C "$BUILD/$name" || return
  echo "--- $name tests"
  NOT_RUN=()
  local status=0
  run_ctest "$BUILD/$name" "$BUILD/$name/ctest.log" || status=$?
  stage_note "$(with_not_run "$CTEST_RAN tests, $GTEST_RAN GoogleTest cases")"
  return $status
}
build_x86() { CFLAGS=-m32 CXXFLAGS=-m32 LDFLAGS=-m32 build_and_test x86; }

install_deps() {
  local said
  said=$(scripts/install-deps.sh linux) || return
  echo "$said"
  stage_note "$said"
}

stage deps install_deps
# With the benchmarks, which the soak stage runs from this build.
stage x64 build_and_test x64 -DPLCLINK_BENCH=ON
stage x86 build_x86

# Further suites, each in its own script. The soak waits on a line at 9600
# baud nearly all its time and tolerates a loaded machine: it runs beside the
# stages after it.
for extra in scripts/test-all.d/*.sh; do
  [ -e "$extra" ] || continue
  name=$(basename "$extra" .sh)
  if [ "$name" = 40-soak ]; then
    stage_beside "$name" bash "$extra" "$BUILD"
  else
    stage "$name" bash "$extra" "$BUILD"
  fi
done
[ -z "$BESIDE_PID" ] || end_stage_beside
echo "=== all suites passed"
