#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a
# bounded time from its seed corpus in fuzz/corpus/, as many side by side as
# the machine has cores (each target on one core). Fails on any crash,
# sanitizer report, leak, time-out or out-of-memory; the input that caused it
# is left in BUILD_ROOT/fuzz/artifacts/ and printed as hex.
# Usage: 30-fuzz.sh BUILD_ROOT   (PLCLINK_FUZZ_SECONDS: time per target, default 36)
set -euo pipefail
cd "$(dirname "$0")/../.."
SRC=$PWD
source scripts/stage-results.sh
BUILD=$(mkdir -p "${1:-$PWD/build}" && cd "${1:-$PWD/build}" && pwd)/fuzz  # absolute: the runs start in it
SECONDS_EACH=${PLCLINK_FUZZ_SECONDS:-36}

scripts/install-deps.sh fuzz

rm -rf "$BUILD"
CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPLCLINK_WARNINGS_AS_ERRORS="${PLCLINK_WARNINGS_AS_ERRORS:-ON}" \
  -DPLCLINK_FUZZ=ON -DPLCLINK_TOOLS=OFF >/dev/null
ninja -C "$BUILD" fuzz_targets

declare -A MAX_LEN=([gas_parse_fuzz]=64 [serial_peer_fuzz]=1024 [tag_access_fuzz]=64
                   [instance_records_fuzz]=400 [line_flood_fuzz]=64)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

TARGETS=(gas_parse_fuzz serial_peer_fuzz tag_access_fuzz instance_records_fuzz line_flood_fuzz)
# fuzz TARGET: one target's run; its output in BUILD/TARGET.log, its exit
# status in BUILD/TARGET.rc.
fuzz() {
  local target=$1 rc=0
  (cd "$BUILD" && "$BUILD/bin/$target" "$BUILD/corpus/$target" "$SRC/fuzz/corpus/$target" \
      -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
      -max_len="${MAX_LEN[$target]}" -artifact_prefix="$BUILD/artifacts/$target/" \
      -print_final_stats=1 >"$BUILD/$target.log" 2>&1) || rc=$?
  echo $rc >"$BUILD/$target.rc"
}
side_by_side=$(nproc)
running=0
for target in "${TARGETS[@]}"; do
  mkdir -p "$BUILD/corpus/$target" "$BUILD/artifacts/$target"
  echo "--- $target (${SECONDS_EACH}s)"
  fuzz "$target" &
  running=$((running + 1))
  [ $running -lt "$side_by_side" ] || { wait -n || true; running=$((running - 1)); }
done
wait

status=0
targets=0 executions=0
for target in "${TARGETS[@]}"; do
  artifacts=$BUILD/artifacts/$target
  rc=$(cat "$BUILD/$target.rc")
  echo "--- $target"
  grep -E '^(stat::number_of_executed_units|stat::new_units_added|#[0-9]+ *DONE)' "$BUILD/$target.log" || true
  ran=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\)$/\1/p' "$BUILD/$target.log")
  if [ -n "$ran" ]; then
    targets=$((targets + 1)) executions=$((executions + ran))
  fi
  if [ $rc -ne 0 ] || compgen -G "$artifacts/*" >/dev/null; then
    echo "FAILED: $target (exit $rc)" >&2
    grep -E -A40 'FINDING|ERROR: |runtime error|==ERROR|deadly signal|timeout' "$BUILD/$target.log" | head -120 >&2 || true
    for f in "$artifacts"/*; do [ -e "$f" ] && { echo "input $f:" >&2; od -An -tx1 "$f" | head -40 >&2 || true; }; done
    status=1
  fi
done
stage_note "$targets targets, $executions executions"
exit $status
