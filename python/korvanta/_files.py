# _files.py: the `korvanta` tool's CSV and JSON files of tests with their results and normal ranges,
# read and written so that files pass between the tool and Python unchanged. Columns and keys are
# the records' field names; numbers are written in the shortest text that reads back to the same
# float32, as the tool writes them.
from __future__ import annotations

import csv
import io
import json
import math
import struct
from dataclasses import dataclass, fields
from datetime import datetime, timezone
from pathlib import Path
from typing import Any, Dict, Iterable, List, Optional, Sequence, TextIO, Union

from ._calc import Test, calculate, is_equine
from ._errors import NAMES, BY_CODE, KorvantaError
from ._records import (CXNormals, CXResults, CXTestRecord, KVNormals, KVResults, KVSpectrumPoint,
                       KVTestRecord, field_names)

PathOrFile = Union[str, Path, TextIO]


@dataclass
class Row:
    """One test of a file with what was calculated for it. resultsCode and normalsCode are the
    library's codes (0 success), None where nothing was calculated; results and normals are None
    unless their code is 0."""

    slot: int
    test: Test
    resultsCode: Optional[int] = None
    results: Optional[Union[KVResults, CXResults]] = None
    normalsCode: Optional[int] = None
    normals: Optional[Union[KVNormals, CXNormals]] = None


def calculate_rows(tests: Iterable[Test], water_equation: int = 0,
                   slots: Optional[Sequence[int]] = None) -> List[Row]:
    """One row per test with the calculation's codes; a refused test gets its code and no results
    instead of raising. Slots are numbered from 0 unless given (as Analyser.slots)."""
    tests = list(tests)
    rows = []
    for slot, test in zip(slots if slots is not None else range(len(tests)), tests):
        row = Row(slot, test)
        try:
            row.results, row.normals = calculate(test, water_equation)
            row.resultsCode = row.normalsCode = 0
        except KorvantaError as error:
            # The normals are reached only after the results succeed.
            if error.call.endswith("Normals"):
                row.resultsCode, row.normalsCode = 0, error.code
            else:
                row.resultsCode = error.code
        rows.append(row)
    return rows


# ---- Number and time text --------------------------------------------------------------------

def float32(value: float) -> float:
    return struct.unpack("<f", struct.pack("<f", value))[0]


def float_text(value: float) -> str:
    """The shortest decimal text reading back to the same float32, fixed or scientific notation
    (whichever is shorter, fixed on a tie)."""
    if math.isnan(value):
        return "nan"
    if math.isinf(value):
        return "inf" if value > 0 else "-inf"
    value = float32(value)
    if value == 0:
        return "-0" if math.copysign(1.0, value) < 0 else "0"
    for precision in range(9):
        text = f"{abs(value):.{precision}e}"
        if float32(float(text)) == abs(value):
            break
    mantissa, exponent_text = text.split("e")
    digits = mantissa.replace(".", "").rstrip("0") or "0"
    exponent = int(exponent_text)
    scientific = digits[0] + ("." + digits[1:] if len(digits) > 1 else "") + \
        ("e-" if exponent < 0 else "e+") + f"{abs(exponent):02d}"
    if exponent >= len(digits) - 1:
        fixed = digits + "0" * (exponent - len(digits) + 1)
    elif exponent >= 0:
        fixed = digits[: exponent + 1] + "." + digits[exponent + 1:]
    else:
        fixed = "0." + "0" * (-exponent - 1) + digits
    sign = "-" if value < 0 else ""
    return sign + (fixed if len(fixed) <= len(scientific) else scientific)


