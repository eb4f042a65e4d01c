#!/usr/bin/env bash
# Performance and endurance share of CI, on the x86-64 build:
# - builds the benchmarks (PLCLINK_BENCH=ON);
# - the allocation count: no read or write transaction may allocate;
# - a short run of the in-memory benchmarks (they must run, figures are not judged);
# - the soak test: the module against ppi-sim over a pseudo-terminal with
#   random faults from a fixed seed (PLCLINK_SOAK_SEED, default 20261207),
#   PLCLINK_SOAK_TRANSACTIONS transactions (default 1200), memory compared
#   between the first and last PLCLINK_SOAK_WINDOW (default 400).
# - the ring soak: the module in its multi-master mode on ppi-sim's bus with
#   two simulated panels and token faults (garbled tokens, a late-token
#   panel, a panel silenced mid-run), PLCLINK_RING_SOAK_TRANSACTIONS
#   transactions (default 100, about a minute), judged by values and results.
# The line benchmark is built but not run here (docs/performance.md).
# Usage: 40-soak.sh BUILD_ROOT
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/stage-results.sh
ROOT=${1:-$PWD/build}
# Reuses the x86-64 build of scripts/test-all.sh when it is there.
BUILD=$ROOT/x64
[ -f "$BUILD/CMakeCache.txt" ] || BUILD=$ROOT/perf
cmake -S . -B "$BUILD" -G Ninja -DPLCLINK_BENCH=ON \
  -DPLCLINK_WARNINGS_AS_ERRORS="${PLCLINK_WARNINGS_AS_ERRORS:-ON}" >/dev/null
ninja -C "$BUILD"

RAN="nothing"
trap 'stage_note "$RAN"' EXIT

echo "--- allocations per transaction"
"$BUILD/bin/plclink_alloc_check" | tee "$BUILD/alloc_check.txt"
# One line per kind of transaction: its allocations per transaction, its result.
RAN="allocations of $(grep -cE ' [0-9]+\.[0-9]{2} +-?[0-9]+$' "$BUILD/alloc_check.txt" || true) kinds of transaction"

echo "--- in-memory benchmarks (short run)"
"$BUILD/bin/plclink_memory_bench" --benchmark_min_time=0.01 --benchmark_out="$BUILD/memory_bench.json" \
  >"$BUILD/memory_bench.txt" 2>&1 || { cat "$BUILD/memory_bench.txt"; exit 1; }
grep -q 'Transaction/read_word' "$BUILD/memory_bench.txt" && ! grep -q 'ERROR OCCURRED' "$BUILD/memory_bench.txt"
RAN="$RAN, $(python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["benchmarks"]))' \
  "$BUILD/memory_bench.json") benchmarks"

echo "--- soak"
"$BUILD/bin/plclink-soak" --seed "${PLCLINK_SOAK_SEED:-20261207}" \
  --transactions "${PLCLINK_SOAK_TRANSACTIONS:-1200}" --window "${PLCLINK_SOAK_WINDOW:-400}" \
  --read-timeout 10 | tee "$BUILD/soak.log"
RAN="$RAN, soak $(soak_transactions "$BUILD/soak.log") transactions"

echo "--- ring soak"
"$BUILD/bin/plclink-soak" --ring --seed "${PLCLINK_SOAK_SEED:-20261207}" \
  --transactions "${PLCLINK_RING_SOAK_TRANSACTIONS:-100}" --window 40 --panel-silent-after 25 \
  --read-timeout 50 | tee "$BUILD/ring-soak.log"
RAN="$RAN, ring soak $(soak_transactions "$BUILD/ring-soak.log" "ring soak") transactions"
