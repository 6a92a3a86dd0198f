"""Receipts through korvod end to end: once on the paper roll with the
numbers the answer reports, replays, conflicts, every link kind, and many
clients at once."""
import os
import re
import threading

from conftest import example_receipt, paper_receipts, registered, small_receipt


def test_a_receipt_is_printed_once_and_its_post_replays(start):
    sim = start.sim()
    korvod = start.korvod({"front": sim.endpoint})
    body = example_receipt("sale-0001")

    status, headers, answer = korvod.post("front", "receipts", body)
    assert status == 200, answer
    assert answer["state"] == "done" and answer["outcome"] == "printed"
    assert not answer["replay"] and not answer["recovered"]
    assert headers["location"] == "/v1/tasks/sale-0001"
    receipt = answer["result"]["receipt"]
    on_paper = registered(sim, "sale-0001")
    assert len(on_paper) == 1
    assert on_paper[0]["number"] == receipt["number"] and on_paper[0]["uid"] == receipt["uid"]
    assert "TOTAL EUR                          13.28" in sim.paper()
    assert "Change                              6.72" in sim.paper()
    for key in ("dateTime", "okp", "pkp", "registrationStatus"):
        assert receipt[key] not in (None, "")

    # The same POST again: the stored result, nothing printed.
    status, _, again = korvod.post("front", "receipts", body)
    assert status == 200 and again["replay"] is True
    assert again["result"] == answer["result"]
    assert len(registered(sim, "sale-0001")) == 1
    assert sum("> bFR" in line for line in sim.journal().splitlines()) == 1

    # The same id for another sale is refused.
    other = dict(body, total="99.00")
    status, _, conflict = korvod.post("front", "receipts", other)
    assert status == 409 and conflict["error"] == "conflict" and conflict["field"] == "id"
    assert conflict["task"]["state"] == "done"

    assert korvod.task("sale-0001")["result"] == answer["result"]
    korvod.stop()
    sim.stop()


def test_receipts_over_usb_and_rs232(start):
    ports = os.path.join(start.folder, "ports")
    os.mkdir(ports)
    # One simulator is one printer: one for each link.
    sims = {"usb": start.sim(name="usb", tcp_port=None, usb=os.path.join(ports, "com3")),
            "serial": start.sim(name="serial", tcp_port=None, rs232=os.path.join(ports, "com4"))}
    korvod = start.korvod({"usb": "usb:COM3", "serial": "rs232:COM4:9600:2"}, env={"KORVOCOMM_PORTS": ports})
    for printer, sim in sims.items():
        status, _, answer = korvod.post(printer, "receipts", small_receipt("via-" + printer))
        assert status == 200, answer
        on_paper = registered(sim, "via-" + printer)
        assert [r["number"] for r in on_paper] == [answer["result"]["receipt"]["number"]]
    korvod.stop()


def test_fifty_receipts_from_ten_clients_and_two_printers_at_once(start):
    # A little of a real printer's pace, so that receipts take time.
    first = start.sim(name="first", speed=0.02)
    second = start.sim(name="second", speed=0.02)
    korvod = start.korvod({"first": first.endpoint, "second": second.endpoint})
    answers = {}

    def client(printer, number, count):
        for i in range(count):
            receipt_id = "%s-%d-%d" % (printer, number, i)
            answers[receipt_id] = korvod.post(printer, "receipts", small_receipt(receipt_id, items=3))

    threads = [threading.Thread(target=client, args=("first", n, 5)) for n in range(10)]
    threads += [threading.Thread(target=client, args=("second", n, 5)) for n in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()

    assert len(answers) == 60
    for receipt_id, (status, _, answer) in answers.items():
        assert status == 200 and answer["state"] == "done", (receipt_id, answer)
    for sim, count in ((first, 50), (second, 10)):
        receipts = paper_receipts(sim.paper())
        assert len(receipts) == count and all(r["registered"] for r in receipts)
        assert len({r["id"] for r in receipts}) == count
        assert sorted(r["number"] for r in receipts) == list(range(1, count + 1))

    # No interleaving: between a receipt's beginning and its end every
    # request on the wire belongs to that receipt.
    spans = {}
    for sim in (first, second):
        current = None
        for when, _, line in sim.requests():
            m = re.match(r"^bFR\\tREQ\\t1\\t0\\t(\S+)$", line)
            if m:
                assert current is None, "a receipt began inside another: " + line
                current = m.group(1)
                spans[current] = [when, None]
            elif line.startswith("eFR"):
                spans[current][1] = when
                current = None
            elif line.startswith("pRI"):
                assert current is not None and line.split("\\t")[2].endswith(current), line
        assert current is None
    # The two printers worked at the same time: a receipt of one was open
    # while a receipt of the other was.
    firsts = [s for i, s in spans.items() if i.startswith("first")]
    seconds = [s for i, s in spans.items() if i.startswith("second")]
    assert any(a[0] < b[1] and b[0] < a[1] for a in firsts for b in seconds)
    korvod.stop()
