# _errors.py: one exception class per failure code of the library, made from its result-code table,
# and check(), which turns a negative result into the matching exception.
from __future__ import annotations

from typing import Dict, Type

from ._code_table import load


class KorvantaError(Exception):
    """A call into the library failed. .code is its negative result code, .name the code's name
    (KV_ERR_...), .meaning the table's line about it, .call the export that returned it and .detail
    the session's words for the failure (what was being done, what the port, the system or the
    analyser did; empty for calls outside a session)."""

    code: int = 0
    name: str = "KV_ERR_UNKNOWN"
    meaning: str = "a result code the table does not hold"

    def __init__(self, call: str = "", code: int | None = None, detail: str = "") -> None:
        if code is not None:
            self.code = code
        self.call = call
        self.detail = detail
        where = f"{call}: " if call else ""
        # The session's words end with the code's name and value already.
        super().__init__(f"{where}{detail}" if detail else f"{where}{self.name} ({self.code}): {self.meaning}")


class LibraryNotFoundError(ImportError):
    """The library could not be found; .searched lists every place that was tried, in order."""

    def __init__(self, searched: list) -> None:
        self.searched = list(searched)
        lines = "\n".join(f"  {place}" for place in self.searched)
        super().__init__(
            "korvanta: libKorvantaSDK was not found. Set KORVANTA_SDK_LIBRARY to its path, install it, "
            "or build the checkout (cmake --workflow --preset dev). Looked in:\n" + lines
        )


def _class_name(code_name: str) -> str:
    words = code_name.removeprefix("KV_ERR_").split("_")
    return "".join(word.capitalize() for word in words) + "Error"


BY_CODE: Dict[int, Type[KorvantaError]] = {}
NAMES: Dict[int, str] = {}
for _row in load():
    NAMES[_row.value] = _row.name
    if _row.value < 0:
        BY_CODE[_row.value] = type(
            _class_name(_row.name),
            (KorvantaError,),
            {"code": _row.value, "name": _row.name, "meaning": _row.meaning, "__module__": "korvanta",
             "__doc__": f"{_row.name} ({_row.value}): {_row.meaning}."},
        )


def error_for(code: int, call: str = "", detail: str = "") -> KorvantaError:
    cls = BY_CODE.get(code)
    return cls(call, detail=detail) if cls is not None else KorvantaError(call, code, detail)


def check(code: int, call: str) -> None:
    if code < 0:
        raise error_for(code, call)
