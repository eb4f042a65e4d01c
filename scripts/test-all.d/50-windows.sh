#!/usr/bin/env bash
# The Windows module: cross-built with MinGW-w64 for 32-bit Windows and
# tested under Wine. Usage: 50-windows.sh BUILD_ROOT
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD_ROOT=${1:-$ROOT/build}
BUILD=$BUILD_ROOT/win32

scripts/install-deps.sh windows

echo "--- cross-build in $BUILD"
rm -rf "$BUILD"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
ninja -C "$BUILD"
BIN=$BUILD/bin

# A fresh Wine prefix for this run, removed again at the end.
export WINEPREFIX=$BUILD/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
rm -rf "$WINEPREFIX"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
echo "--- wine prefix"
timeout 300 wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w || true

echo "--- binary interface of plclink.dll"
scripts/windows/check-module-binary.sh "$BIN/plclink.dll"

echo "--- unit and Windows suites under wine"
(cd "$BUILD" && timeout 900 ctest --output-on-failure)

echo "--- end to end under wine"
scripts/windows/wine-end-to-end.sh "$BUILD"

echo "--- Tag Format dialog under Xvfb"
scripts/windows/wine-dialog.sh "$BUILD"
