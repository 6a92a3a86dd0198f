#!/bin/sh
# Runs every libFuzzer target of a fuzz build for a while, two at a time.
# Usage: run-fuzz.sh BUILD_DIR [SECONDS_EACH] [JOBS]
# Each target starts from its seeds (tests/fuzz/corpus/NAME) and keeps what it
# finds in BUILD_DIR/fuzz-corpus/NAME, so later runs go on from there. An
# input that crashes a target is written to BUILD_DIR/fuzz-crashes/ and the
# run fails; replay it with: BUILD_DIR/tests/fuzz/fuzz_NAME FILE
set -eu

build=${1:?usage: run-fuzz.sh BUILD_DIR [SECONDS_EACH] [JOBS]}
seconds=${2:-10}
jobs=${3:-2}
here=$(cd "$(dirname "$0")/.." && pwd)
seeds=$here/tests/fuzz/corpus
mkdir -p "$build/fuzz-corpus" "$build/fuzz-crashes" "$build/fuzz-logs"

targets=$(find "$build/tests/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort)
[ -n "$targets" ] || { echo "run-fuzz.sh: no fuzz targets in $build/tests/fuzz" >&2; exit 2; }

run_one() {
    exe=$1
    name=${exe##*/fuzz_}
    mkdir -p "$build/fuzz-corpus/$name"
    log=$build/fuzz-logs/$name.log
    # Inputs up to 8 KiB reach the 2500-byte line and buffer limits.
    if "$exe" -max_total_time="$seconds" -max_len=8192 -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/fuzz-crashes/$name-" \
        "$build/fuzz-corpus/$name" "$seeds/$name" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz $name: ${runs:-?} inputs in ${seconds}s, no failure"
    else
        echo "fuzz $name: FAILED, see $log" >&2
        tail -n 40 "$log" >&2
        return 1
    fi
}

status=0
running=0
pids=""
for exe in $targets; do
    run_one "$exe" &
    pids="$pids $!"
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        for p in $pids; do wait "$p" || status=1; done
        pids=""
        running=0
    fi
done
for p in $pids; do wait "$p" || status=1; done
exit $status
