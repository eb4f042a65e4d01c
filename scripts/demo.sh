#!/usr/bin/env bash
# The main job, start to end: installs what is missing, builds from scratch,
# starts a simulated S7-200 (ppi-sim) on a pseudo-terminal as station 2 with
# some values in its memory (and a station 3 that answers only now and then),
# and drives it with plclink-host through the driver module: reads tags of
# every type, writes a few, reads them back and shows a few seconds of the
# live monitor, and one read through ppi-sim serving as a serial device
# server on a TCP port. Then it stops the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${PLCLINK_BUILD_ROOT:-$ROOT/build}/demo

scripts/install-deps.sh linux

echo "=== building in $BUILD"
rm -rf "$BUILD"
cmake -S . -B "$BUILD" -G Ninja -DPLCLINK_TESTS=OFF >/dev/null
ninja -C "$BUILD"
BIN=$BUILD/bin
HOST=$BIN/plclink-host

WORK=$(mktemp -d)
SIM_PID=
cleanup() {
  if [ -n "$SIM_PID" ]; then kill "$SIM_PID" 2>/dev/null || true; wait "$SIM_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT
cd "$WORK"   # the module reads its initialization file from here

show() {  # prints a command, then runs it
  echo
  echo "\$ plclink-host ${*}"
  "$HOST" "$@"
}

echo
echo "=== the module"
show describe

if [ ! -x "$BIN/ppi-sim" ]; then
  # Without the simulator there is no controller to talk to: show what the
  # module makes of a few tag addresses.
  show parse 02VB0100 02VW0100 02VD0100 02VF0104 02IB00007 02MW0101 2>&1 || true
  exit 0
fi

cat >memory.txt <<'MEM'
# STATION AREA ADDRESS: BYTES
2 V 100: 12 34 AB CD         # VB100 0x12, VW100 0x1234, VD100 0x1234ABCD
2 V 104: 40 49 0F DB         # VF104 3.1415927
2 M 0: A5                    # M0.0 = 1, M0.1 = 0
2 I 0: 81                    # I0.7 = 1
2 Q 0: 0F
2 T 37: 1234                 # T37 (100 ms ticks): 123.4 s
2 C 12: -5                   # C12
3 V 100: 00 2A               # station 3 answers only every other time
MEM
"$BIN/ppi-sim" --station 2 --station 3 --fault silent:rate:0.5@3 --seed 7 --load memory.txt \
  --analog AIW0=sine:4 --timer T38=ramp:60 \
  >sim.out 2>sim.err &
SIM_PID=$!
for _ in $(seq 50); do [ -s sim.out ] && break; sleep 0.1; done
PORT=$(head -n1 sim.out | cut -d' ' -f1)
[ -n "$PORT" ] || { echo "ppi-sim did not start:"; cat sim.err; exit 1; }
echo
echo "=== ppi-sim answers as station 2 (and, unreliably, 3) on $PORT;"
echo "=== the module's log lines go to module.log"

H=(--port "$PORT" --log module.log)
echo
echo "=== read tags of every type"
show "${H[@]}" read 02VB0100 02VW0100 02VD0100 02VF0104 02MB00000 02MB00001 02IB00007 02QB0000

echo
echo "=== write a few, then read them back"
show "${H[@]}" write 02VW0200=-1234 02VD0204=0xDEADBEEF 02VF0208=21.5 02MB00013=1 02QB0001=200 02AQW0002=1234 02SB00001=1
show "${H[@]}" read 02VW0200 02VD0204 02VF0208 02MB00013 02QB0001 02AQW0002 02SB00001
show "${H[@]}" write-block 02VW0300 10 20 30 40
show "${H[@]}" read-block 02VW0300 4

echo
echo "=== timers and counters: read by number; a write is refused before anything is sent"
show "${H[@]}" read 02TW0037 02CW0012
show "${H[@]}" read-block 02TW0037 3
show "${H[@]}" write 02TW0037=1 || true

echo
echo "=== three seconds of the live monitor: AIW0 moves (a sine), SM0.5 is the CPU's"
echo "    1-second clock, timer T38 counts in tenths of a second, and station 3 misses some polls"
show "${H[@]}" --timeout 100 monitor 02VW0100 02VF0104 02MB00000 02AIW0000 02SMB00005 02TW0038 03VW0100 --interval 250 --duration 3 || true

echo
echo "=== the same station behind a serial device server: ppi-sim on a TCP port"
"$BIN/ppi-sim" --tcp 127.0.0.1:0 --station 2 --station 3 --load memory.txt >tcp-sim.out 2>tcp-sim.err &
TCP_SIM_PID=$!
for _ in $(seq 50); do [ -s tcp-sim.out ] && break; sleep 0.1; done
[ -s tcp-sim.out ] || { echo "ppi-sim --tcp did not start:"; cat tcp-sim.err; exit 1; }
show --port "$(head -n1 tcp-sim.out | cut -d' ' -f2)" --log module.log read 02VW0100
kill "$TCP_SIM_PID" 2>/dev/null || true
wait "$TCP_SIM_PID" 2>/dev/null || true

echo
echo "=== done; stopping the simulator"
