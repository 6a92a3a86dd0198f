"""A connection to one fiscal printer."""
from __future__ import annotations

import functools
from decimal import Decimal
from types import TracebackType
from typing import Mapping, Optional, Tuple, Type, Union

from . import _native, _text
from .amounts import Amount, thousandths
from .errors import check, make_error
from .response import Response

# Configuration keys of get_config and set_config.
NEXT_CMD_TIME = "next_cmd_time"
LINK_TRANSFER_TIME = "link_transfer_time"
EXTEND_RESPONSE_TIME = "extend_response_time"
DNS_CONNECT_MODE = "dns_connect_mode"

# Item types of sale_item.
SALE = 1
REFUND = 3
CORRECTION = 5
REFUND_CORRECTION = 7

APP_INVALID_HANDLE = -202

Param = Union[str, bytes, int, Decimal, None]


def _field(value: Param) -> bytes:
    if value is None:
        return b""
    if isinstance(value, bool):
        return b"1" if value else b"0"
    if isinstance(value, int):
        return str(value).encode()
    if isinstance(value, Decimal):
        return format(value, "f").encode()
    if isinstance(value, (str, bytes)):
        data = _text.encode(value)
        assert data is not None
        if b"\t" in data or b"\n" in data:
            raise ValueError(f"a parameter cannot hold a TAB or line feed: {value!r}")
        return data
    raise TypeError(f"a parameter is a str, an int or a Decimal, not {type(value).__name__}")


def _head(function_name: str, command: str) -> Tuple[str, ...]:
    result, head = _text.read(getattr(_native.library(), function_name), _text.encode(command), size=256)
    check(min(result, 0))
    return tuple(_text.decode(head).split("\t")) if head else ()


@functools.lru_cache(maxsize=None)
def request_head(command: str) -> Tuple[str, ...]:
    """The names of a command's parameters; LibraryError for an unknown command."""
    return _head("GetCommandReqestHead", command)


@functools.lru_cache(maxsize=None)
def response_head(command: str) -> Tuple[str, ...]:
    """The names of a command's response values; LibraryError for an unknown command."""
    return _head("GetCommandResponseHead", command)


def last_error() -> int:
    """The process-wide last result code of the library."""
    return _native.library().GetLastComError(0)


def _get_config(handle: int, key: str) -> int:
    result, value = _text.read(_native.library().GetConfigValue, handle, _text.encode(key), size=16)
    check(min(result, 0), handle)
    return int(value)


def _set_config(handle: int, key: str, value: int) -> None:
    check(_native.library().SetConfigValue(handle, _text.encode(key), str(int(value)).encode()), handle)


def get_default_config(key: str) -> int:
    """A process-wide configuration value, which new connections start with."""
    return _get_config(0, key)


def set_default_config(key: str, value: int) -> None:
    _set_config(0, key, value)


