"""Amounts of the receipt calls: decimal.Decimal, or int counts of thousandths
(1250 is 1.250), as the library's numeric calls take them."""
from __future__ import annotations

from decimal import Decimal
from typing import Union

Amount = Union[Decimal, int]

_INT32 = 2**31 - 1


def thousandths(value: Amount) -> int:
    """An amount as an int32 count of thousandths; ValueError when it has
    more than three decimals or does not fit, TypeError for other types
    (a float cannot hold most amounts exactly)."""
    if isinstance(value, bool) or not isinstance(value, (int, Decimal)):
        raise TypeError(f"an amount is a Decimal or an int of thousandths, not {type(value).__name__}")
    if isinstance(value, Decimal):
        if not value.is_finite():
            raise ValueError(f"amount {value} is not a number")
        scaled = value.scaleb(3)
        if scaled != scaled.to_integral_value():
            raise ValueError(f"amount {value} has more than three decimals")
        value = int(scaled)
    if not -_INT32 <= value <= _INT32:
        raise ValueError(f"amount of {value} thousandths is out of range")
    return value
