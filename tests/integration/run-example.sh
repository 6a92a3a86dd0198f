#!/bin/sh
# Runs the C example application against korvosim on loopback and checks what
# it prints. Usage: run-example.sh KORVOSIM EXAMPLE
set -eu
if [ -z "${KORVOSIM_TCP:-}" ]; then
    exec "$(dirname "$0")/../../scripts/run-with-sim.sh" "$1" -- "$0" "$@"
fi
out=$("$2" "$KORVOSIM_TCP")
printf '%s\n' "$out"
for expected in 'connected, handle ' 'getDate -> 0 \[1	' 'getVatEntry -> 0 \[1	' \
    'printRecItem -> 207' 'EFP_WRONG_STATE: Current status of FP does not allow' 'disconnect -> 0'; do
    printf '%s\n' "$out" | grep -q "$expected" || { echo "missing: $expected"; exit 1; }
done
