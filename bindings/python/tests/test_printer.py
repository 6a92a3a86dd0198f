"""korvocomm for Python against korvosim, over TCP and USB."""
import threading
import time
from decimal import Decimal

import pytest

import korvocomm
from korvocomm import LibraryError, Printer, PrinterError
from korvocomm import _native

APP_INVALID_HANDLE = -202


def print_example_receipt(printer: Printer) -> None:
    # examples/receipt.txt
    printer.set_header_lines("KORVO DEMO SHOP s.r.o.", "Hlavna 1, 811 01 Bratislava", "ICO: 12345678",
                             "DIC: 2020123456", "IC DPH: SK2020123456")
    printer.begin_receipt(1, 0)
    printer.sale_item("Rye bread 500 g", Decimal("3.78"), Decimal("2"), 3)
    printer.sale_item("Milk 1.5% 1 l", Decimal("1.29"), 1000, 3)
    printer.sale_item("Coffee beans 250 g", Decimal("6.49"), Decimal("1"), 1)
    printer.sale_item("Apples", Decimal("2.37"), Decimal("1.580"), 4, unit_price=Decimal("1.50"), unit_name="kg")
    printer.item_adjustment(1, "Loyalty discount", Decimal("0.65"), 1)
    printer.subtotal()
    printer.payment(Decimal("13.28"), Decimal("20.00"), 1)
    printer.end_receipt(False)


@pytest.mark.parametrize("transport", ["tcp", "usb"])
def test_example_receipt_and_its_registration(sim, transport):
    with getattr(Printer, transport)(getattr(sim, transport)) as printer:
        before = sim.paper().count("TOTAL EUR                          13.28")
        print_example_receipt(printer)
        info = printer.send("getLastRegisteredReceiptInfo")
        assert info.names == korvocomm.response_head("gLRRI")
        assert int(info["rcptMonthlyNumber"]) >= 1
        assert info["UID"].startswith("O-") and info["OKP"] and info["PKP"]
        assert (info["taxAuthRegistStatus"], info["eKasaErrorCode"], info["eKasaErrorText"]) == ("1", "0", "")
        assert sim.paper().count("TOTAL EUR                          13.28") == before + 1
    assert printer.closed


def test_printer_and_library_errors_carry_code_name_and_both_texts(sim):
    with Printer.tcp(sim.tcp) as printer:
        printer.begin_receipt()
        with pytest.raises(PrinterError) as refused:
            printer.send("printRecItem", "Coffee", Decimal("2.50"), "1", 9, None, None, None, None, None, None)
        printer.send("printRecVoid")
    error = refused.value
    assert (error.code, error.name, error.command) == (217, "EFP_BAD_VAT", "printRecItem")
    assert error.english_text == ("Parameter vatID is invalid or it is not allowed to register an item "
                                  "in the given tax level")
    assert error.slovak_text == ("Parameter vatID je nesprávny/zlý, alebo nie je dovolené registrovať položku "
                                 "v poslanej daňovej hladine.")

    with pytest.raises(LibraryError) as failed:
        Printer.usb("LPT1")
    error = failed.value
    assert (error.code, error.name) == (-206, "APP_INVALID_PORT")
    assert (error.english_text, error.slovak_text) == ("Invalid serial communication port.",
                                                       "Nesprávny komunikačný port.")
    assert not isinstance(error, PrinterError)


def test_abort_from_another_thread_ends_the_wait(sim):
    printer = Printer.tcp(sim.tcp)

    def abort_once_sent():
        # The simulator never answers printXReport (faults.txt); abort once it has the request.
        deadline = time.monotonic() + 10
        while "> pXR\\t" not in sim.journal() and time.monotonic() < deadline:
            time.sleep(0.01)
        printer.abort()

    aborter = threading.Thread(target=abort_once_sent)
    aborter.start()
    with pytest.raises(LibraryError) as aborted:
        printer.send("printXReport")
    aborter.join()
    assert (aborted.value.code, aborted.value.name) == (-106, "APP_COMMUNICATION_ABORTED")
    assert aborted.value.slovak_text == "Komunikácia bola prerušená užívateľom."
    # The abort stays in force, so the disconnect exchange may end aborted too;
    # the connection goes either way.
    try:
        printer.disconnect()
    except LibraryError as error:
        assert error.code == -106
    assert printer.closed


def test_context_manager_disconnects_when_the_block_raises(sim):
    with pytest.raises(RuntimeError, match="application failure"):
        with Printer.tcp(sim.tcp) as printer:
            handle = printer.handle
            assert printer.send("getDate", 1)["dateType"] == "1"
            printer.set_config(korvocomm.EXTEND_RESPONSE_TIME, 250)
            assert printer.get_config(korvocomm.EXTEND_RESPONSE_TIME) == 250
            raise RuntimeError("application failure")
    assert printer.closed
    assert _native.library().GetLastComError(handle) == APP_INVALID_HANDLE
