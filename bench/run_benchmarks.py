#!/usr/bin/python3
"""Runs every benchmark of a build and prints their figures as one table.

Usage: run_benchmarks.py BENCHMARKS_TXT JSON_FILE

BENCHMARKS_TXT is the list that bench/CMakeLists.txt writes into the build
(NAME, TITLE, PROGRAM, ARG... a line, TAB-separated; no PROGRAM: not built).
Each program prints its figures as "row" lines (see bench/BenchKit.h); the
table and JSON_FILE show each beside its baseline with its goal, met or not.
A goal not met is a finding, not a failure: the exit status is 1 only when a
benchmark could not run.
"""
import datetime
import json
import os
import signal
import subprocess
import sys
import time

ROW_FIELDS = ("id", "title", "value", "unit", "baseline_title", "baseline", "baseline_unit",
              "goal", "verdict")
TIMEOUT_SECONDS = 900


def read_list(path):
    benchmarks = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) >= 3 and fields[0]:
                benchmarks.append({"name": fields[0], "title": fields[1], "program": fields[2],
                                   "args": fields[3:]})
    return benchmarks


def parse_rows(output):
    rows = []
    for line in output.splitlines():
        fields = line.split("\t")
        if fields[0] != "row" or len(fields) != len(ROW_FIELDS) + 1:
            continue
        row = dict(zip(ROW_FIELDS, fields[1:]))
        row["value"] = float(row["value"])
        row["baseline"] = float(row["baseline"])
        row["verdict"] = row["verdict"] or "-"
        rows.append(row)
    return rows


def run(benchmark):
    """The benchmark's rows, and a note when it did not run to its end."""
    if not benchmark["program"]:
        return [], "not built"
    started = time.monotonic()
    print(f"running {os.path.basename(benchmark['program'])} ...", file=sys.stderr, flush=True)
    # In a process group of its own, so that nothing it started (a korvosim)
    # outlives it, whether it ends, crashes, times out or is interrupted.
    try:
        process = subprocess.Popen([benchmark["program"], *benchmark["args"]], text=True,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, start_new_session=True)
    except OSError as e:
        return [], f"failed: {e}"
    try:
        stdout, stderr = process.communicate(timeout=TIMEOUT_SECONDS)
    except subprocess.TimeoutExpired:
        return [], f"failed: no end after {TIMEOUT_SECONDS} s"
    finally:
        try:
            os.killpg(process.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        process.wait()
    benchmark["seconds"] = round(time.monotonic() - started, 1)
    rows = parse_rows(stdout)
    if process.returncode != 0:
        reason = (stderr.strip().splitlines() or [f"exit code {process.returncode}"])[-1]
        return rows, f"failed: {reason}"
    if not rows:
        return rows, "failed: printed no figures"
    return rows, None


def number(value):
    if value == int(value) or abs(value) >= 100:
        return f"{value:.0f}"
    if abs(value) >= 10:
        return f"{value:.1f}"
    return f"{value:.2f}"


def print_table(lines):
    header = ("figure", "value", "baseline (same run)", "goal", "verdict")
    widths = [max(len(line[i]) for line in [header, *lines]) for i in range(len(header))]
    for line in [header, tuple("-" * w for w in widths), *lines]:
        print("  ".join(text.ljust(w) for text, w in zip(line, widths)).rstrip())


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    benchmarks = read_list(argv[1])
    report = {
        "date": datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="seconds"),
        "host": {"cpus": os.cpu_count(), "load_average": list(os.getloadavg())},
        "environment": {k: v for k, v in os.environ.items() if k.startswith("KORVO_BENCH_")},
        "benchmarks": [],
    }
    lines = []
    failed = False
    for benchmark in benchmarks:
        rows, note = run(benchmark)
        entry = {"name": benchmark["name"], "title": benchmark["title"],
                 "status": note or "ran", "rows": rows}
        if "seconds" in benchmark:
            entry["seconds"] = benchmark["seconds"]
        report["benchmarks"].append(entry)
        for row in rows:
            lines.append((row["title"], f"{number(row['value'])} {row['unit']}".strip(),
                          f"{row['baseline_title']} {number(row['baseline'])} {row['baseline_unit']}".strip(),
                          row["goal"] or "-", row["verdict"]))
        if note:
            lines.append((benchmark["title"], "-", "-", "-", note))
            failed = failed or note.startswith("failed")

    os.makedirs(os.path.dirname(os.path.abspath(argv[2])), exist_ok=True)
    with open(argv[2], "w", encoding="utf-8") as f:
        json.dump(report, f, indent=2)
        f.write("\n")
    report["host"]["load_average_after"] = list(os.getloadavg())
    print()
    load = " ".join(f"{x:.2f}" for x in report["host"]["load_average"])
    print(f"{report['host']['cpus']} cores, load average {load} before the run "
          "(other work on the machine moves the figures)")
    print_table(lines)
    verdicts = [row["verdict"] for b in report["benchmarks"] for row in b["rows"]]
    print(f"\ngoals met: {verdicts.count('met')} of {verdicts.count('met') + verdicts.count('not met')}"
          f"; figures in {argv[2]}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
