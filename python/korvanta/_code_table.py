# _code_table.py: the library's result-code table, read from the one table the C code is built from
# (base/result_codes.inc). An installed package carries it as _result_codes.py, written at build time;
# run from a checkout, the package reads the table itself.
from __future__ import annotations

import re
from pathlib import Path
from typing import List, NamedTuple


class CodeRow(NamedTuple):
    name: str
    value: int
    meaning: str


_ROW = re.compile(r'KV_RESULT_CODE\(\s*(\w+)\s*,\s*(-?\d+)\s*,\s*"((?:[^"\\]|\\.)*)"\s*\)')


def parse(text: str) -> List[CodeRow]:
    rows = [CodeRow(m.group(1), int(m.group(2)), m.group(3)) for m in _ROW.finditer(text)]
    if not rows:
        raise ValueError("no KV_RESULT_CODE rows in the result-code table")
    return rows


def checkout_table() -> Path:
    """The table's place when the package runs from a checkout (python/korvanta/ -> base/)."""
    return Path(__file__).resolve().parents[2] / "base" / "result_codes.inc"


def load() -> List[CodeRow]:
    try:
        from ._result_codes import CODES  # written by setup.py when the package is built
    except ImportError:
        path = checkout_table()
        if not path.is_file():
            raise ImportError(
                f"korvanta: the result-code table is missing: no korvanta/_result_codes.py and no {path}"
            ) from None
        return parse(path.read_text(encoding="utf-8"))
    return [CodeRow(*row) for row in CODES]
