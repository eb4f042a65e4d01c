#!/usr/bin/env bash
# Creates the Wine prefix that WINEPREFIX names, for the suites that run
# under Wine. Wine's first start builds the prefix with wineboot, which
# registers the system's DLLs and starts the prefix's services; a stall in
# any of them stalls wineboot (Wine itself waits five minutes for it). So the
# start is bounded (PLCLINK_WINEBOOT_SECONDS, default 900); on a slow machine
# Wine's own wait may run out first, and then the start is waited for.
#
# A start is judged once it is over: Wine's server keeps the registry in
# memory and writes system.reg and user.reg only when it exits, so the
# prefix's server is waited for (bounded) before the exit status of wineboot
# and the registry files are looked at. A start that really failed is tried
# once more on a virtual display, in a new prefix. Wine's own messages of
# each start go to LOG; when a start fails, their last lines and the Wine
# processes still running are shown, and the last line printed says why.
# The wine command is the one WINE names (default wine). When WINE is not
# set and Wine's 64-bit loader is installed (WINE64, default
# /usr/lib/wine/wine64), the prefix is a 64-bit one: Wine's server and the
# prefix's services then run as native programs, and the 32-bit programs
# run in it as on 64-bit Windows. On a machine that runs 32-bit programs
# only through an emulator, that keeps each start of Wine to about a minute
# and the making of the prefix to a few minutes, instead of many.
# Usage: wine-prefix.sh LOG
# Exit status: 0, the prefix is ready; 3, it is ready but needed a display
# to be made, so Wine's later starts in it want one too; 1, it is not.
set -uo pipefail
LOG=$1
LIMIT=${PLCLINK_WINEBOOT_SECONDS:-900}
SERVER_LIMIT=${PLCLINK_WINESERVER_SECONDS:-180}

end_wine() {
  wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
}

wine_processes() {  # of this prefix
  local pid
  for pid in $(pgrep -f '\.exe|wineserver|lib/wine/' || true); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -xF "WINEPREFIX=$WINEPREFIX" >/dev/null || continue
    ps -o pid=,stat=,etime=,args= -p "$pid" || true
  done
}

prefix_kind() {
  if grep -q '^#arch=win64' "$WINEPREFIX/system.reg" 2>/dev/null; then echo "64-bit"; else echo "32-bit"; fi
}

registry_written() {
  [ -s "$WINEPREFIX/system.reg" ] && [ -s "$WINEPREFIX/user.reg" ]
}

seconds_left() {  # of this start's LIMIT, at least 1
  local left=$((DEADLINE - SECONDS))
  echo $((left > 0 ? left : 1))
}

BOOT_WINE=("${WINE:-wine}")
WINE64=${WINE64:-/usr/lib/wine/wine64}
if [ -z "${WINE:-}" ] && [ -x "$WINE64" ]; then
  BOOT_WINE=(env WINEARCH=win64 "$WINE64")
fi

# wineboot -i under the command given, within what is left of LIMIT; its
# exit status (124: it did not end in time).
wineboot_once() {
  WINEDEBUG=err+all,fixme-all "$@" timeout -k 10 "$(seconds_left)" "${BOOT_WINE[@]}" wineboot -i \
    </dev/null >>"$LOG" 2>&1
}

boot() {  # what, command to run wineboot under...
  local what=$1; shift
  local start=$SECONDS status=0
  DEADLINE=$((SECONDS + LIMIT))
  echo "--- wineboot $what" >>"$LOG"
  local from
  from=$(($(wc -l <"$LOG") + 1))
  rm -rf "$WINEPREFIX"
  wineboot_once "$@" || status=$?
  if [ $status -ne 0 ] && [ $status -ne 124 ] &&
     tail -n +"$from" "$LOG" | grep 'boot event wait timed out' >/dev/null; then
    # Wine waits five minutes for the start that makes a new prefix, then
    # gives up on the program it was to run, while that start goes on. On
    # a slow machine it is not over yet: wait for it, then start Wine in the
    # prefix once more, and judge that.
    echo "wineboot $what: Wine stopped waiting for the prefix's first start (exit status $status); waiting for it to end"
    status=124
    if timeout "$(seconds_left)" wineserver -w >/dev/null 2>&1; then
      status=0
      wineboot_once "$@" || status=$?
    fi
  fi
  local why="exit status $status"
  [ $status -eq 124 ] && why="no end within $LIMIT s"
  if [ $status -eq 0 ]; then
    # The start is over when the prefix's server has ended and saved the
    # registry; one that lingers is ended.
    if ! timeout "$SERVER_LIMIT" wineserver -w >/dev/null 2>&1; then
      echo "the server of wineboot $what did not end within $SERVER_LIMIT s: ending it"
      end_wine
    fi
    if registry_written; then
      echo "$(prefix_kind) prefix made by wineboot $what in $((SECONDS - start)) s"
      return 0
    fi
    why="exit status 0 but no registry was written"
  fi
  echo "wineboot $what: $why; the last lines of $LOG:"
  tail -n 40 "$LOG"
  echo "--- Wine processes still running"
  wine_processes
  end_wine
  FAILURES+=("$what: $why")
  return 1
}

FAILURES=()
: >"$LOG"
boot "without a display" env -u DISPLAY && exit 0
boot "on a virtual display" xvfb-run -a -s "-screen 0 640x400x24" && exit 3
reasons=$(printf '%s; ' "${FAILURES[@]}")
echo "Wine could not make a prefix: wineboot ${reasons%; }"
exit 1
