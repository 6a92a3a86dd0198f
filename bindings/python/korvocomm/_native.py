"""The exports of the korvocomm shared library as ctypes declarations, and
how the library is found.

Lookup order: the file named by the environment variable KORVOCOMM_LIBRARY
(nothing else then), the library next to this package, and the system's
names (libkorvocomm.so.1, libkorvocomm.so; korvocomm.dll on Windows).
"""
from __future__ import annotations

import ctypes
import os
import threading
from typing import Dict, List, Optional, Tuple

# The argument kinds of the exports, as the header declares them.
TEXT = ctypes.c_char_p  # const char*: NUL-terminated Windows-1250 text, or NULL
BUFFER = ctypes.POINTER(ctypes.c_char)  # char*: the caller's output buffer
INT = ctypes.c_int  # int: 32 bits on every platform the kit targets
FLAG = ctypes.c_ubyte  # unsigned char: a one-byte flag

# Every export and its argument types, in the header's order; each returns int.
EXPORTS: Dict[str, Tuple[type, ...]] = {
    "ConnectUSB": (TEXT,),
    "ConnectRS232": (TEXT, INT, INT),
    "ConnectTCP": (TEXT,),
    "Disconnect": (INT,),
    "GetLastComError": (INT,),
    "SetConfigValue": (INT, TEXT, TEXT),
    "GetConfigValue": (INT, TEXT, BUFFER, INT),
    "SendCommand": (INT, TEXT, TEXT),
    "GetLastCommandResponse": (INT, BUFFER, INT),
    "GetLastCommandName": (INT, BUFFER, INT),
    "GetCommandReqestHead": (TEXT, BUFFER, INT),
    "GetCommandResponseHead": (TEXT, BUFFER, INT),
    "GetErrorText": (INT, INT, INT, BUFFER, INT),
    "GetCommandErrorText": (INT, TEXT, INT, BUFFER, INT),
    "GetErrorName": (INT, BUFFER, INT),
    "Abort": (INT,),
    "SendTextLogo": (INT, INT) + (TEXT,) * 9,
    "BeginReceipt": (INT, INT, INT, TEXT),
    "EndFiscalReceipt": (INT, FLAG),
    "BeginNonFiscal": (INT,),
    "PrintNormal": (INT, TEXT),
    "EndNonFiscal": (INT, FLAG),
    "BeginTraining": (INT,),
    "EndTraining": (INT,),
    "SaleItemTxt": (INT, INT, TEXT, TEXT, TEXT, INT, INT, TEXT, TEXT, TEXT, TEXT, TEXT),
    "SaleItemNum": (INT, INT, TEXT, INT, INT, INT, INT, INT, TEXT, TEXT, TEXT, TEXT),
    "ItemAdjustTxt": (INT, INT, TEXT, TEXT, INT, INT, TEXT, TEXT),
    "ItemAdjustNum": (INT, INT, TEXT, INT, INT, INT, TEXT, TEXT),
    "PackAdjustTxt": (INT, INT, TEXT) + (TEXT,) * 7 + (TEXT, TEXT),
    "PackAdjustNum": (INT, INT, TEXT) + (INT,) * 7 + (TEXT, TEXT),
    "SinglePurposeVoucherTxt": (INT, TEXT, TEXT, INT, INT, TEXT, TEXT),
    "SinglePurposeVoucherNum": (INT, TEXT, INT, INT, INT, TEXT, TEXT),
    "PrintSubtotalTxt": (INT, TEXT, TEXT),
    "PrintSubtotalNum": (INT, INT, TEXT),
    "PaymentTxt": (INT, TEXT, TEXT, TEXT, TEXT, TEXT),
    "PaymentNum": (INT, INT, INT, TEXT, TEXT, TEXT),
    "PaymentIdTxt": (INT, TEXT, TEXT, INT, TEXT, TEXT),
    "PaymentIdNum": (INT, INT, INT, INT, TEXT, TEXT),
    "PaymentChangeTxt": (INT, TEXT, TEXT, TEXT, TEXT, TEXT),
    "PaymentChangeNum": (INT, INT, INT, TEXT, TEXT, TEXT),
    "PaymentChangeIdTxt": (INT, TEXT, TEXT, INT, TEXT, TEXT),
    "PaymentChangeIdNum": (INT, INT, INT, INT, TEXT, TEXT),
    "PrintRecMessage": (INT, INT, TEXT),
}

_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None


def candidates() -> List[str]:
    """The files tried, in order."""
    override = os.environ.get("KORVOCOMM_LIBRARY")
    if override:
        return [override]
    here = os.path.dirname(os.path.abspath(__file__))
    names = ["korvocomm.dll"] if os.name == "nt" else ["libkorvocomm.so.1", "libkorvocomm.so"]
    beside = [os.path.join(here, name) for name in names]
    return [path for path in beside if os.path.exists(path)] + names


def _open(path: str) -> ctypes.CDLL:
    # __stdcall on 32-bit Windows; WinDLL is the same as CDLL on 64-bit Windows.
    if os.name == "nt":
        return ctypes.WinDLL(path)
    return ctypes.CDLL(path)


def library() -> ctypes.CDLL:
    """The loaded library with every export declared; loads it on first use."""
    global _library
    with _lock:
        if _library is None:
            _library = _load()
        return _library


def _load() -> ctypes.CDLL:
    failures = []
    for path in candidates():
        try:
            lib = _open(path)
        except OSError as error:
            failures.append(f"{path}: {error}")
            continue
        for name, argtypes in EXPORTS.items():
            try:
                function = getattr(lib, name)
            except AttributeError:
                raise OSError(f"korvocomm: {path} has no export {name}; it is not a matching korvocomm") from None
            function.argtypes = argtypes
            function.restype = INT
        return lib
    raise OSError(f"korvocomm: the shared library cannot be loaded (tried {'; '.join(failures)}); "
                  "set KORVOCOMM_LIBRARY to its path")
