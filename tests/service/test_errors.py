"""Every error kind with its HTTP status and JSON, input that must never
reach the printer, the other endpoints, CORS and metrics."""
import re
import threading

from conftest import free_port, paper_receipts, small_receipt, wait_until

TOKEN = "s3cret-token"


def printer_requests(sim):
    """What korvod sent beyond looking at the printer."""
    return [line for _, _, line in sim.requests() if not line.startswith(("CONNECT", "gP\\t", "DISCONNECT"))]


def test_bad_requests_are_refused_before_the_printer(start):
    sim = start.sim()
    korvod = start.korvod({"front": sim.endpoint}, args=["--token", TOKEN])
    good = small_receipt("good-1")
    long_text = "x" * 81
    cases = [
        ("malformed JSON", b'{"id": "a", "items": [', "(body)"),
        ("a duplicate key", b'{"id": "a", "id": "b"}', "(body)"),
        ("not an object", b'[1, 2]', "(body)"),
        ("no id", dict(good, id=None), "id"),
        ("a bad id", dict(good, id="has space"), "id"),
        ("an id too long", dict(good, id="a" * 41), "id"),
        ("a wrong type", dict(good, items=[{"text": "A", "price": True, "vat": 1}]), "items[0].price"),
        ("a text over 80", dict(good, items=[{"text": long_text, "price": "1", "vat": 1}]), "items[0].text"),
        ("outside Windows-1250", dict(good, items=[{"text": "Snow \u2603", "price": "1", "vat": 1}]),
         "items[0].text"),
        ("an unknown field", dict(good, tip="1.00"), "tip"),
        ("an unknown item field", dict(good, items=[{"text": "A", "price": "1", "vat": 1, "colour": "red"}]),
         "items[0].colour"),
        ("four decimals", dict(good, total="1.0001"), "total"),
        ("a control character", dict(good, items=[{"text": "A\tB", "price": "1", "vat": 1}]), "items[0].text"),
        ("a VAT id out of range", dict(good, items=[{"text": "A", "price": "1", "vat": 8}]), "items[0].vat"),
        ("no payments", dict(good, payments=[]), "payments"),
    ]
    for what, body, field in cases:
        raw = body if isinstance(body, bytes) else None
        status, _, answer = korvod.request("POST", "/v1/printers/front/receipts",
                                           None if raw else {k: v for k, v in body.items() if v is not None},
                                           raw=raw)
        assert status == 400, (what, answer)
        assert answer["error"] == "bad_request" and answer["field"] == field, (what, answer)
        assert answer["message"].startswith(field), (what, answer)
    assert "Windows-1250" in korvod.post("front", "receipts", cases[8][1])[2]["message"]

    status, _, answer = korvod.request("POST", "/v1/printers/front/receipts", raw=b"{" + b" " * (1 << 20) + b"}")
    assert status == 413 and answer["error"] == "payload_too_large"
    status, _, answer = korvod.request("POST", "/v1/printers/front/receipts", good, token=False)
    assert status == 401 and answer["error"] == "unauthorized"
    status, _, answer = korvod.request("POST", "/v1/printers/front/receipts", good,
                                       headers={"Authorization": "Bearer wrong"}, token=False)
    assert status == 401
    status, _, answer = korvod.post("back", "receipts", good)
    assert status == 404 and answer["error"] == "not_found"
    status, _, answer = korvod.request("GET", "/v1/tasks/no-such-task")
    assert status == 404
    status, _, answer = korvod.post("front", "receipts", good, wait=700000)
    assert status == 400 and answer["field"] == "wait"

    assert printer_requests(sim) == []
    korvod.stop()


def test_a_refusal_of_the_printer_is_422_and_voids_the_receipt(start):
    sim = start.sim()
    korvod = start.korvod({"front": sim.endpoint})
    body = small_receipt("refused-1")
    body["items"].append({"text": "No such VAT", "price": "1.00", "vat": 6})
    status, _, answer = korvod.post("front", "receipts", body)
    assert status == 422, answer
    assert answer["error"] == "printer_refused" and answer["name"] == "EFP_BAD_VAT" and answer["code"] == 217
    assert answer["command"] == "printRecItem" and answer["item"] == 2 and answer["field"] == "items[2]"
    assert answer["text"]["en"] and answer["text"]["sk"] and answer["text"]["en"] != answer["text"]["sk"]
    assert answer["task"]["state"] == "failed" and answer["task"]["outcome"] == "voided"
    [receipt] = paper_receipts(sim.paper())
    assert receipt["voided"] and not receipt["registered"]
    korvod.stop()


