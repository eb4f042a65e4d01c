#!/usr/bin/env bash
# Builds everything from scratch and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${PLCLINK_BUILD_ROOT:-$ROOT/build}

scripts/install-deps.sh linux

build_and_test() {  # name, cmake args...
  local name=$1; shift
  echo "=== $name build"
  rm -rf "$BUILD/$name"
  cmake -S . -B "$BUILD/$name" -G Ninja "$@" >/dev/null
  ninja -C "$BUILD/$name"
  echo "=== $name tests"
  (cd "$BUILD/$name" && ctest --output-on-failure)
}

build_and_test x64
CFLAGS=-m32 CXXFLAGS=-m32 LDFLAGS=-m32 build_and_test x86

# Further suites, each in its own script.
for extra in scripts/test-all.d/*.sh; do
  [ -e "$extra" ] || continue
  echo "=== $(basename "$extra" .sh)"
  bash "$extra" "$BUILD"
done
echo "=== all suites passed"
