#!/usr/bin/env bash
# The Tag Format dialog on a real terminal: the probe shows it through
# VpiMain command 16 inside a tmux pane, keys go in with send-keys and the
# screen is read back with capture-pane.
#   tag_format_terminal_test.sh PROBE MODULE
# Exits 77 (skipped) when tmux is not installed.
set -u
PROBE=$1
MODULE=$2

command -v tmux >/dev/null 2>&1 || { echo "tmux not installed: skipped"; exit 77; }

WORK=$(mktemp -d)
SOCKET="plclink-dialog-$$"
TMUX_CMD=(tmux -L "$SOCKET" -f /dev/null)
cleanup() {
  "${TMUX_CMD[@]}" kill-server >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

screen() { "${TMUX_CMD[@]}" capture-pane -p -t dialog 2>/dev/null; }

# Waits up to 10 s for a text on the screen.
wait_for_text() {
  for _ in $(seq 1 100); do
    screen | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  echo "--- screen while waiting for: $1"
  screen
  return 1
}

# Waits up to 10 s for the probe's result line.
wait_for_result() {
  for _ in $(seq 1 100); do
    [ -s "$1" ] && { cat "$1"; return 0; }
    sleep 0.1
  done
  echo "(no result)"
  return 1
}

open_dialog() {  # result file
  "${TMUX_CMD[@]}" kill-server >/dev/null 2>&1
  rm -f "$1" "$1.stty" "$1.err"
  "${TMUX_CMD[@]}" new-session -d -s dialog -x 80 -y 24 \
    "'$PROBE' '$MODULE' '$1' '$WORK/host.log' 2>'$1.err'; stty -a > '$1.stty'" || return 1
  wait_for_text "Tag Format" && wait_for_text "PLC number:"
}

# Shows the dialog; on failure says what the probe reported. A tmux server
# that died before the probe got to write anything ("server exited
# unexpectedly", seen once on a loaded machine) is tmux's fault, not the
# dialog's: a start after which the probe left no trace at all is tried
# once more.
start_dialog() {  # result file
  open_dialog "$1" && return 0
  echo "--- probe result: $(cat "$1" 2>/dev/null || echo none)"
  [ -f "$WORK/host.log" ] && sed 's/^/--- host log: /' "$WORK/host.log"
  [ -s "$1.err" ] && sed 's/^/--- probe: /' "$1.err"
  [ -e "$1" ] || [ -e "$1.stty" ] && return 1
  echo "--- no probe result: starting the dialog once more"
  open_dialog "$1"
}

keys() { "${TMUX_CMD[@]}" send-keys -t dialog "$@"; }

# 1. Area V, type B, address 12, bit 05, Enter: the address is written.
if start_dialog "$WORK/composed"; then
  # A disabled list has dashes for arrows, an enabled one ^ and v.
  screen | grep -qE "Bit number: +None +--" || fail "disabled bit list not marked"
  keys Tab Tab Tab                  # PLC number -> OK -> Cancel -> Point type
  keys Down Down Down Down          # M, I, Q, V
  wait_for_text "V (for virtual memory)" || fail "area not chosen"
  keys Tab Down                     # data type: B
  wait_for_text "B (Byte)" || fail "type not chosen"
  wait_for_text "None  ^v" || fail "enabled bit list not marked"
  keys Tab 1 2                      # the address replaces 0000
  wait_for_text "12  " || fail "address not typed"
  keys Tab Tab                      # PLC number -> bit number
  keys Down Down Down Down Down Down  # None -> 05
  wait_for_text " 05 " || fail "bit not chosen"
  keys Enter
  got=$(wait_for_result "$WORK/composed")
  [ "$got" = "result=0 gas=01VB00125" ] || fail "composed: $got"
  # The terminal is given back in its line mode, echo on.
  wait_for_result "$WORK/composed.stty" >/dev/null
  grep -qE '(^| )icanon( |$)' "$WORK/composed.stty" && grep -qE '(^| )echo( |$)' "$WORK/composed.stty" ||
    fail "terminal not restored: $(cat "$WORK/composed.stty" 2>/dev/null)"
else
  fail "dialog did not appear"
fi

# 2. A rule message appears over the dialog, which stays open after it.
if start_dialog "$WORK/rule"; then
  keys Tab Tab Tab Down Tab Down Down   # M, W
  wait_for_text "W (Word)" || fail "type not chosen"
  keys Tab 1 1 Enter
  if wait_for_text "Word Type must be a 2 bytes address boundary"; then
    screen | grep -qF " Error " || fail "message box has no Error caption"
    # The box's button row keeps the box's sides: four borders on that row.
    button_row=$(screen | grep -A3 -F " Error " | sed -n 4p)
    sides=$(printf '%s' "$button_row" | grep -o '│\|x' | wc -l)
    case "$button_row" in *"[ OK ]"*) ;; *) fail "no button row: $button_row" ;; esac
    [ "$sides" -ge 4 ] || fail "button row lost the box's sides: $button_row"
    keys Enter
    for _ in $(seq 1 50); do
      screen | grep -qF "address boundary" || break
      sleep 0.1
    done
    screen | grep -qF "address boundary" && fail "message box stayed"
    screen | grep -qF "Tag Format" || fail "dialog closed after the message"
    [ -e "$WORK/rule" ] && fail "command returned while the dialog was open"
    keys Up                          # the address spin: 11 -> 12
    wait_for_text "0012" || fail "address spin"
    keys Enter
    got=$(wait_for_result "$WORK/rule")
    [ "$got" = "result=0 gas=01MW0012" ] || fail "after the correction: $got"
  else
    fail "no rule message"
  fi
else
  fail "dialog did not appear"
fi

# 3. Escape cancels: nothing written.
if start_dialog "$WORK/cancel"; then
  keys Escape
  got=$(wait_for_result "$WORK/cancel")
  [ "$got" = "result=53 gas=(unchanged)" ] || fail "cancel: $got"
else
  fail "dialog did not appear"
fi

# 4. Without a controlling terminal the dialog cannot be created, and the
# host's log says why.
setsid -w "$PROBE" "$MODULE" "$WORK/noterm" "$WORK/noterm.log" </dev/null >"$WORK/noterm.out" 2>&1
got=$(cat "$WORK/noterm" 2>/dev/null)
[ "$got" = "result=53 gas=(unchanged)" ] || fail "without a terminal: $got"
grep -qF "ShowTagFormatDialog() error. The dialog needs a controlling terminal" "$WORK/noterm.log" ||
  fail "no reason logged: $(cat "$WORK/noterm.log" 2>/dev/null)"
TERM=no-such-terminal script -qec "'$PROBE' '$MODULE' '$WORK/badterm'" /dev/null </dev/null \
  >/dev/null 2>&1 || true
if command -v script >/dev/null 2>&1; then
  got=$(cat "$WORK/badterm" 2>/dev/null)
  [ "$got" = "result=53 gas=(unchanged)" ] || fail "unknown TERM: $got"
fi

[ $failures -eq 0 ] && echo "tag format terminal: all passed"
exit $((failures > 0))
