"""Helpers for korvod's tests: korvosim and korvod as real processes on
loopback, an HTTP client, and readers for the simulator's paper roll and
journal. The programs come from the environment (KORVOD, KORVOSIM), which
ctest sets."""
import http.client
import json
import os
import re
import signal
import socket
import subprocess
import threading
import time

import pytest

KORVOD = os.environ.get("KORVOD", "build/native/service/korvod")
KORVOSIM = os.environ.get("KORVOSIM", "build/native/sim/korvosim")
EXAMPLES = os.environ.get("KORVO_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))


def example_receipt(receipt_id):
    with open(os.path.join(EXAMPLES, "receipt.json"), encoding="utf-8") as f:
        body = json.load(f)
    body["id"] = receipt_id
    return body


def small_receipt(receipt_id, items=2):
    """A receipt whose item texts carry its id, so that the simulator's
    journal shows which receipt each item belongs to."""
    return {
        "id": receipt_id,
        "items": [{"text": "Item %d %s" % (i, receipt_id), "price": "1.00", "vat": 1} for i in range(items)],
        "total": "%d.00" % items,
        "payments": [{"id": 1, "amount": "%d.00" % items}],
    }


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(condition, timeout=10.0, what="the condition"):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.02)
    raise AssertionError("timed out waiting for " + what)


