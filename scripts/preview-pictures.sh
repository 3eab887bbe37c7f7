#!/usr/bin/env bash
# Makes the README's pictures of a receipt and a label: the built service prints a
# receipt job and a label job through the printer libraries to the virtual printer,
# which draws them; the pictures land in docs/ as preview-receipt.png and
# preview-label.png. Run after a build (./run or ./test builds build/).
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=build/bin
HOME_DIR=$(mktemp -d)
export VEMBRIX_HOME=$HOME_DIR
PRINTER_PID=
SERVICE_PID=
cleanup() {
    for pid in $SERVICE_PID $PRINTER_PID; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in $SERVICE_PID $PRINTER_PID; do wait "$pid" 2>/dev/null || true; done
    [ -n "${KEEP:-}" ] || rm -rf "$HOME_DIR"
}
trap cleanup EXIT

wait_for_line() {
    for _ in $(seq 100); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "timed out waiting for '$2' in $1" >&2
    return 1
}

"$BIN/vprinter" --port 0:escpos --port 0:zpl --previews "$HOME_DIR/previews" >"$HOME_DIR/vprinter.out" &
PRINTER_PID=$!
wait_for_line "$HOME_DIR/vprinter.out" "^vprinter"
port_of() { sed -n "s/.* $1 127\.0\.0\.1:\([0-9]*\).*/\1/p" "$HOME_DIR/vprinter.out"; }

# A free port for the service: the kernel's pick for a socket we close at once.
PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$BIN/vembrix" settings set ListenPort="$PORT" >/dev/null
"$BIN/vembrix" printer add Till PrinterType=POSPrinter PortType=2 PortName=127.0.0.1 \
    BaudRate="$(port_of escpos)" >/dev/null
"$BIN/vembrix" printer add Labels PrinterType=LabelPrinter PortType=2 PortName=127.0.0.1 \
    BaudRate="$(port_of zpl)" >/dev/null
"$BIN/vembrix" --headless >"$HOME_DIR/service.out" 2>&1 &
SERVICE_PID=$!
wait_for_line "$HOME_DIR/service.out" "serving on port"

job() {
    local ready id
    ready=$(curl -sS -X POST --data-binary "$2" "http://127.0.0.1:$PORT/vembrix/$1")
    id=$(sed -n 's/.*"ResponseID":"\([^"]*\)".*/\1/p' <<<"$ready")
    echo "$1: $(curl -sS "http://127.0.0.1:$PORT/vembrix/$1/$id")"
}

job Till '{"id":1,"mode":0,"functions":{
 "func1":{"printText":["Vembrix Café\n",1,0,1,2,2,0,0]},
 "func2":{"printText":["12 Harbour Lane, Kiel\n\n",1,1,0,1,1,0,0]},
 "func3":{"printText":["Flat white             3.40\nCroissant              2.20\nOrange juice           2.90\n",0,0,0,1,1,0,0]},
 "func4":{"printText":["TOTAL                  8.50\n",0,0,1,1,1,0,0]},
 "func5":{"printText":[" Paid by card \n",1,0,8,1,1,0,0]},
 "func6":{"setTextEncoding":[866]},
 "func7":{"printText":["Спасибо!\n",1,0,2,1,1,0,0]},
 "func8":{"setTextEncoding":[949]},
 "func9":{"printText":["감사합니다\n\n",1,0,0,1,1,0,0]},
 "func10":{"setTextEncoding":[437]},
 "func11":{"print1DBarcode":["4711081500",110,60,2,1,2]},
 "func12":{"printQRCode":["https://example.com/r/4711",5,1,1,0]},
 "func13":{"cutPaper":[65]}}}'
job Labels '{"id":2,"mode":0,"functions":{
 "func1":{"ClearBuffer":[]},
 "func2":{"SetPaper":[812,600,0,0,1,0,0]},
 "func3":{"PrintBlock":[20,20,792,580,4,4]},
 "func4":{"PrintDeviceFont":[50,45,0,2,2,0,0,"Order 4711"]},
 "func5":{"PrintDeviceFont":[50,110,4,1,1,0,0,"Ship to: Hafenstrasse 12, Kiel"]},
 "func6":{"PrintBlock":[40,160,772,164,1,4]},
 "func7":{"Print1DBarcode":[50,190,0,2,0,100,0,1,"4711-0815"]},
 "func8":{"PrintQRCode":[560,180,2,1,6,0,"https://example.com/o/4711"]},
 "func9":{"PrintDeviceFont":[50,360,6,1,1,0,1,"FRAGILE"]},
 "func10":{"PrintDataMatrix":[440,400,6,0,0,"4711-0815"]},
 "func11":{"PrintTrueFont":[50,470,"DejaVu Sans",36,0,0,1,0,"Grüße aus Köln",0]},
 "func12":{"Prints":[1,1]}}}'

for _ in $(seq 100); do
    [ "$(ls "$HOME_DIR"/previews/*.png 2>/dev/null | wc -l)" -ge 2 ] && break
    sleep 0.1
done
cp "$(ls "$HOME_DIR"/previews/*-receipt.png | head -n 1)" docs/preview-receipt.png
cp "$(ls "$HOME_DIR"/previews/*-label.png | head -n 1)" docs/preview-label.png
echo "docs/preview-receipt.png and docs/preview-label.png written"
