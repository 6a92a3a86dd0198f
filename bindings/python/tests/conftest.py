"""The simulator the tests drive, started by scripts/run-with-sim.sh (ctest
does that), and the library named by KORVOCOMM_LIBRARY."""
import os
import pathlib
from dataclasses import dataclass

import pytest


@dataclass
class Simulator:
    tcp: str
    usb: str
    paper_path: pathlib.Path
    journal_path: pathlib.Path

    def paper(self) -> str:
        return self.paper_path.read_text(encoding="utf-8", errors="replace")

    def journal(self) -> str:
        return self.journal_path.read_text(encoding="latin-1") if self.journal_path.exists() else ""


@pytest.fixture(scope="session")
def sim() -> Simulator:
    if "KORVOSIM_TCP" not in os.environ:
        pytest.fail("no simulator: run the tests through scripts/run-with-sim.sh KORVOSIM "
                    "--faults bindings/python/tests/faults.txt -- python3 -m pytest bindings/python/tests")
    return Simulator(os.environ["KORVOSIM_TCP"], os.environ["KORVOSIM_USB"],
                     pathlib.Path(os.environ["KORVOSIM_PAPER"]), pathlib.Path(os.environ["KORVOSIM_JOURNAL"]))
