"""Result codes as exceptions: the printer's codes (positive) and the
library's own (negative), each with its name and its English and Slovak text."""
from __future__ import annotations

from typing import Optional

from . import _native, _text

LANGUAGE_ENGLISH = 2057
LANGUAGE_SLOVAK = 1051


class KorvoError(Exception):
    """A nonzero result code of korvocomm.

    code: the result code; name: its symbolic name (EFP_BAD_VAT), empty when
    the library knows none; english_text and slovak_text: its texts, specific
    to the command that failed where the library has such a text.
    """

    def __init__(self, code: int, name: str, english_text: str, slovak_text: str,
                 command: Optional[str] = None) -> None:
        self.code = code
        self.name = name
        self.english_text = english_text
        self.slovak_text = slovak_text
        self.command = command
        where = f"{command}: " if command else ""
        super().__init__(f"{where}{name or 'code'} ({code}): {english_text}")


class PrinterError(KorvoError):
    """The printer refused a command (a positive result code)."""


class LibraryError(KorvoError):
    """The library failed on the computer's side (a negative result code):
    bad arguments, connection, time-outs, abort."""


def error_name(code: int) -> str:
    """The symbolic name of a result code, empty when it has none."""
    result, name = _text.read(_native.library().GetErrorName, code, size=64)
    return _text.decode(name) if result >= 0 else ""


def error_text(code: int, language: int = LANGUAGE_ENGLISH, command: Optional[str] = None) -> str:
    """The text of a result code, the one specific to command where it has one;
    empty when the library has no text for the code."""
    lib = _native.library()
    if command is None:
        result, text = _text.read(lib.GetErrorText, 0, language, code)
    else:
        result, text = _text.read(lib.GetCommandErrorText, language, _text.encode(command), code)
    return _text.decode(text) if result >= 0 else ""


def make_error(code: int, handle: int = 0, command: Optional[str] = None) -> KorvoError:
    """The exception for a nonzero result code; with the handle of the
    connection whose last command the code belongs to, for its own texts."""
    lib = _native.library()
    texts = []
    for language in (LANGUAGE_ENGLISH, LANGUAGE_SLOVAK):
        result, text = _text.read(lib.GetErrorText, handle, language, code)
        texts.append(_text.decode(text) if result >= 0 else "")
    kind = PrinterError if code > 0 else LibraryError
    return kind(code, error_name(code), texts[0], texts[1], command)


def check(code: int, handle: int = 0, command: Optional[str] = None) -> int:
    """Raises the exception of a nonzero code; returns 0."""
    if code != 0:
        raise make_error(code, handle, command)
    return code
