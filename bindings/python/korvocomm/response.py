"""The values of a command's response, named by the command's response head."""
from __future__ import annotations

from typing import Iterator, Mapping, Tuple


class Response(Mapping[str, str]):
    """A mapping from the names of the command's response head to the values
    the printer returned; `fields` keeps every value in order, also those the
    head has no name for."""

    def __init__(self, command: str, names: Tuple[str, ...], fields: Tuple[str, ...]) -> None:
        self.command = command
        self.names = names
        self.fields = fields
        self._values = dict(zip(names, fields))

    def __getitem__(self, name: str) -> str:
        return self._values[name]

    def __iter__(self) -> Iterator[str]:
        return iter(self._values)

    def __len__(self) -> int:
        return len(self._values)

    def __repr__(self) -> str:
        return f"Response({self.command!r}, {self._values!r})"