class Process:
    """A program whose standard output is read line by line in a thread."""

    def __init__(self, args, env=None, cwd=None):
        self.args = args
        self.lines = []
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, cwd=cwd,
                                     text=True)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append(line.rstrip("\n"))

    def wait_line(self, pattern, timeout=10.0):
        regex = re.compile(pattern)

        def found():
            for line in self.lines:
                m = regex.search(line)
                if m:
                    return m
            if self.proc.poll() is not None:
                raise AssertionError("%s ended early:\n%s" % (self.args[0], "\n".join(self.lines)))
            return None

        return wait_until(found, timeout, pattern)

    def stop(self, timeout=20.0):
        """SIGTERM; returns the exit code."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        try:
            code = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise AssertionError("%s did not stop on SIGTERM:\n%s" % (self.args[0], "\n".join(self.lines)))
        self.reader.join(5)
        return code

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        self.reader.join(5)

    def output(self):
        return "\n".join(self.lines)


class Sim:
    """korvosim with a paper roll and a journal in folder."""

    def __init__(self, folder, name="sim", tcp_port=0, usb=None, rs232=None, faults=None, state=None, speed=None):
        self.folder = folder
        self.name = name
        self.paper_file = os.path.join(folder, name + "-paper.txt")
        self.journal_file = os.path.join(folder, name + "-journal.txt")
        self.faults_file = None
        args = [KORVOSIM, "--paper", self.paper_file, "--journal", self.journal_file]
        if tcp_port is not None:
            args += ["--tcp", "127.0.0.1:%d" % tcp_port]
        if usb:
            args += ["--usb", usb]
        if rs232:
            args += ["--rs232", rs232, "--address", "2"]
        if faults:
            self.faults_file = os.path.join(folder, name + "-faults.txt")
            with open(self.faults_file, "w") as f:
                f.write(faults + "\n")
            args += ["--faults", self.faults_file]
        if state:
            args += ["--state", state]
        if speed is not None:
            args += ["--speed", str(speed)]
        self.process = Process(args)
        self.process.wait_line(r"^korvosim: ready$")
        self.port = None
        if tcp_port is not None:
            self.port = int(self.process.wait_line(r"^korvosim: tcp 127\.0\.0\.1:(\d+)$").group(1))

    @property
    def endpoint(self):
        return "tcp:127.0.0.1:%d" % self.port

    def paper(self):
        try:
            with open(self.paper_file, encoding="cp1250") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def journal(self):
        try:
            with open(self.journal_file, encoding="utf-8", errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def requests(self):
        """(time in seconds, connection, request line) of every request."""
        out = []
        for line in self.journal().splitlines():
            m = re.match(r"^\S+ (\d\d):(\d\d):(\d\d\.\d+) #(\d+) > (.*)$", line)
            if m:
                seconds = int(m.group(1)) * 3600 + int(m.group(2)) * 60 + float(m.group(3))
                out.append((seconds, int(m.group(4)), m.group(5)))
        return out

    def stop(self):
        assert self.process.stop() == 0, self.process.output()

    def kill(self):
        self.process.kill()


def paper_receipts(paper):
    """The fiscal receipts on a paper roll that carry a transaction id:
    {"id", "registered", "voided", "number", "uid"} in print order."""
    documents = re.split(r"(?m)^.*\bDoc\. \d{6}$", paper)
    receipts = []
    for doc in documents:
        m = re.search(r"(?m)^Transaction (\S+)$", doc)
        if not m:
            continue
        number = re.search(r"(?m)^Receipt No\. (\d+)\s", doc)
        uid = re.search(r"(?m)^UID:\n(\S+)$", doc)
        receipts.append({
            "id": m.group(1),
            "registered": number is not None,
            "voided": "*** RECEIPT VOIDED ***" in doc,
            "number": int(number.group(1)) if number else None,
            "uid": uid.group(1) if uid else None,
        })
    return receipts


def registered(sim, receipt_id):
    return [r for r in paper_receipts(sim.paper()) if r["id"] == receipt_id and r["registered"]]


class Korvod:
    """korvod on a free loopback port with its journal in folder."""

    def __init__(self, folder, printers, db="journal.db", args=(), env=None):
        self.folder = folder
        self.db = os.path.join(folder, db)
        command = [KORVOD, "--listen", "127.0.0.1:0", "--db", self.db]
        for name, endpoint in printers.items():
            command += ["--printer", "%s=%s" % (name, endpoint)]
        command += list(args)
        full_env = dict(os.environ)
        full_env.update(env or {})
        self.process = Process(command, env=full_env)
        self.port = int(self.process.wait_line(r"^korvod: listening on http://127\.0\.0\.1:(\d+)$").group(1))
        self.token = None
        if "--token" in args:
            self.token = list(args)[list(args).index("--token") + 1]

    @property
    def base(self):
        return "http://127.0.0.1:%d" % self.port

    def request(self, method, path, body=None, headers=None, raw=None, token=True, timeout=90):
        """(status, headers, parsed JSON or text)."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        all_headers = {}
        if token and self.token:
            all_headers["Authorization"] = "Bearer " + self.token
        if body is not None:
            raw = json.dumps(body).encode("utf-8")
            all_headers["Content-Type"] = "application/json"
        all_headers.update(headers or {})
        connection.request(method, path, body=raw, headers=all_headers)
        response = connection.getresponse()
        data = response.read()
        connection.close()
        content = data.decode("utf-8")
        if response.getheader("Content-Type", "").startswith("application/json"):
            content = json.loads(content)
        return response.status, {k.lower(): v for k, v in response.getheaders()}, content

    def post(self, printer, what, body, wait=None, **kw):
        path = "/v1/printers/%s/%s" % (printer, what)
        if wait is not None:
            path += "?wait=%d" % wait
        return self.request("POST", path, body, **kw)

    def task(self, task_id, wait=None):
        path = "/v1/tasks/" + task_id + ("?wait=%d" % wait if wait is not None else "")
        status, _, body = self.request("GET", path)
        assert status == 200, body
        return body

    def stop(self):
        code = self.process.stop()
        assert code == 0, self.process.output()

    def kill(self):
        self.process.kill()


class Started:
    """Starts korvosim and korvod for a test and stops them afterwards,
    also when the test fails."""

    def __init__(self, folder):
        self.folder = folder
        self.processes = []

    def sim(self, **kw):
        sim = Sim(self.folder, **kw)
        self.processes.append(sim)
        return sim

    def korvod(self, printers, **kw):
        korvod = Korvod(self.folder, printers, **kw)
        self.processes.append(korvod)
        return korvod

    def stop_all(self):
        """Stops korvod before the simulators; a korvod that does not exit 0
        on SIGTERM (a sanitizer's report included) fails the test."""
        failures = []
        for p in sorted(reversed(self.processes), key=lambda p: not isinstance(p, Korvod)):
            if p.process.proc.poll() is None:
                try:
                    code = p.process.stop()
                except AssertionError as e:
                    failures.append(str(e))
                    continue
                if isinstance(p, Korvod) and code != 0:
                    failures.append("korvod exited %d:\n%s" % (code, p.process.output()))
        if failures:
            raise AssertionError("\n".join(failures))


@pytest.fixture
def start(tmp_path):
    started = Started(str(tmp_path))
    yield started
    started.stop_all()
