#!/bin/sh
# Runs the C example application against korvosim on loopback and checks what
# it prints. Usage: run-example.sh KORVOSIM EXAMPLE
set -eu
sim=$1 example=$2
work=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
"$sim" --tcp 127.0.0.1:0 >"$work/sim.txt" 2>&1 &
pid=$!
i=0
until grep -q 'ready' "$work/sim.txt"; do
    i=$((i + 1))
    [ $i -lt 200 ] || { echo "korvosim did not start:"; cat "$work/sim.txt"; exit 1; }
    sleep 0.05
done
address=$(sed -n 's/^korvosim: tcp \(127\.0\.0\.1:[0-9]*\)$/\1/p' "$work/sim.txt")
"$example" "$address" >"$work/out.txt"
cat "$work/out.txt"
for expected in 'connected, handle ' 'getDate -> 0 \[1	' 'getVatEntry -> 0 \[1	' \
    'printRecItem -> 207' 'EFP_WRONG_STATE: Current status of FP does not allow' 'disconnect -> 0'; do
    grep -q "$expected" "$work/out.txt" || { echo "missing: $expected"; exit 1; }
done
