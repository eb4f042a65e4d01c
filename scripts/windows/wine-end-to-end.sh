#!/usr/bin/env bash
# End to end under Wine: the Linux PPI simulator on a pseudo-terminal, the
# Wine prefix's COM5 linked to it, and plclink-host.exe reading and writing
# through plclink.dll on "COM5". Usage: wine-end-to-end.sh WIN32_BUILD
# (WINEPREFIX set). The simulator is the native one of the x64 build beside
# WIN32_BUILD, or built here when there is none.
#
# Where Wine on a pseudo-terminal is not a real port:
#  - EscapeCommFunction(SETRTS/CLRRTS/SETDTR/CLRDTR) fails (no modem lines),
#    so the module logs "EscapeCommFunction fail (RTS)" around every frame;
#    the frames still go out. The scripted platform's tests assert RTS
#    raised only around the bytes, as on a real port.
#  - WaitCommEvent does not always report EV_TXEMPTY; not checked here.
#  - A pseudo-terminal that still has the settings of an earlier open
#    refuses even parity (SetCommState fails), so the terminal's settings
#    are reset before each run of the host, as a fresh port would be.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=$(cd "$1" && pwd)
BIN=$BUILD/bin
if [ ! -e "$BIN/plclink-host.exe" ]; then
  echo "FAIL: end to end under wine: $BIN/plclink-host.exe is not built"
  exit 1
fi

SIM=$(dirname "$BUILD")/x64/bin/ppi-sim
if [ ! -x "$SIM" ]; then
  SIM_BUILD=$(dirname "$BUILD")/win32-sim
  echo "building ppi-sim natively in $SIM_BUILD"
  cmake -S . -B "$SIM_BUILD" -G Ninja -DPLCLINK_TESTS=OFF >/dev/null
  ninja -C "$SIM_BUILD" ppi-sim >/dev/null
  SIM=$SIM_BUILD/bin/ppi-sim
fi

WORK=$BUILD/e2e
rm -rf "$WORK" && mkdir -p "$WORK"
cat >"$WORK/memory.txt" <<'MEM'
2 V 100: 12 34
2 M 4: 5A
MEM
"$SIM" --station 2 --load "$WORK/memory.txt" --exit-after 3600 >"$WORK/sim.out" 2>"$WORK/sim.err" &
SIM_PID=$!
stop() {
  # End the Wine session first: the pseudo-terminal is its open device, and
  # its hang-up would reach the server.
  wineserver -k >/dev/null 2>&1 || true
  kill "$SIM_PID" 2>/dev/null || true
  wait "$SIM_PID" 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com5"
}
trap stop EXIT
for _ in $(seq 50); do [ -s "$WORK/sim.out" ] && break; sleep 0.1; done
PTY=$(head -1 "$WORK/sim.out" | cut -d' ' -f1)
[ -c "$PTY" ] || { echo "FAIL: ppi-sim gave no pseudo-terminal"; cat "$WORK/sim.err"; exit 1; }
ln -sfn "$PTY" "$WINEPREFIX/dosdevices/com5"
echo "ppi-sim station 2 on $PTY = COM5"

