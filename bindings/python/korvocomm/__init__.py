"""korvocomm for Python: fiscal printers of the Korvo family through the
korvocomm shared library.

    from decimal import Decimal
    from korvocomm import Printer

    with Printer.tcp("127.0.0.1:49999") as printer:
        info = printer.send("getLastRegisteredReceiptInfo")
        print(info["UID"])
"""
from .amounts import Amount, thousandths
from .errors import (LANGUAGE_ENGLISH, LANGUAGE_SLOVAK, KorvoError, LibraryError, PrinterError, error_name,
                     error_text)
from .printer import (CORRECTION, DNS_CONNECT_MODE, EXTEND_RESPONSE_TIME, LINK_TRANSFER_TIME, NEXT_CMD_TIME,
                      REFUND, REFUND_CORRECTION, SALE, Printer, get_default_config, last_error, request_head,
                      response_head, set_default_config)
from .response import Response

__all__ = [
    "Amount", "CORRECTION", "DNS_CONNECT_MODE", "EXTEND_RESPONSE_TIME", "KorvoError", "LANGUAGE_ENGLISH",
    "LANGUAGE_SLOVAK", "LINK_TRANSFER_TIME", "LibraryError", "NEXT_CMD_TIME", "Printer", "PrinterError", "REFUND",
    "REFUND_CORRECTION", "Response", "SALE", "error_name", "error_text", "get_default_config", "last_error",
    "request_head", "response_head", "set_default_config", "thousandths",
]
