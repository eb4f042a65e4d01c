#!/usr/bin/env bash
# Creates the Wine prefix that WINEPREFIX names, for the suites that run
# under Wine. Wine's first start builds the prefix with wineboot, which
# registers the system's DLLs and starts the prefix's services; a stall in
# any of them stalls wineboot (Wine itself waits five minutes for it). So the
# start is bounded, and one that does not end well is tried once more on a
# virtual display, in a new prefix. Wine's own messages of a start go to
# LOG; when the start does not end well, their last lines and the Wine
# processes still running are shown.
# Usage: wine-prefix.sh LOG
# Exit status: 0, the prefix is ready; 3, it is ready but needed a display
# to be made, so Wine's later starts in it want one too; 1, it is not.
set -uo pipefail
LOG=$1
LIMIT=${PLCLINK_WINEBOOT_SECONDS:-240}

end_wine() {
  wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
}

wine_processes() {  # of this prefix
  local pid
  for pid in $(pgrep -f '\.exe|wineserver|lib/wine/' || true); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    ps -o pid=,stat=,etime=,args= -p "$pid" || true
  done
}

boot() {  # what, command to run wineboot under...
  local what=$1; shift
  local start=$SECONDS status=0
  echo "--- wineboot $what" >"$LOG"
  rm -rf "$WINEPREFIX"
  WINEDEBUG=err+all,fixme-all "$@" timeout -k 10 "$LIMIT" wineboot -i </dev/null >>"$LOG" 2>&1 || status=$?
  if [ $status -eq 0 ] && [ -s "$WINEPREFIX/system.reg" ]; then
    timeout 60 wineserver -w >/dev/null 2>&1 || end_wine
    echo "prefix made by wineboot $what in $((SECONDS - start)) s"
    return 0
  fi
  local why="exit status $status"
  [ $status -eq 124 ] && why="no end within $LIMIT s"
  echo "wineboot $what: $why; the last lines of $LOG:"
  tail -n 40 "$LOG"
  echo "--- Wine processes still running"
  wine_processes
  end_wine
  return 1
}

boot "without a display" env -u DISPLAY && exit 0
boot "on a virtual display" xvfb-run -a -s "-screen 0 640x400x24" && exit 3
exit 1
