#!/usr/bin/env bash
# The Debian package of the Linux tools, from a Release build (warnings as
# errors): cpack makes BUILD_ROOT/release/plclink_<version>_<arch>.deb, which
# is unpacked into a scratch root, where the installed plclink-host must
# describe the installed module without being told where it is.
# Usage: 70-package.sh BUILD_ROOT
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${1:-$PWD/build}/release
source scripts/stage-results.sh

rm -rf "$BUILD"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPLCLINK_TESTS=OFF -DPLCLINK_WARNINGS_AS_ERRORS="${PLCLINK_WARNINGS_AS_ERRORS:-ON}" >/dev/null
ninja -C "$BUILD"
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB=$(ls "$BUILD"/plclink_*.deb)
echo "--- $DEB"
dpkg-deb --info "$DEB" | grep -E "Package|Version|Architecture|Depends"
dpkg-deb --contents "$DEB" | awk '{print "    " $NF}' | grep -v '/$' | tee "$BUILD/contents.txt"

SCRATCH=$BUILD/scratch-root
rm -rf "$SCRATCH" && mkdir -p "$SCRATCH"
dpkg-deb -x "$DEB" "$SCRATCH"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
echo "--- $SCRATCH/usr/bin/plclink-host describe"
(cd "$WORK" && "$SCRATCH/usr/bin/plclink-host" --format json describe) >"$WORK/describe.json"
python3 - "$WORK/describe.json" <<'PY'
import json, sys
out = json.load(open(sys.argv[1]))
print("   ", out["name"], "instance size", out["instance_size"])
# 2152 bytes on a 32-bit build, the natural 64-bit layout is larger.
sys.exit(0 if out["name"] == "Siemens S7-200" and out["instance_size"] >= 2152 else "unexpected description")
PY
"$SCRATCH/usr/bin/ppi-sim" --help >/dev/null
echo "--- the installed plclink-host found its module; ppi-sim runs"
stage_note "package of $(wc -l <"$BUILD/contents.txt") files: the installed plclink-host described the module, ppi-sim ran"
