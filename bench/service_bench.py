#!/usr/bin/python3
"""Receipts per second through korvod against korvosim at speed 0, beside the
same receipts sent straight through the library (libkorvocomm.so, through
ctypes) in the same run, against the same simulator. The receipt is
examples/receipt.json; the library sends the commands of
examples/receipt.txt, which are the same receipt.

    bench/service_bench.py [BUILD_DIR] [RECEIPTS]

Prints both rates and their ratio; korvod's cost is its HTTP exchange, its
journal (an fsync for every command, SQLite synchronous FULL) and the reads
that make a receipt recoverable."""
import ctypes
import http.client
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build", "native")
count = int(sys.argv[2]) if len(sys.argv) > 2 else (10 if os.environ.get("KORVO_BENCH_QUICK") == "1" else 200)
examples = os.path.join(here, "..", "examples")


def start(args, pattern):
    process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    for line in process.stdout:
        m = re.search(pattern, line)
        if m:
            return process, m.group(1)
    raise SystemExit("%s did not start" % args[0])


def stop(process):
    process.send_signal(signal.SIGTERM)
    process.wait(30)


def library_commands():
    commands = []
    with open(os.path.join(examples, "receipt.txt"), encoding="cp1250") as f:
        for line in f.read().splitlines():
            name, _, parameters = line.partition("\t")
            if name != "setHeaderLines":
                commands.append((name, parameters))
    return commands


def bench_library(port, receipts):
    library = ctypes.CDLL(os.path.join(build, "api", "libkorvocomm.so"))
    handle = library.ConnectTCP(b"127.0.0.1:%d" % port)
    if handle <= 0:
        raise SystemExit("the library did not connect: %d" % library.GetLastComError(0))
    commands = library_commands()
    begin = time.perf_counter()
    for n in range(receipts):
        for name, parameters in commands:
            if name == "beginFiscalReceipt":
                parameters = "1\t0\tlib-%d" % n
            code = library.SendCommand(handle, name.encode(), parameters.encode("cp1250"))
            if code != 0:
                raise SystemExit("%s answered %d" % (name, code))
    elapsed = time.perf_counter() - begin
    library.Disconnect(handle)
    return receipts / elapsed


def bench_service(port, receipts):
    with open(os.path.join(examples, "receipt.json"), encoding="utf-8") as f:
        body = json.load(f)
    connection = http.client.HTTPConnection("127.0.0.1", port)
    begin = time.perf_counter()
    for n in range(receipts):
        body["id"] = "svc-%d" % n
        connection.request("POST", "/v1/printers/bench/receipts", json.dumps(body),
                           {"Content-Type": "application/json"})
        response = connection.getresponse()
        answer = response.read()
        if response.status != 200:
            raise SystemExit("korvod answered %d: %s" % (response.status, answer[:300]))
    elapsed = time.perf_counter() - begin
    connection.close()
    return receipts / elapsed


def main():
    folder = tempfile.mkdtemp(prefix="korvod-bench-")
    sim, endpoint = start([os.path.join(build, "sim", "korvosim"), "--tcp", "127.0.0.1:0", "--speed", "0"],
                          r"^korvosim: tcp (127\.0\.0\.1:\d+)$")
    sim_port = int(endpoint.split(":")[1])
    try:
        library_rate = bench_library(sim_port, count)
        korvod, url = start([os.path.join(build, "service", "korvod"), "--listen", "127.0.0.1:0", "--db",
                             os.path.join(folder, "bench.db"), "--printer", "bench=tcp:" + endpoint],
                            r"^korvod: listening on http://127\.0\.0\.1:(\d+)$")
        try:
            service_rate = bench_service(int(url), count)
        finally:
            stop(korvod)
    finally:
        stop(sim)
    print("receipts through the library:  %8.1f per second (%d receipts, %d commands each)"
          % (library_rate, count, len(library_commands())))
    print("receipts through korvod:       %8.1f per second (%d receipts, one POST each)" % (service_rate, count))
    print("korvod / library:              %8.2f" % (service_rate / library_rate))
    # The row of make bench's table (bench/README.md): no goal of its own.
    print("\t".join(["row", "korvod", "receipts through korvod", "%.1f" % service_rate, "receipts/s",
                     "straight through the library", "%.1f" % library_rate, "receipts/s", "", ""]))


if __name__ == "__main__":
    main()
