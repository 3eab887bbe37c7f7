# Sourced by the packaging tests: checks of an installed Vembrix, wherever it was
# installed. Each check prints what it found wrong and exits with 1.

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/service-helpers.sh"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Stops the programs this shell started and has not waited for yet: only those, since
# the number of one it has waited for may be another process's by now.
stop_started() {
    local pids
    pids=$(jobs -p)
    [ -n "$pids" ] || return 0
    kill -TERM $pids 2>/dev/null || true
    wait $pids 2>/dev/null || true
}

# The unit passes systemd's check and both desktop entries desktop-file-validate's,
# without a word. $1: the prefix, $2: the autostart folder.
check_startup_files() {
    local unit=$1/lib/systemd/user/vembrix.service man_check=(--man=no) said
    [ -f "$unit" ] || fail "no user unit at $unit"
    # With man at hand, the check also finds the unit's manual page among the installed ones.
    command -v man >/dev/null && man_check=()
    said=$(MANPATH=$1/share/man systemd-analyze verify "${man_check[@]}" "$unit" 2>&1) ||
        fail "systemd-analyze verify $unit: $said"
    [ -z "$said" ] || fail "systemd-analyze verify $unit: $said"
    for entry in "$1/share/applications/vembrix.desktop" "$2/vembrix.desktop"; do
        said=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate $entry: $said"
        [ -z "$said" ] || fail "desktop-file-validate $entry: $said"
    done
}

# A loopback port nobody listens on a moment ago.
free_port() {
    local port
    for _ in $(seq 100); do
        port=$((20000 + RANDOM % 40000))
        # /proc/net/tcp* name local ports in hexadecimal after the address.
        grep -qi ":$(printf '%04X' "$port") " /proc/net/tcp /proc/net/tcp6 2>/dev/null ||
            { echo "$port"; return 0; }
    done
    return 1
}

# Uses the programs in the folder $1 as a user would, with the home folder $2 that they
# must choose by themselves: configures a receipt and a label printer on a virtual
# printer, prints both test pages (with the pictures the program ships), and prints a job
# through the service. $3: a folder for the run's own files.
exercise_installed() {
    local bin=$1 home=$2 run=$3 printer_pid service_pid port result id status=0
    mkdir -p "$run"
    "$bin/vembrix" --version | grep -q '^Vembrix [0-9]' || fail "vembrix --version"

    "$bin/vprinter" --port 0:escpos --port 0:zpl --control --journal "$run/journal" \
        >"$run/vprinter.out" 2>&1 &
    printer_pid=$!
    wait_for_line "$run/vprinter.out" '^vprinter' "$printer_pid" || fail "vprinter did not start"

    port=$(free_port) || fail "no free port"
    "$bin/vembrix" settings set ListenPort="$port"
    "$bin/vembrix" printer add Till PrinterType=POSPrinter PortType=2 PortName=127.0.0.1 \
        BaudRate="$(vprinter_port "$run/vprinter.out" escpos)"
    "$bin/vembrix" printer add Labels PrinterType=LabelPrinter PortType=2 PortName=127.0.0.1 \
        BaudRate="$(vprinter_port "$run/vprinter.out" zpl)"
    [ -f "$home/vembrix.ini" ] || fail "the configuration is not in $home: $(ls -A "$home" 2>&1)"
    [ ! -e "$bin/vembrix.ini" ] || fail "the configuration went beside the program"

    "$bin/vembrix" printer test Till || fail "the test receipt did not print"
    "$bin/vembrix" printer test Labels || fail "the test label did not print"

    "$bin/vembrix" --headless >"$run/service.out" 2>&1 &
    service_pid=$!
    wait_for_line "$run/service.out" "serving on port $port" "$service_pid" ||
        fail "the service did not start: $(cat "$run/service.out")"
    result=$(curl -sS --max-time 10 -X POST \
        --data-binary '{"id":7,"mode":0,"functions":{"func1":{"printText":["Printed by the installed service\n",0,0,0,1,1,0,0]},"func2":{"cutPaper":[65]}}}' \
        "http://127.0.0.1:$port/vembrix/Till") || fail "the job could not be posted"
    id=$(response_id_of "$result")
    [ -n "$id" ] || fail "the job was not taken: $result"
    result=$(curl -sS --max-time 40 "http://127.0.0.1:$port/vembrix/Till/$id") ||
        fail "no result for the job"
    grep -q '"Result":"success"' <<<"$result" || fail "the job did not print: $result"
    kill -TERM "$service_pid"
    wait "$service_pid" || status=$?
    [ "$status" -eq 0 ] || fail "the service ended with $status: $(cat "$run/service.out")"

    # The printer journals what it has decoded, which may come a moment after the result.
    wait_for_line "$run/journal" '"text":"Printed by the installed service' "$printer_pid" ||
        fail "the job is not in the virtual printer's journal"
    # The test receipt's logo and the test label's picture come from the data folder.
    grep -q '"type":"image"' "$run/journal" || fail "no picture on the test receipt"
    grep -q '"type":"graphic"' "$run/journal" || fail "no picture on the test label"
    stop_started
}
