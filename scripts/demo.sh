#!/bin/sh
# Prints a receipt with korvoprog on the simulated printer: starts korvosim on
# loopback with a paper roll, runs examples/receipt.txt against it, shows the
# console output and the response file; then the same receipt through korvod,
# the print service (examples/receipt.json posted with curl, twice: the
# second answer is the stored one); shows the paper and stops everything.
# Usage: demo.sh BUILD_DIR   (the files of the run stay in BUILD_DIR/demo)
set -eu

build=${1:-build/native}
korvosim=$build/sim/korvosim
korvoprog=$build/tool/korvoprog
commands=examples/receipt.txt
out=$build/demo
mkdir -p "$out"
rm -f "$out/paper.txt" "$out/responses.txt" "$out/korvosim.log" "$out/korvod.db" "$out/korvod.db-wal" \
      "$out/korvod.db-shm" "$out/korvod.log" "$out/answer.json"
korvod=$build/service/korvod

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
korvod_pid=
# Stops korvod (SIGTERM: it finishes its task and disconnects).
stop_korvod() {
    [ -n "$korvod_pid" ] || return 0
    kill "$korvod_pid" 2>/dev/null || true
    wait "$korvod_pid" 2>/dev/null || true
    korvod_pid=
}
trap 'stop_korvod; stop_simulator' EXIT
trap 'stop_korvod; stop_simulator; exit 130' INT TERM

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

if [ -x "$korvod" ] && command -v curl >/dev/null 2>&1; then
    "$korvod" --listen 127.0.0.1:0 --db "$out/korvod.db" --printer "demo=tcp:$endpoint" \
        >"$out/korvod.log" 2>&1 &
    korvod_pid=$!
    service=
    tries=0
    while [ -z "$service" ]; do
        service=$(sed -n 's/^korvod: listening on \(http:[^ ]*\)$/\1/p' "$out/korvod.log" 2>/dev/null) || true
        if [ -z "$service" ]; then
            tries=$((tries + 1))
            if [ "$tries" -gt 100 ]; then
                echo "demo: korvod did not start:" >&2
                cat "$out/korvod.log" >&2
                exit 1
            fi
            sleep 0.1
        fi
    done
    for round in first again; do
        echo "== curl -X POST --data @examples/receipt.json $service/v1/printers/demo/receipts ($round)"
        code=$(curl -sS -X POST -H 'Content-Type: application/json' --data-binary @examples/receipt.json \
            -o "$out/answer.json" -w '%{http_code}' "$service/v1/printers/demo/receipts") || status=1
        echo "== HTTP $code"
        if command -v python3 >/dev/null 2>&1; then python3 -m json.tool "$out/answer.json"; else cat "$out/answer.json"; fi
        echo
    done
    stop_korvod
fi
stop_simulator
echo "== Paper roll ($out/paper.txt)"
cat "$out/paper.txt"
exit "$status"
