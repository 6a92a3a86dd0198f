#!/bin/sh
# Prints a receipt with korvoprog on the simulated printer: starts korvosim on
# loopback with a paper roll, runs examples/receipt.txt against it, shows the
# console output, the response file and the paper, and stops the simulator.
# Usage: demo.sh BUILD_DIR   (the files of the run stay in BUILD_DIR/demo)
set -eu

build=${1:-build/native}
korvosim=$build/sim/korvosim
korvoprog=$build/tool/korvoprog
commands=examples/receipt.txt
out=$build/demo
mkdir -p "$out"
rm -f "$out/paper.txt" "$out/responses.txt" "$out/korvosim.log"

sim_pid=
# True while the simulator runs (after it ends it is a zombie until waited for).
simulator_running() {
    state=Z
    [ -r "/proc/$sim_pid/stat" ] && read -r _ _ state _ <"/proc/$sim_pid/stat" 2>/dev/null
    [ "$state" != Z ]
}

# Stops the simulator: SIGTERM, and SIGKILL when it has not ended 5 s later.
stop_simulator() {
    [ -n "$sim_pid" ] || return 0
    kill "$sim_pid" 2>/dev/null || true
    waited=0
    while simulator_running && [ "$waited" -lt 50 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if simulator_running; then
        echo "demo: the simulator did not stop; killing it" >&2
        kill -KILL "$sim_pid" 2>/dev/null || true
    fi
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
}
trap stop_simulator EXIT
trap 'stop_simulator; exit 130' INT TERM

"$korvosim" --tcp 127.0.0.1:0 --paper "$out/paper.txt" >"$out/korvosim.log" 2>&1 &
sim_pid=$!

# The simulator prints the port it picked.
endpoint=
tries=0
while [ -z "$endpoint" ]; do
    endpoint=$(sed -n 's/^korvosim: tcp \(127\.0\.0\.1:[0-9][0-9]*\)$/\1/p' "$out/korvosim.log" 2>/dev/null) || true
    if [ -z "$endpoint" ]; then
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! simulator_running; then
            echo "demo: the simulator did not start:" >&2
            cat "$out/korvosim.log" >&2
            exit 1
        fi
        sleep 0.1
    fi
done

echo "== korvoprog TCP $endpoint $commands $out/responses.txt"
status=0
"$korvoprog" TCP "$endpoint" "$commands" "$out/responses.txt" || status=$?
echo "== exit code $status"
echo
echo "== Response file ($out/responses.txt; TAB shown as ' | ')"
sed 's/\t/ | /g; s/\r$//' "$out/responses.txt"
echo
stop_simulator
echo "== Paper roll ($out/paper.txt)"
cat "$out/paper.txt"
exit "$status"