class Printer:
    """A connection to a printer; open it with tcp(), usb() or rs232().

    Every call that the printer refuses raises PrinterError, every failure of
    the library LibraryError. As a context manager it disconnects on leaving.
    """

    def __init__(self, handle: int) -> None:
        self._handle = handle

    @classmethod
    def _connect(cls, code: int) -> "Printer":
        if code <= 0:
            raise make_error(last_error())
        return cls(code)

    @classmethod
    def tcp(cls, host_address: str) -> "Printer":
        """Connects over TCP: "host", "host:port", "[v6]:port"; port 49999 by default."""
        return cls._connect(_native.library().ConnectTCP(_text.encode(host_address)))

    @classmethod
    def usb(cls, port_name: str) -> "Printer":
        """Connects to a printer on a USB virtual COM port ("COM3")."""
        return cls._connect(_native.library().ConnectUSB(_text.encode(port_name)))

    @classmethod
    def rs232(cls, port_name: str, speed: int, device_address: int) -> "Printer":
        """Connects over RS-232: speed 9600 or more, device address 2 to 255."""
        return cls._connect(_native.library().ConnectRS232(_text.encode(port_name), speed, device_address))

    @property
    def handle(self) -> int:
        """The library's connection handle; 0 once disconnected."""
        return self._handle

    @property
    def closed(self) -> bool:
        return self._handle == 0

    def disconnect(self) -> None:
        """Ends the connection; raises when the printer or the line failed on
        the way, after which the connection is gone all the same."""
        if self._handle == 0:
            return
        handle, self._handle = self._handle, 0
        result = _native.library().Disconnect(handle)
        # Disconnect hands back the negated outcome (-p for a printer's code p),
        # but an unknown handle as it is.
        check(result if result == APP_INVALID_HANDLE else -result)

    def __enter__(self) -> "Printer":
        return self

    def __exit__(self, kind: Optional[Type[BaseException]], error: Optional[BaseException],
                 trace: Optional[TracebackType]) -> None:
        if error is None:
            self.disconnect()
            return
        # The application's exception is the one to see; the connection goes anyway.
        try:
            self.disconnect()
        except Exception:
            pass

    def abort(self) -> None:
        """Ends the command this connection waits for with APP_COMMUNICATION_ABORTED,
        and every later one: disconnect afterwards. Safe from another thread."""
        check(_native.library().Abort(self._handle), self._handle)

    def _check(self, code: int, command: Optional[str] = None) -> None:
        check(code, self._handle, command)

    # ---- Commands ----------------------------------------------------------

    def send(self, command: str, *parameters: Param) -> Response:
        """Sends a command by its long or short name; its response values by name.

        Parameters are texts, ints or Decimals (None is empty), in the order of
        request_head(command).
        """
        data = b"\t".join(_field(p) for p in parameters) if parameters else None
        self._check(_native.library().SendCommand(self._handle, _text.encode(command), data), command)
        return self.last_response(command)

    def last_response(self, command: Optional[str] = None) -> Response:
        """The values of the last response, named by the head of command (by
        default the last command's)."""
        if command is None:
            command = self.last_command_name()
        result, data = _text.read(_native.library().GetLastCommandResponse, self._handle, size=2500)
        self._check(min(result, 0))
        names = response_head(command)
        text = _text.decode(data)
        fields = tuple(text.split("\t")) if text or names else ()
        return Response(command, names, fields)

    def last_command_name(self) -> str:
        result, data = _text.read(_native.library().GetLastCommandName, self._handle, size=256)
        self._check(min(result, 0))
        return _text.decode(data)

    def last_error(self) -> int:
        """The connection's last status (0 after any well-formed response)."""
        return _native.library().GetLastComError(self._handle)

    def get_config(self, key: str) -> int:
        return _get_config(self._handle, key)

    def set_config(self, key: str, value: int) -> None:
        _set_config(self._handle, key, value)

    # ---- Documents ---------------------------------------------------------

    def _logo(self, line_type: int, lines: Tuple[Optional[str], ...]) -> None:
        if len(lines) > 9:
            raise ValueError(f"at most 9 lines, not {len(lines)}")
        texts = [_text.encode(line) for line in lines] + [None] * (9 - len(lines))
        self._check(_native.library().SendTextLogo(self._handle, line_type, *texts))

    def set_header_lines(self, *lines: Optional[str]) -> None:
        """Sets the receipt's header lines (up to nine; the rest become empty)."""
        self._logo(1, lines)

    def set_trailer_lines(self, *lines: Optional[str]) -> None:
        self._logo(2, lines)

    def begin_receipt(self, receipt_type: int = 1, settings: int = 0,
                      transaction_id: Optional[str] = None) -> None:
        """Opens a fiscal receipt: type 1 sale, 2 refund, 3 invoice payment,
        4 cash deposit, 5 cash withdrawal."""
        self._check(_native.library().BeginReceipt(self._handle, receipt_type, settings,
                                                   _text.encode(transaction_id)))

    def end_receipt(self, separation: bool = False) -> None:
        self._check(_native.library().EndFiscalReceipt(self._handle, 1 if separation else 0))

    def begin_non_fiscal(self) -> None:
        self._check(_native.library().BeginNonFiscal(self._handle))

    def print_normal(self, text: str) -> None:
        self._check(_native.library().PrintNormal(self._handle, _text.encode(text)))

    def end_non_fiscal(self, separation: bool = False) -> None:
        self._check(_native.library().EndNonFiscal(self._handle, 1 if separation else 0))

    def begin_training(self) -> None:
        self._check(_native.library().BeginTraining(self._handle))

    def end_training(self) -> None:
        self._check(_native.library().EndTraining(self._handle))

    # ---- Receipt body ------------------------------------------------------

    def sale_item(self, description: str, price: Amount, quantity: Amount, vat_id: int, *,
                  item_type: int = SALE, special_regulation: Optional[int] = None,
                  unit_price: Optional[Amount] = None, unit_name: Optional[str] = None,
                  ref_receipt_id: Optional[str] = None, pre_line: Optional[str] = None,
                  post_line: Optional[str] = None) -> None:
        """Sells (SALE), refunds or corrects an item; VAT id 1 to 7."""
        self._check(_native.library().SaleItemNum(
            self._handle, item_type, _text.encode(description), thousandths(price), thousandths(quantity),
            vat_id, _regulation(special_regulation), 0 if unit_price is None else thousandths(unit_price),
            _text.encode(unit_name), _text.encode(ref_receipt_id), _text.encode(pre_line),
            _text.encode(post_line)))

    def item_adjustment(self, adjustment_type: int, description: str, amount: Amount, vat_id: int, *,
                        special_regulation: Optional[int] = None, pre_line: Optional[str] = None,
                        post_line: Optional[str] = None) -> None:
        """Adjusts the last item: type 1 or 2."""
        self._check(_native.library().ItemAdjustNum(
            self._handle, adjustment_type, _text.encode(description), thousandths(amount), vat_id,
            _regulation(special_regulation), _text.encode(pre_line), _text.encode(post_line)))

    def package_adjustment(self, adjustment_type: int, description: str, amounts: Mapping[int, Amount], *,
                           pre_line: Optional[str] = None, post_line: Optional[str] = None) -> None:
        """Adjusts the whole receipt by a positive amount per VAT id (1 to 7)."""
        per_rate = [0] * 7
        for vat_id, amount in amounts.items():
            if not 1 <= vat_id <= 7:
                raise ValueError(f"VAT id {vat_id} is not 1 to 7")
            per_rate[vat_id - 1] = thousandths(amount)
            if per_rate[vat_id - 1] <= 0:
                raise ValueError(f"the amount for VAT id {vat_id} is not positive: {amount}")
        self._check(_native.library().PackAdjustNum(
            self._handle, adjustment_type, _text.encode(description), *per_rate, _text.encode(pre_line),
            _text.encode(post_line)))

    def voucher(self, voucher_id: str, amount: Amount, vat_id: int, *,
                special_regulation: Optional[int] = None, pre_line: Optional[str] = None,
                post_line: Optional[str] = None) -> None:
        """Sells a single-purpose voucher."""
        self._check(_native.library().SinglePurposeVoucherNum(
            self._handle, _text.encode(voucher_id), thousandths(amount), vat_id, _regulation(special_regulation),
            _text.encode(pre_line), _text.encode(post_line)))

    def subtotal(self, amount: Optional[Amount] = None, post_line: Optional[str] = None) -> None:
        """Prints the subtotal; an amount given is checked against the printer's
        (a different one voids the receipt)."""
        lib = _native.library()
        if amount is None:
            self._check(lib.PrintSubtotalTxt(self._handle, None, _text.encode(post_line)))
        else:
            self._check(lib.PrintSubtotalNum(self._handle, thousandths(amount), _text.encode(post_line)))

    def payment(self, total: Amount, payment: Amount, payment_id: Union[int, str] = 1, *,
                pre_line: Optional[str] = None, post_line: Optional[str] = None) -> None:
        """Pays the receipt's total; a negative payment is change."""
        lib = _native.library()
        if isinstance(payment_id, str):
            function, identifier = lib.PaymentNum, _text.encode(payment_id)
        else:
            function, identifier = lib.PaymentIdNum, payment_id
        self._check(function(self._handle, thousandths(total), thousandths(payment), identifier,
                             _text.encode(pre_line), _text.encode(post_line)))

    def payment_change(self, total: Amount, change: Amount, payment_id: Union[int, str] = 1, *,
                       pre_line: Optional[str] = None, post_line: Optional[str] = None) -> None:
        """Gives change (0 or less) in the given payment type."""
        lib = _native.library()
        if isinstance(payment_id, str):
            function, identifier = lib.PaymentChangeNum, _text.encode(payment_id)
        else:
            function, identifier = lib.PaymentChangeIdNum, payment_id
        self._check(function(self._handle, thousandths(total), thousandths(change), identifier,
                             _text.encode(pre_line), _text.encode(post_line)))

    def message(self, message_type: int, text: str) -> None:
        """Prints a message line of the given type on the receipt."""
        self._check(_native.library().PrintRecMessage(self._handle, message_type, _text.encode(text)))


def _regulation(value: Optional[int]) -> int:
    # The library leaves a negative special regulation out.
    return -1 if value is None else value