def test_an_offline_printer_keeps_its_tasks_until_it_comes(start):
    port = free_port()
    korvod = start.korvod({"late": "tcp:127.0.0.1:%d" % port}, args=["--reconnect-max", "300"])
    status, headers, answer = korvod.post("late", "receipts", small_receipt("waits-1"), wait=0)
    assert status == 202 and answer["state"] == "queued"
    assert headers["location"] == "/v1/tasks/waits-1"
    late = wait_until(lambda: [p for p in korvod.request("GET", "/v1/printers")[2]["printers"] if p["lastError"]],
                      what="the first connection attempt")[0]
    assert late["state"] == "offline" and late["queued"] == 1
    assert late["lastError"]["name"] == "APP_TCP_CONNECTION_REFUSED"
    status, _, answer = korvod.request("GET", "/v1/printers/late/status")
    assert status == 503 and answer["error"] == "printer_unreachable"

    sim = start.sim(tcp_port=port)
    task = korvod.task("waits-1", wait=20000)
    assert task["state"] == "done", task
    assert len(paper_receipts(sim.paper())) == 1
    korvod.stop()


def test_the_other_endpoints(start):
    sim = start.sim()
    korvod = start.korvod({"front": sim.endpoint}, args=["--origin", "https://pos.example"])

    status, _, status_answer = korvod.request("GET", "/v1/printers/front/status")
    assert status == 200 and status_answer["printer"]["document"] == "none"
    for key in ("paperEmpty", "coverOpen", "dayOpened", "trainingMode", "firmwareUpdateWaiting", "serialNumber"):
        assert key in status_answer["printer"]

    status, _, answer = korvod.post("front", "commands", {"command": "getDate", "parameters": [1]})
    assert status == 200 and re.match(r"^\d{4}-\d\d-\d\dT", answer["result"]["values"]["date"]), answer
    status, _, answer = korvod.post("front", "commands", {"command": "printSomething"})
    assert status == 400 and answer["field"] == "command"
    status, _, answer = korvod.post("front", "documents", {"lines": ["Plain text", "\u010ca\u0161a"]})
    assert status == 200 and answer["kind"] == "document"
    assert "\u010ca\u0161a" in sim.paper()
    status, _, answer = korvod.post("front", "cash", {"id": "cash-1", "type": "deposit", "amount": "50.00"})
    assert status == 200 and answer["result"]["receipt"]["number"] == 1, answer
    status, _, answer = korvod.post("front", "reports/x", None)
    assert status == 200 and answer["kind"] == "x-report"

    status, _, tasks = korvod.request("GET", "/v1/tasks?limit=3")
    assert [t["kind"] for t in tasks["tasks"]] == ["x-report", "cash", "document"]

    # A queued task can be taken back; one that ran cannot.
    status, _, answer = korvod.request("DELETE", "/v1/tasks/cash-1")
    assert status == 409 and answer["error"] == "started"

    # CORS: the configured origin with Private Network Access, no other.
    status, headers, _ = korvod.request("OPTIONS", "/v1/printers/front/receipts", headers={
        "Origin": "https://pos.example", "Access-Control-Request-Method": "POST",
        "Access-Control-Request-Private-Network": "true"})
    assert status == 204
    assert headers["access-control-allow-origin"] == "https://pos.example"
    assert headers["access-control-allow-private-network"] == "true"
    assert "authorization" in headers["access-control-allow-headers"].lower()
    status, _, answer = korvod.request("POST", "/v1/printers/front/receipts", small_receipt("evil-1"),
                                       headers={"Origin": "https://evil.example"})
    assert status == 403 and answer["error"] == "origin_refused"
    status, _, answer = korvod.request("GET", "/v1/printers", headers={"Host": "rebind.example:80"})
    assert status == 403 and answer["error"] == "host_refused"

    status, _, metrics = korvod.request("GET", "/metrics")
    assert status == 200
    assert 'korvod_receipts_done_total{printer="front"} 1' in metrics
    assert 'korvod_tasks{state="done"} 4' in metrics
    assert 'korvod_printer_state{printer="front",state="ready"} 1' in metrics
    assert 'korvod_command_duration_seconds_count{command="beginFiscalReceipt",printer="front"} 1' in metrics
    korvod.stop()


def test_many_clients_and_a_wait_of_zero(start):
    sim = start.sim(speed=0.05)
    korvod = start.korvod({"front": sim.endpoint})
    status, headers, answer = korvod.post("front", "receipts", small_receipt("later-1", items=5), wait=0)
    assert status == 202 and answer["state"] in ("queued", "running")
    # A second client with the same receipt joins the task instead of
    # printing it again.
    results = []
    t = threading.Thread(target=lambda: results.append(korvod.post("front", "receipts", small_receipt("later-1", items=5))))
    t.start()
    task = korvod.task("later-1", wait=20000)
    t.join()
    assert task["state"] == "done"
    assert results[0][0] == 200 and results[0][2]["replay"] is True
    assert len(paper_receipts(sim.paper())) == 1
    wait_until(lambda: korvod.request("GET", "/v1/printers")[2]["printers"][0]["state"] == "ready")
    korvod.stop()
