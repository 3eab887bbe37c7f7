# Sourced by ./run and the packaging tests: small helpers for driving the virtual printer
# and the service from a shell.

# Waits up to 10 s for a line holding $2 in the file $1, while process $3 runs.
wait_for_line() {
    for _ in $(seq 100); do
        if grep -q "$2" "$1" 2>/dev/null; then return 0; fi
        kill -0 "$3" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# The port of language $2 (escpos, zpl, control) in the virtual printer's first line,
# which the file $1 holds; empty when it has none.
vprinter_port() {
    sed -n "s/.* $2 127\.0\.0\.1:\([0-9]*\).*/\1/p" "$1" | head -n 1
}

# The ResponseID in the result message $1.
response_id_of() {
    sed -n 's/.*"ResponseID":"\([^"]*\)".*/\1/p' <<<"$1"
}
