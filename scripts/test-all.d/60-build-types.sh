#!/usr/bin/env bash
# The build types a packager or a developer may pick besides the ones the
# suites run (RelWithDebInfo on Linux, Release for Windows, Release in the
# package stage): Debug and MinSizeRel of the x86-64 module and tools must
# build, warnings as errors. Build only, no tests, to stay cheap.
# Usage: 60-build-types.sh BUILD_ROOT
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=${1:-$PWD/build}
source scripts/stage-results.sh

built=()
for type in Debug MinSizeRel; do
  build=$ROOT/x64-$type
  echo "--- $type in $build"
  start=$SECONDS
  rm -rf "$build"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=$type -DPLCLINK_TESTS=OFF \
    -DPLCLINK_WARNINGS_AS_ERRORS="${PLCLINK_WARNINGS_AS_ERRORS:-ON}" >/dev/null
  ninja -C "$build" >/dev/null
  echo "--- $type built in $((SECONDS - start)) s"
  built+=("$type")
done
stage_note "no tests (build only): ${built[*]} built"
