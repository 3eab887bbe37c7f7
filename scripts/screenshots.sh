#!/usr/bin/env bash
# Takes the README's pictures of the desktop window from the real program: the main
# window with two printers, the printer dialog for a network and for a serial printer,
# the settings dialog, and a printer fault in the pop-up. The program runs on an X
# server of its own (Xvfb) with a window manager that has a tray (icewm), in a private
# home, with the virtual printer standing in for the receipt printer; xdotool clicks
# and types as a user would and ImageMagick's import takes each window.
#
#   scripts/screenshots.sh [OUTPUT_FOLDER]     (default docs/images; needs a build in build/)
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-docs/images}
BIN=build/bin
for tool in Xvfb icewm xdotool xwininfo import "$BIN/vembrix" "$BIN/vprinter"; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 2; }
done
mkdir -p "$OUT"

WORK=$(mktemp -d)
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# waitfor DESCRIPTION COMMAND...: runs the command until it succeeds, for 20 s at most.
waitfor() {
  local what=$1
  shift
  for _ in $(seq 200); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "screenshots: no $what" >&2
  exit 1
}
# The visible window whose name matches.
window() { xdotool search --onlyvisible --name "$1" | head -n 1; }
shoot() {
  local id
  waitfor "window '$1'" window "$1"
  id=$(window "$1")
  sleep 0.5  # let it finish painting
  import -window "$id" "$OUT/$2"
  echo "  $OUT/$2"
}
# Clicks at a point of a window, relative to its top left corner.
click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
PIDS+=($!)
waitfor "X server" test -s "$WORK/display"
export DISPLAY=":$(cat "$WORK/display")"
unset WAYLAND_DISPLAY
icewm >/dev/null 2>&1 &
PIDS+=($!)
waitfor "tray" sh -c 'xwininfo -root -tree | grep -q "\"SystemTray\""'

"$BIN/vprinter" --port 0 --control >"$WORK/vprinter" 2>&1 &
PIDS+=($!)
waitfor "virtual printer" grep -q control "$WORK/vprinter"
PRINTER_PORT=$(sed -n 's/.*escpos 127.0.0.1:\([0-9]*\).*/\1/p' "$WORK/vprinter")
CONTROL_PORT=$(sed -n 's/.*control 127.0.0.1:\([0-9]*\).*/\1/p' "$WORK/vprinter")

# Three serial ports whatever this computer has, and two printers.
export VEMBRIX_HOME=$WORK/home
mkdir -p "$VEMBRIX_HOME/dosdevices"
for port in COM1 COM2 COM3; do ln -s /dev/null "$VEMBRIX_HOME/dosdevices/$port"; done
# A port nobody listens on.
for LISTEN_PORT in $(seq 18900 18999); do
  (exec 3<>"/dev/tcp/127.0.0.1/$LISTEN_PORT") 2>/dev/null || break
done
"$BIN/vembrix" settings set ListenPort="$LISTEN_PORT"
"$BIN/vembrix" printer add Till PrinterType=POSPrinter Physical=VPRINTER-M1 PortType=2 \
  PortName=127.0.0.1 BaudRate="$PRINTER_PORT" CheckStatus=1
"$BIN/vembrix" printer add Labels PrinterType=LabelPrinter Physical=Varo-L40 PortType=32 \
  PortName=COM2 BaudRate=19200 DataBits=8 Parity=0 StopBits=0 FlowControl=2

"$BIN/vembrix" >"$WORK/vembrix.out" 2>"$WORK/vembrix.err" &
PIDS+=($!)
waitfor "service" grep -q "serving on port" "$WORK/vembrix.out"
MAIN="^Vembrix \\(Version"
shoot "$MAIN" main-window.png
main=$(window "$MAIN")

# A row, then "Printer setting": the list, then Add Printer, Remove Printer and
# Printer setting in the focus chain.
edit_row() {
  click_at "$main" 60 "$1"
  xdotool key Tab Tab Tab space
}
edit_row 72
shoot "^Printer setting$" printer-dialog-network.png
xdotool key Escape
edit_row 102
shoot "^Printer setting$" printer-dialog-serial.png
xdotool key Escape

# An empty part of the list takes the selection away, and with it the buttons that
# need one: Add Printer, then Vembrix setting.
click_at "$main" 200 200
xdotool key Tab Tab space
shoot "^Vembrix setting$" settings-dialog.png
xdotool key Escape

exec 3<>"/dev/tcp/127.0.0.1/$CONTROL_PORT"
echo "cover open" >&3
read -r _ <&3
exec 3>&-
shoot "^Vembrix$" popup.png
