#!/usr/bin/env bash
# Monitor rounds of scattered tags with multi-item requests (command 20,
# plclink-host's default) against one tag per request (--no-coalesce),
# on ppi-sim at line speed. Not a test: the figures go into
# docs/performance.md.
#
#   bench/multi_item_rounds.sh BUILD_DIR [BAUD] [PAUSE_MS] [ROUNDS]
#
# Two tag sets: 50 V words 200 bytes apart (VW0, VW200, ... VW9800: no two
# within any coalescing gap), and a mix of 50 tags over every area of two
# stations. For each set and mode it reports the median round time (from
# the start of one poll to the next), the requests per round, and the bytes
# on the wire per round (from the simulator's trace, association included),
# and checks every value against the simulator's --dump.
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
baud=${2:-9600}
pause=${3:-5}
rounds=${4:-5}
bin=$build/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

scattered=()
for ((a = 0; a < 10000; a += 200)); do scattered+=("$(printf '02VW%04d' "$a")"); done
mixed=(02IB0000 02IB00013 02IW0004 02QB0001 02QB00150 02QW0010 02MB0003 02MB00057 02MW0010 02MD0020
       02SB0001 02SB00042 02SW0010 02SMB0030 02SMW0040 02SMD0060 02AIW0000 02AIW0010 02AIW0030 02AQW0000
       02AQW0020 02VB0000 02VW0300 02VD0600 02VB09001 02VW1200 02VW2400 02VD3600 02VW4800 02VW6000
       03IB0001 03QB0002 03MW0004 03SB0005 03SMW0050 03AIW0002 03AQW0006 03VW0100 03VB0401 03VD0800
       03VW1600 03VW3200 03VB04800 03VW6400 03VD8000 03VW9600 03MB00311 03IB00077 03QW0014 03SMB0099)

# A pattern in every area of both stations, so that wrong values show.
{
    for st in 2 3; do
        for spec in "I 16" "Q 16" "M 32" "S 32" "SM 112" "AI 64" "AQ 64" "V 10000"; do
            set -- $spec
            for ((row = 0; row < $2; row += 16)); do
                line="$st $1 $row:"
                for ((i = 0; i < 16 && row + i < $2; i++)); do
                    line+=$(printf ' %02X' $(((st * 31 + row * 5 + i * 11 + ${#1} * 17) & 255)))
                done
                echo "$line"
            done
        done
    done
} > preset.txt

round() {  # round NAME MODE TAGS...
    local name=$1 mode=$2
    shift 2
    rm -f sim.out sim.err dump.txt
    "$bin/ppi-sim" --line-speed --baud "$baud" --station 2 --station 3 --load preset.txt --dump dump.txt \
        --trace --exit-after 600 > sim.out 2> sim.err &
    local sim=$!
    while [ ! -s sim.out ]; do
        kill -0 "$sim" 2>/dev/null || { cat sim.err >&2; exit 1; }
        sleep 0.1
    done
    local port
    port=$(awk '{print $2; exit}' sim.out)
    "$bin/plclink-host" --port "/dev/$port" --baud "$baud" --pause "$pause" $mode --format json \
        monitor --interval 0 --count "$((rounds + 1))" "$@" > run.json
    kill -INT "$sim"
    wait "$sim" || true
    python3 - "$name" "$mode" "$rounds" run.json sim.err dump.txt "$@" <<'PY'
import datetime, json, re, statistics, sys
name, mode, rounds, run, trace, dump = sys.argv[1:7]
tags = sys.argv[7:]
doc = json.load(open(run))
rounds = int(rounds)
# With --interval 0 each poll starts when the one before ended.
starts = [datetime.datetime.fromisoformat(poll["time"]) for poll in doc["polls"]]
times = [(b - a).total_seconds() * 1000 for a, b in zip(starts, starts[1:])]
wire = 0
for line in open(trace):
    m = re.match(r"\[\s*[\d.]+\] (rx|tx) (.*)", line)
    if m:
        wire += len(m.group(2).split())
# The memory as the simulator wrote it at its end.
memory = {}
for line in open(dump):
    line = line.split("#")[0].strip()
    if not line:
        continue
    head, data = line.split(":")
    st, area, start = head.split()
    for i, b in enumerate(data.split()):
        memory[(int(st), area, int(start) + i)] = int(b, 16)
def expected(tag):
    m = re.match(r"(\d\d)(SM|AI|AQ|[IQMVS])([BWD])(\d{4})(\d?)$", tag)
    st, area, kind, addr, bit = int(m[1]), m[2], m[3], int(m[4]), m[5]
    size = {"B": 1, "W": 2, "D": 4}[kind]
    value = 0
    for i in range(size):
        value = value << 8 | memory.get((st, area, addr + i), 0)
    return (value >> int(bit)) & 1 if bit else value
wrong = sum(1 for poll in doc["polls"] for t in poll["tags"]
            if t["status"] != "ok" or t["value"] != expected(t["tag"]))
print(f"{name:10} {mode or 'multi-item':14} median round {statistics.median(times):8.1f} ms, "
      f"{doc['requests_per_round']:5} requests/round, {wire / (rounds + 1):7.0f} wire bytes/round, "
      f"{wrong} wrong or failed values")
PY
}

echo "baud $baud, PAUSE $pause, $rounds rounds each"
round scattered --no-coalesce "${scattered[@]}"
round scattered "" "${scattered[@]}"
round mixed --no-coalesce "${mixed[@]}"
round mixed "" "${mixed[@]}"
