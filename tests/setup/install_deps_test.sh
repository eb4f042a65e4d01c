#!/usr/bin/env bash
# scripts/install-deps.sh against stand-ins for apt-get, dpkg-query and sudo
# early in PATH: a package mirror in the middle of a sync (its index fails
# to arrive, for a while or for good), and a machine that has everything.
# Usage: install_deps_test.sh SCRIPT
set -uo pipefail
SCRIPT=$1
FAKES=$(mktemp -d)
trap 'rm -rf "$FAKES"' EXIT
INDEX=http://mirror.invalid/debian/dists/bookworm/main/binary-i386/Packages.xz
cat >"$FAKES/apt-get" <<FAKE
#!/bin/sh
echo "\$*" >>"$FAKES/calls"
case "\$*" in
  *update*) [ "\$(grep -c update "$FAKES/calls")" -gt "\$FAIL_UPDATES" ] && exit 0
    echo "E: Failed to fetch $INDEX  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]" ;;
  *install*) [ "\$INSTALL_FAILS" = 1 ] || exit 0
    echo "E: Unable to correct problems, you have held broken packages." ;;
esac
exit 100
FAKE
printf '#!/bin/sh\n[ "$INSTALLED" = 1 ] && printf "install ok installed"\n' >"$FAKES/dpkg-query"
printf '#!/bin/sh\nexec "$@"\n' >"$FAKES/sudo"
chmod +x "$FAKES"/*

failures=0
expect() {  # description, condition
  if eval "$2"; then echo "ok  : $1"; else
    echo "FAIL: $1"; cat "$FAKES/err" "$FAKES/out"; failures=$((failures + 1)); fi
}
run() {  # FAIL_UPDATES INSTALL_FAILS INSTALLED
  rm -f "$FAKES/calls"
  status=0
  FAIL_UPDATES=$1 INSTALL_FAILS=$2 INSTALLED=$3 PLCLINK_APT_WAIT=0 PATH="$FAKES:$PATH" \
    bash "$SCRIPT" fuzz >"$FAKES/out" 2>"$FAKES/err" || status=$?
  updates=$(grep -c update "$FAKES/calls" 2>/dev/null)
}

run 2 0 0
expect "two failed updates, each announced, then the install" \
  '[ $updates = 3 ] && [ "$(grep -c "^apt-get update: try [12] of 4 failed" "$FAKES/err")" = 2 ] &&
   [ $status = 0 ] && [ "$(tail -1 "$FAKES/out")" = "installed clang-14 libclang-rt-14-dev" ]'
run 99 1 0
expect "an index that never arrives: four tries, the install all the same, then one line naming the index" \
  '[ $updates = 4 ] && grep -q install "$FAKES/calls" && [ $status = 1 ] &&
   [ "$(tail -1 "$FAKES/err")" = "FAIL: could not install clang-14 libclang-rt-14-dev: the index $INDEX failed (File has unexpected size (374820 != 376004). Mirror sync in progress?); the package mirror is being updated; run the command again later" ]'
run 99 1 1
expect "everything installed: nothing to install, apt-get untouched" \
  '[ $status = 0 ] && [ "$(cat "$FAKES/out")" = "nothing to install" ] && [ ! -e "$FAKES/calls" ]'
exit $((failures > 0))
