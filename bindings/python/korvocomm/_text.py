"""Texts between Python and the library: Windows-1250 bytes, NUL-terminated,
and output buffers that grow to the length the library reports."""
from __future__ import annotations

import ctypes
from typing import Callable, Optional, Tuple, Union

ENCODING = "cp1250"

Text = Union[str, bytes]


def encode(text: Optional[Text]) -> Optional[bytes]:
    """A text argument as the library takes it; None stays NULL."""
    if text is None:
        return None
    data = text if isinstance(text, bytes) else text.encode(ENCODING)
    if b"\0" in data:
        raise ValueError(f"a text for the printer cannot hold a NUL character: {text!r}")
    return data


def decode(data: bytes) -> str:
    # The five bytes that Windows-1250 leaves undefined become U+FFFD.
    return data.decode(ENCODING, errors="replace")


def read(function: Callable[..., int], *args: object, size: int = 512) -> Tuple[int, bytes]:
    """Calls an export that copies a text out: (its result, the text).

    A negative result is an error code and comes with no text. A text cut
    at the buffer's size is read again into a buffer of its full length.
    """
    while True:
        buffer = ctypes.create_string_buffer(size)
        result = function(*args, buffer, size)
        if result < 0:
            return result, b""
        if result < size:
            return result, buffer.raw[:result]
        size = result + 1
