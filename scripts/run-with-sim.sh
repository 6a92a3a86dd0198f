#!/bin/sh
# Runs a command against a korvosim of its own, on loopback TCP and a
# USB pseudo-terminal, in a scratch directory that goes when it ends.
# Usage: run-with-sim.sh KORVOSIM [KORVOSIM OPTION]... -- COMMAND [ARG]...
# The command finds in its environment: KORVOSIM_TCP (host:port), KORVOSIM_USB
# (the port name, COM7, under KORVOCOMM_PORTS), KORVOSIM_PAPER and
# KORVOSIM_JOURNAL (the simulator's paper roll and journal files).
set -eu
sim=$1
shift
options=
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    options="$options $1"
    shift
done
[ $# -gt 1 ] || { echo "usage: run-with-sim.sh KORVOSIM [OPTION]... -- COMMAND [ARG]..." >&2; exit 2; }
shift

work=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
mkdir "$work/ports"
: >"$work/sim.txt"
# shellcheck disable=SC2086 # the options are separate words
"$sim" --tcp 127.0.0.1:0 --usb "$work/ports/com7" --paper "$work/paper.txt" --journal "$work/journal.txt" \
    $options >"$work/sim.txt" 2>&1 &
pid=$!
i=0
until grep -q 'korvosim: ready' "$work/sim.txt"; do
    i=$((i + 1))
    if [ $i -ge 200 ] || ! kill -0 "$pid" 2>/dev/null; then
        echo "korvosim did not start:"; cat "$work/sim.txt"; exit 1
    fi
    sleep 0.05
done

KORVOSIM_TCP=$(sed -n 's/^korvosim: tcp \(127\.0\.0\.1:[0-9]*\)$/\1/p' "$work/sim.txt")
KORVOSIM_USB=COM7
KORVOCOMM_PORTS=$work/ports
KORVOSIM_PAPER=$work/paper.txt
KORVOSIM_JOURNAL=$work/journal.txt
export KORVOSIM_TCP KORVOSIM_USB KORVOCOMM_PORTS KORVOSIM_PAPER KORVOSIM_JOURNAL
status=0
"$@" || status=$?
exit $status
