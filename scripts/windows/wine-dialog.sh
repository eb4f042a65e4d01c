#!/usr/bin/env bash
# The Tag Format dialog in a real window under Xvfb: plclink_dialog_test.exe
# shows command 16's dialog, drives it with messages and checks the address
# composed. Before it presses OK, a screenshot of the filled-in dialog is
# saved as WIN32_BUILD/screenshots/tag-format-dialog.png for a person to
# look at. Usage: wine-dialog.sh WIN32_BUILD (WINEPREFIX set)
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=$(cd "$1" && pwd)

SHOTS=$BUILD/screenshots
HANDSHAKE=$BUILD/bin/dialog-handshake
rm -rf "$HANDSHAKE" && mkdir -p "$HANDSHAKE" "$SHOTS"
rm -f "$SHOTS/tag-format-dialog.png"

# Wine draws the windows' frames and captions itself: there is no window
# manager on the virtual display.
# (One start of Wine for both values: a start can take a minute.)
cat >"$HANDSHAKE/no-window-manager.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="N"
REG
(cd "$HANDSHAKE" && "${WINE:-wine}" reg import no-window-manager.reg >/dev/null 2>&1)
# The prefix's desktop must start on the virtual display: end the session
# that earlier steps started without one.
wineserver -k >/dev/null 2>&1 || true
timeout 60 wineserver -w || true

cd "$BUILD/bin"
export SHOTS
timeout 900 xvfb-run -a -s "-screen 0 640x400x24" bash -c '
  "${WINE:-wine}" plclink_dialog_test.exe dialog-handshake &
  pid=$!
  for _ in $(seq 3000); do
    [ -e dialog-handshake/ready ] && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  if [ -e dialog-handshake/ready ]; then
    import -window root "$SHOTS/tag-format-dialog.png" || echo "screenshot failed"
  fi
  touch dialog-handshake/go
  wait $pid
' 2> >(grep -v "X connection to .* broken" >&2)
rm -rf "$HANDSHAKE"
[ -s "$SHOTS/tag-format-dialog.png" ] || { echo "FAIL: no screenshot of the dialog"; exit 1; }
echo "screenshot: $SHOTS/tag-format-dialog.png"
