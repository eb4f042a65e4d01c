#!/usr/bin/env bash
# The driver in a PPI token ring with one simulated operator panel that
# polls as fast as it can, against the panel alone and against the driver
# without the multi-master mode, at 9600 and 19200 baud: the panel's
# summary (token rotation, jobs), the line's totals, and the driver's reads.
# Usage: bench/ring_bench.sh BUILD_DIR [SECONDS]
set -euo pipefail
bin=$(cd "$1/bin" && pwd)
seconds=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# run LABEL BAUD MODE: MODE is none (the panel alone), spec (the driver
# without MULTIMASTER) or ring (the driver in the ring).
run() {
    local label=$1 baud=$2 mode=$3
    rm -f vpiK701.int
    "$bin/ppi-sim" --line-speed --baud "$baud" --station 2 --master 1 --exit-after $((seconds + 3)) \
        > sim.out 2> /dev/null &
    local sim=$!
    for _ in $(seq 50); do [ -s sim.out ] && break; sleep 0.1; done
    local port
    port=$(head -1 sim.out | cut -d' ' -f1)
    local reads="-"
    if [ "$mode" != none ]; then
        local flag=()
        [ "$mode" = ring ] && flag=(--multimaster)
        "$bin/plclink-host" -p "$port" -b "$baud" -t 500 "${flag[@]}" -f csv \
            monitor --interval 0 --duration "$seconds" 02VW0100 > reads.csv 2> host.err || true
        local ok failed
        ok=$(grep -c ',[0-9]*$' reads.csv || true)
        failed=$(($(wc -l < reads.csv) - 1 - ok))
        reads="ok=$ok failed=$failed per_s=$(awk -v n="$ok" -v s="$seconds" 'BEGIN{printf "%.2f", n/s}')"
    else
        sleep "$seconds"
    fi
    kill -INT "$sim" 2> /dev/null || true
    wait "$sim" 2> /dev/null || true
    local jobs
    jobs=$(grep -o 'jobs_done=[0-9]*' sim.out | cut -d= -f2)
    echo "$label baud=$baud driver: $reads | $(grep 'master=1' sim.out | cut -d' ' -f3-)" \
         "panel_jobs_per_s=$(awk -v n="${jobs:-0}" -v s="$seconds" 'BEGIN{printf "%.2f", n/s}') |" \
         "$(grep 'line=totals' sim.out | cut -d' ' -f3-)"
}

for baud in 9600 19200; do
    run "panel alone     " "$baud" none
    run "driver, no ring " "$baud" spec
    run "driver in ring  " "$baud" ring
done