def time_text(when: Optional[datetime], utc: bool) -> Optional[str]:
    if when is None:
        return None
    if utc:
        return when.astimezone(timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    return when.astimezone().isoformat(timespec="seconds")


def parse_time(text: str) -> Optional[datetime]:
    text = text.strip()
    if not text:
        return None
    if text.lstrip("-").isdigit():
        seconds = int(text)
        return None if seconds == -1 else datetime.fromtimestamp(seconds, timezone.utc)
    if text[-1] in "Zz":
        text = text[:-1] + "+00:00"
    when = datetime.fromisoformat(text)
    return when.astimezone() if when.tzinfo is None else when


# ---- Records to and from named texts ---------------------------------------------------------

def _record_cells(record: Any, names: Sequence[str], utc: bool) -> Dict[str, Any]:
    """The record's values by field name, as JSON values (text for times, None for no number)."""
    out: Dict[str, Any] = {}
    for name in names:
        value = getattr(record, name)
        if name == "testTime":
            out[name] = time_text(value, utc)
        elif isinstance(value, float):
            out[name] = float(float_text(value)) if math.isfinite(value) else None
        else:
            out[name] = value
    return out


def _csv_cell(record: Any, name: str, utc: bool) -> str:
    value = getattr(record, name)
    if name == "testTime":
        return time_text(value, utc) or ""
    return float_text(value) if isinstance(value, float) else str(value)


def spectrum_text(points: Sequence[KVSpectrumPoint]) -> str:
    return ";".join(f"{float_text(p.frequency)}:{float_text(p.magnitude)}:{float_text(p.phase)}" for p in points)


def parse_spectrum(value: Any) -> List[KVSpectrumPoint]:
    if isinstance(value, list):
        points = [p if isinstance(p, list) else [p["frequency"], p["magnitude"], p["phase"]] for p in value]
    else:
        points = [item.split(":") for item in str(value).split(";") if item.strip()]
    return [KVSpectrumPoint(*(float32(float(v)) for v in point)) for point in points]


def _fill(record_type: type, values: Dict[str, Any]) -> Any:
    """A record from named values (texts or JSON values); absent and empty values stay at their
    defaults. Names of other records are left for the caller."""
    known = {f.name: f for f in fields(record_type)}
    kwargs: Dict[str, Any] = {}
    for name, value in values.items():
        if name not in known or value is None or (isinstance(value, str) and not value.strip()):
            continue
        if name == "spectrum":
            kwargs[name] = parse_spectrum(value)
        elif name == "testTime":
            kwargs[name] = parse_time(str(value))
        elif known[name].type in ("float", float):
            kwargs[name] = float32(float(value))
        elif name == "sex" and str(value).strip().lower() in ("female", "f", "male", "m"):
            kwargs[name] = 1 if str(value).strip().lower().startswith("m") else 0
        else:
            kwargs[name] = int(value)
    return record_type(**kwargs)


def _kinds(equine: bool) -> tuple:
    return (CXTestRecord, CXResults, CXNormals) if equine else (KVTestRecord, KVResults, KVNormals)


def _code(value: Any) -> Optional[int]:
    return None if value is None or (isinstance(value, str) and not value.strip()) else int(value)


def _row(slot: int, test_values: Dict[str, Any], outputs: Dict[str, Any]) -> Row:
    if "modelCode" not in test_values or _code(test_values["modelCode"]) is None:
        raise ValueError(f"test {slot}: modelCode is missing")
    test_type, results_type, normals_type = _kinds(is_equine(int(test_values["modelCode"])))
    row = Row(slot, _fill(test_type, test_values), _code(outputs.get("resultsCode")),
              normalsCode=_code(outputs.get("normalsCode")))
    results, normals = outputs.get("results", outputs), outputs.get("normals", outputs)
    if row.resultsCode == 0 and results is not None:
        row.results = _fill(results_type, {k: ("nan" if v is None else v) for k, v in results.items()})
    if row.normalsCode == 0 and normals is not None:
        row.normals = _fill(normals_type, {k: ("nan" if v is None else v) for k, v in normals.items()})
    return row


# ---- Reading ---------------------------------------------------------------------------------

def _text_of(source: PathOrFile) -> str:
    if isinstance(source, (str, Path)):
        return Path(source).read_text(encoding="utf-8")
    return source.read()


def parse_csv(text: str) -> List[Row]:
    lines = [line for line in text.splitlines() if line.strip() and not line.strip().startswith("#")]
    reader = csv.reader(lines)
    header = [name.strip() for name in next(reader, [])]
    rows = []
    for index, cells in enumerate(reader):
        values = dict(zip(header, cells))
        slot = int(values["slot"]) if values.get("slot", "").strip() else index
        rows.append(_row(slot, values, values))
    return rows


def parse_json(text: str) -> List[Row]:
    document = json.loads(text)
    if isinstance(document, dict):
        document = [document]
    rows = []
    for index, element in enumerate(document):
        test = element.get("test", element)
        slot = element.get("slot", index)
        rows.append(_row(slot if isinstance(slot, int) else index, test, element))
    return rows


def is_archive(source: PathOrFile) -> bool:
    if not isinstance(source, (str, Path)):
        return False
    with open(source, "rb") as file:
        return file.read(16) == b"SQLite format 3\0"


def read(source: PathOrFile) -> List[Row]:
    """The rows of a CSV or JSON file (JSON when it starts with [ or {), as the tool reads them, or
    the tests of the tool's archive (an SQLite file) with their slots."""
    if is_archive(source):
        from ._arrays import _archive_rows
        return _archive_rows(Path(source))
    text = _text_of(source)
    return parse_json(text) if text.lstrip()[:1] in ("[", "{") else parse_csv(text)


def read_tests(source: PathOrFile, as_array: bool = False, kind: Optional[str] = None) -> Any:
    """The tests of a file or archive as dataclasses, or with as_array=True as an array of C records
    (read_array, which takes kind "human" or "equine" for a file holding both)."""
    if as_array:
        from ._arrays import read_array
        return read_array(source, kind)
    return [row.test for row in read(source)]


# ---- Writing ---------------------------------------------------------------------------------

def _rows(items: Iterable[Union[Row, Test]], water_equation: int) -> List[Row]:
    items = list(items)
    tests = [item for item in items if not isinstance(item, Row)]
    if tests and len(tests) != len(items):
        raise TypeError("give rows or tests, not a mix")
    rows = calculate_rows(tests, water_equation) if tests else items  # type: ignore[assignment]
    if len({isinstance(row.test, CXTestRecord) for row in rows}) > 1:
        raise ValueError("human and equine tests cannot be mixed in one file")
    return rows  # type: ignore[return-value]


def _test_names(rows: Sequence[Row]) -> List[str]:
    kind = type(rows[0].test) if rows else KVTestRecord
    names = field_names(kind)
    if any(getattr(row.test, "spectrum", None) for row in rows):
        names.append("spectrum")
    return names


def _write(target: Optional[PathOrFile], text: str) -> str:
    if isinstance(target, (str, Path)):
        Path(target).write_text(text, encoding="utf-8")
    elif target is not None:
        target.write(text)
    return text


def write_csv(target: Optional[PathOrFile], items: Iterable[Union[Row, Test]], utc: bool = False,
              water_equation: int = 0) -> str:
    """Writes rows (or tests, calculated here) as the tool's CSV; times in local time, or UTC with
    utc=True. A spectrum column follows spectrumCount only when a test has a spectrum. Returns the text."""
    rows = _rows(items, water_equation)
    equine = bool(rows) and isinstance(rows[0].test, CXTestRecord)
    test_type, results_type, normals_type = _kinds(equine)
    test_names = _test_names(rows)
    result_names, normal_names = field_names(results_type), field_names(normals_type)
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(["slot", *test_names, "resultsCode", *result_names, "normalsCode", *normal_names])
    for row in rows:
        cells = [str(row.slot)]
        cells += [spectrum_text(row.test.spectrum) if name == "spectrum" else _csv_cell(row.test, name, utc)
                  for name in test_names]
        for code, record, names in ((row.resultsCode, row.results, result_names),
                                    (row.normalsCode, row.normals, normal_names)):
            cells.append("" if code is None else str(code))
            cells += [_csv_cell(record, name, utc) if code == 0 and record is not None else "" for name in names]
        writer.writerow(cells)
    return _write(target, out.getvalue())


def _code_text(code: int) -> str:
    name = NAMES.get(code, f"code {code}")
    meaning = BY_CODE[code].meaning if code in BY_CODE else "not a result code of the library"
    return f"{name}: {meaning}"


def write_json(target: Optional[PathOrFile], items: Iterable[Union[Row, Test]], utc: bool = False,
               water_equation: int = 0) -> str:
    """Writes rows (or tests, calculated here) as the tool's JSON: an array of objects with slot,
    test, resultsCode, results, normalsCode, normals (and resultsError/normalsError). Returns the text."""
    rows = _rows(items, water_equation)
    objects = []
    for row in rows:
        test_names = _test_names([row])
        obj: Dict[str, Any] = {"slot": row.slot,
                               "test": _record_cells(row.test, [n for n in test_names if n != "spectrum"], utc)}
        if "spectrum" in test_names:
            obj["test"]["spectrum"] = [[float(float_text(v)) for v in (p.frequency, p.magnitude, p.phase)]
                                       for p in row.test.spectrum]
        for key, code, record in (("results", row.resultsCode, row.results),
                                  ("normals", row.normalsCode, row.normals)):
            obj[key + "Code"] = code
            if code is not None and code != 0:
                obj[key + "Error"] = _code_text(code)
            ok = code == 0 and record is not None
            obj[key] = _record_cells(record, field_names(type(record)), utc) if ok else None
        objects.append("  " + json.dumps(obj, separators=(",", ":"), ensure_ascii=False))
    text = "[\n" + ",\n".join(objects) + "\n]\n" if objects else "[]\n"
    return _write(target, text)