failures=0
check() {  # description, command...
  local what=$1; shift
  if "$@"; then echo "ok  : $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# Each start of Wine takes about a minute where 32-bit programs run only
# through an emulator; a run of the host is bounded well above that.
HOST_SECONDS=600

# Runs plclink-host.exe (from $HOST_DIR, the build's bin/ unless set) on
# COM5; its output goes to $WORK/out, its standard error to $WORK/err, its
# exit status to $WORK/rc.
HOST_DIR=$BIN
host() {
  stty -F "$PTY" raw -echo -clocal
  local rc=0
  (cd "$HOST_DIR" && timeout "$HOST_SECONDS" "${WINE:-wine}" plclink-host.exe -p COM5 "$@") >"$WORK/out" 2>"$WORK/err" || rc=$?
  echo "$rc" >"$WORK/rc"
}
rc_is() { [ "$(cat "$WORK/rc")" = "$1" ]; }
# json_is PYTHON-EXPRESSION: true when it holds for the output parsed as `out`.
json_is() { python3 -c 'import json,sys; out=json.load(open(sys.argv[1])); sys.exit(0 if eval(sys.argv[2]) else 1)' "$WORK/out" "$1"; }

host -f json describe
check "describe: the module reports its name and 2152-byte instances" \
  json_is 'out["name"] == "Siemens S7-200" and out["instance_size"] == 2152'

# (With the cdecl host library, and verbose: the stdcall one's run below
# must match it. Every start of Wine counts where it is emulated.)
host -v -f json read 02VW0100 02MB0004
check "read: preloaded V100 word and M4 byte" rc_is 0
check "read: values 0x1234 and 0x5A" \
  json_is '[t["value"] for t in out] == [0x1234, 0x5A] and all(t["status"] == "ok" for t in out)'
cp "$WORK/out" "$WORK/cdecl.json"
cdecl_rc=$(cat "$WORK/rc")

host write 02VW0200=4660 02MB0003=200 02VD0300=-5 02VF0400=1.5 02QB00012=1
check "write: word, byte, double word, float and bit" rc_is 0

host -f json read 02VW0200 02MB0003 02VD0300 02VF0400 02QB00012
check "read back: every value written" \
  json_is '[t["value"] for t in out] == [4660, 200, 4294967291, 1.5, 1] and all(t["status"] == "ok" for t in out)'

host write-block 02VB0500 1 2 3 250
check "write-block: four bytes" rc_is 0
host -f json read-block 02VB0500 4
check "read-block: the four bytes back" json_is '[t["value"] for t in out] == [1, 2, 3, 250]'

host -t 200 -f json read 05VW0100
check "read from a station that is not there: exit status 1" rc_is 1
check "read from a station that is not there: the tag is not ok" json_is 'out[0]["status"] != "ok"'

# The same module with a host library whose KorMkClient, KorGetKorvanVer and
# KorRmClient are stdcall (the callee removes the arguments): ColdStart, the
# first read's words and EndVpi must go exactly as with the cdecl library.
# The tool shows the module's lines only with a failure or --verbose.
HOST_DIR=$WORK/stdcall-host
rm -rf "$HOST_DIR" && mkdir -p "$HOST_DIR"
cp "$BIN/plclink-host.exe" "$BIN/plclink.dll" "$BIN/stdcall/KORVAN.dll" "$HOST_DIR/"
host -v -f json read 02VW0100 02MB0004
check "stdcall host library: ColdStart, read of V100 and M4 and EndVpi succeed" rc_is 0
check "stdcall host library: the same exit status and value as with the cdecl one" \
  bash -c '[ "$1" = "$(cat "$2")" ] && cmp -s "$3" "$4"' - "$cdecl_rc" "$WORK/rc" "$WORK/cdecl.json" "$WORK/out"
check "stdcall host library: the module logged its ColdStart" grep -q "ColdStart() end OK" "$WORK/err"
HOST_DIR=$BIN

# The line as a TCP connection through Wine's Winsock: ppi-sim serving on
# 127.0.0.1 as a serial device server, plclink-host.exe writing the TCP
# line into the initialization file of its own directory.
"$SIM" --tcp 127.0.0.1:0 --station 2 --load "$WORK/memory.txt" --exit-after 3600 >"$WORK/tcp-sim.out" 2>/dev/null &
TCP_SIM_PID=$!
for _ in $(seq 50); do [ -s "$WORK/tcp-sim.out" ] && break; sleep 0.1; done
TCP_HOST_DIR=$WORK/tcp-host
rm -rf "$TCP_HOST_DIR" && mkdir -p "$TCP_HOST_DIR"
cp "$BIN/plclink-host.exe" "$BIN/plclink.dll" "$BIN/KORVAN.dll" "$TCP_HOST_DIR/"
rc=0
(cd "$TCP_HOST_DIR" && timeout "$HOST_SECONDS" "${WINE:-wine}" plclink-host.exe -p "$(head -1 "$WORK/tcp-sim.out" | cut -d' ' -f2)" \
  -f json read 02VW0100) >"$WORK/out" 2>"$WORK/err" || rc=$?
echo "$rc" >"$WORK/rc"
check "TCP line through Winsock: V100 read from ppi-sim --tcp" json_is 'out[0]["value"] == 0x1234'
kill "$TCP_SIM_PID" 2>/dev/null || true
wait "$TCP_SIM_PID" 2>/dev/null || true

# The multi-master mode: the module's station thread in the token ring of
# ppi-sim's half-duplex bus with a simulated operator panel (station 1),
# with a generous slot time (156 ms at 9600 baud) for a loaded or emulated
# machine. Judged by the values and by the ring the trace shows.
"$SIM" --line-speed --slot-time 1500 --hsa 4 --station 2 --master 1 --load "$WORK/memory.txt" --trace \
  --exit-after 3600 >"$WORK/ring-sim.out" 2>"$WORK/ring-sim.err" &
RING_SIM_PID=$!
for _ in $(seq 50); do [ -s "$WORK/ring-sim.out" ] && break; sleep 0.1; done
SERIAL_PTY=$PTY
PTY=$(head -1 "$WORK/ring-sim.out" | cut -d' ' -f1)
ln -sfn "$PTY" "$WINEPREFIX/dosdevices/com5"
HOST_DIR=$WORK/ring-host
rm -rf "$HOST_DIR" && mkdir -p "$HOST_DIR"
cp "$BIN/plclink-host.exe" "$BIN/plclink.dll" "$BIN/KORVAN.dll" "$HOST_DIR/"
printf '\nMULTIMASTER TSL 1500 HSA 4\n' >"$HOST_DIR/vpiK701.int"
host --multimaster -v -f json read 02VW0100 02MB0004
check "multi-master: V100 and M4 read in the token ring beside a panel" \
  json_is '[t["value"] for t in out] == [0x1234, 0x5A] and all(t["status"] == "ok" for t in out)'
check "multi-master: the module joined the ring" grep -q "in the token ring" "$WORK/err"
check "multi-master: the panel passed the token to the module" grep -q "token 1 -> 0" "$WORK/ring-sim.err"
wineserver -k >/dev/null 2>&1 || true
kill "$RING_SIM_PID" 2>/dev/null || true
wait "$RING_SIM_PID" 2>/dev/null || true
PTY=$SERIAL_PTY HOST_DIR=$BIN
ln -sfn "$PTY" "$WINEPREFIX/dosdevices/com5"

if [ $failures -ne 0 ]; then
  echo "--- last host run's standard error:"; tail -20 "$WORK/err"
  exit 1
fi
