#!/usr/bin/env bash
# The module's dynamic symbol table: VpiMain is the only function it
# defines, it defines none of the host library functions, and each host
# function the driver's code calls is left undefined with the version
# KORVAN_1, to be bound when the module is loaded.
# Usage: check_module_symbols.sh NM MODULE CORE_LIBRARY
set -euo pipefail
NM=$1 MODULE=$2 CORE=$3
HOST_FUNCTIONS="err KorMkClient KorGetKorvanVer KorRmClient"
# No 'grep -q' at the end of a pipe: it stops at its first match, and under
# pipefail the writer's SIGPIPE would then fail a check that held.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

defined=$("$NM" -D --defined-only "$MODULE")
undefined=$("$NM" -D --undefined-only "$MODULE")
echo "defined:"; echo "$defined"
echo "undefined:"; echo "$undefined"

functions=$(awk '$2 ~ /^[TtWwi]$/ { print $3 }' <<<"$defined")
[ "$functions" = "VpiMain" ] || fail "defined functions are '$(echo $functions)', not VpiMain alone"

# Every host function the driver's code refers to.
called=$("$NM" --undefined-only "$CORE" 2>/dev/null | awk '{ print $NF }' | sort -u)
grep -qx err <<<"$called" || fail "the driver's code does not log through err"
for f in $HOST_FUNCTIONS; do
  if awk '{ print $NF }' <<<"$defined" | grep -E "^$f(@|$)" >/dev/null; then
    fail "the module defines $f"
  fi
  if grep -qx "$f" <<<"$called"; then
    awk '{ print $NF }' <<<"$undefined" | grep -x "$f@KORVAN_1" >/dev/null ||
      fail "$f is not undefined with version KORVAN_1"
  elif awk '{ print $NF }' <<<"$undefined" | grep -E "^$f(@|$)" >/dev/null; then
    fail "$f is undefined in the module but not called by the driver's code"
  fi
done
[ $failures -eq 0 ] && echo PASS
exit $failures
