#!/usr/bin/env bash
# The Windows module: cross-built with MinGW-w64 for 32-bit Windows as a
# Release build (the build that ships), tested under Wine, and packed into
# the integrators' zip (BUILD_ROOT/win32/plclink-*-win32.zip). The wine
# command is the one WINE names (default wine). When Wine cannot start here,
# the stage fails, unless PLCLINK_ALLOW_SKIP=1 (and not CI=true) lets it skip
# the suites under Wine.
# Usage: 50-windows.sh BUILD_ROOT
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
source scripts/stage-results.sh
BUILD_ROOT=${1:-$ROOT/build}
BUILD=$BUILD_ROOT/win32

scripts/install-deps.sh windows

echo "--- cross-build in $BUILD"
rm -rf "$BUILD"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DPLCLINK_WARNINGS_AS_ERRORS="${PLCLINK_WARNINGS_AS_ERRORS:-ON}" >/dev/null
ninja -C "$BUILD"
BIN=$BUILD/bin

echo "--- binary interface of plclink.dll"
scripts/windows/check-module-binary.sh "$BIN/plclink.dll"

# Nothing under Wine reads a terminal: a console program started with a
# terminal on its standard input would set that terminal's modes.
exec </dev/null

# A fresh Wine prefix for this run, removed again at the end.
export WINEPREFIX=$BUILD/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
XVFB_PID=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

start_virtual_display() {  # sets DISPLAY
  local number=$BUILD/xvfb-display
  rm -f "$number"
  Xvfb -displayfd 3 -screen 0 640x400x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$number" ] && break; sleep 0.1; done
  [ -s "$number" ] || { echo "FAIL: Xvfb did not start"; return 1; }
  DISPLAY=":$(head -1 "$number")"
  export DISPLAY
}

run_under_wine() {
  echo "--- unit and Windows suites under wine"
  # COM5 of the prefix is a pseudo-terminal whose far end echoes every byte,
  # for the suite's serial port tests. It must outlive the whole ctest run
  # (up to 900 s a suite), and is ended after it.
  ECHO_OUT=$BUILD/pty-echo.txt
  python3 scripts/windows/pty-echo.py 3600 >"$ECHO_OUT" &
  ECHO_PID=$!
  for _ in $(seq 50); do [ -s "$ECHO_OUT" ] && break; sleep 0.1; done
  ln -sfn "$(head -1 "$ECHO_OUT")" "$WINEPREFIX/dosdevices/com5"
  status=0
  PLCLINK_TEST_ECHO_PORT=COM5 TESTS_UNDER_WINE=1 run_ctest "$BUILD" "$BUILD/ctest.log" --timeout 900 ||
    status=$?
  kill "$ECHO_PID" 2>/dev/null || true
  wait "$ECHO_PID" 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com5" "$ECHO_OUT"
  RAN="$CTEST_RAN suites, $GTEST_RAN tests under Wine"
  [ $status -eq 0 ] || return $status

  echo "--- end to end under wine"
  scripts/windows/wine-end-to-end.sh "$BUILD" | tee "$BUILD/end-to-end.log" || status=$?
  RAN="$RAN, end to end $(checks_passed "$BUILD/end-to-end.log") checks"
  [ $status -eq 0 ] || return $status

  echo "--- Tag Format dialog under Xvfb"
  scripts/windows/wine-dialog.sh "$BUILD" | tee "$BUILD/dialog.log" || status=$?
  RAN="$RAN, dialog $(checks_passed "$BUILD/dialog.log") checks"
  return $status
}

checks_passed() {  # LOG: the number of checks the end to end and dialog runs passed
  grep -c '^ok  : ' "$1" || true
}

# What ran, for the summary line; a failure leaves what ran before it.
RAN="nothing under Wine"
trap 'stage_note "$(with_not_run "$RAN")"; cleanup' EXIT

echo "--- wine prefix"
prefix=0
scripts/windows/wine-prefix.sh "$BUILD/wineboot.log" | tee "$BUILD/wine-prefix.out" || prefix=$?
case $prefix in
  0) run_under_wine ;;
  3)
    # Wine started only with a display: the suites get one too, a virtual
    # display for the rest of the stage.
    start_virtual_display
    echo "the suites under Wine run on the virtual display $DISPLAY"
    run_under_wine
    ;;
  *)
    # This machine's Wine did not start. That says nothing of the module,
    # but the suites that need Wine cannot run.
    cannot_run "every suite under Wine" "$(tail -1 "$BUILD/wine-prefix.out")"
    ;;
esac

echo "--- integrators' zip"
(cd "$BUILD" && cpack -G ZIP >/dev/null)
ZIP=$(ls "$BUILD"/plclink-*-win32.zip)
python3 - "$ZIP" <<'PY'
import sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
print(sys.argv[1] + ":", " ".join(sorted(n.split("/", 1)[1] for n in names if not n.endswith("/"))))
wanted = {"plclink.dll", "VERSION.txt", "INTEGRATION.txt", "include/plclink/vpi.h", "include/plclink/korvan.h"}
missing = wanted - {n.split("/", 1)[1] for n in names}
sys.exit("missing from the zip: %s" % sorted(missing) if missing else 0)
PY
