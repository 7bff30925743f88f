# _arrays.py: the array path. numpy structured dtypes that are the C records byte for byte, files read
# column-wise into arrays of tests, a whole array calculated in one call of KVCalculateMany or
# CXCalculateMany, and DataFrames built from whole columns. Needs numpy (pandas for files and frames);
# imported only when the array path is used.
from __future__ import annotations

import ctypes
import json
from dataclasses import fields
from pathlib import Path
from typing import Any, Dict, List, NamedTuple, Optional, Sequence, Type

import numpy as np

from . import _library
from ._calc import device_family
from ._errors import check
from ._files import PathOrFile, Row, is_archive, parse_spectrum, parse_time, read
from ._records import (CCXNormals, CCXResults, CCXTestRecord, CKVNormals, CKVResults, CKVSpectrumPoint,
                       CKVTestRecord, CXNormals, CXResults, CXTestRecord, KVNormals, KVResults,
                       KVSpectrumPoint, KVTestRecord, NO_TIME, time_value)

_NUMPY_OF = {ctypes.c_int32: np.int32, ctypes.c_uint32: np.uint32, ctypes.c_int64: np.int64,
             ctypes.c_float: np.float32}


def _dtype(twin: Type[ctypes.Structure]) -> np.dtype:
    """The aligned dtype of a ctypes twin; the spectrum pointer is an unsigned integer of pointer size.
    Its size and every offset must be the twin's (which mirrors the header), or the module does not load."""
    members = [(name, np.uintp if name == "spectrum" else _NUMPY_OF[kind]) for name, kind in twin._fields_]
    dtype = np.dtype(members, align=True)
    offsets = {name: dtype.fields[name][1] for name, _ in twin._fields_}
    if dtype.itemsize != ctypes.sizeof(twin) or any(offsets[name] != getattr(twin, name).offset for name in offsets):
        raise ImportError(f"the numpy layout of {twin.__name__[1:]} is not the library's "
                          f"({dtype.itemsize} bytes, ctypes {ctypes.sizeof(twin)})")
    return dtype


SPECTRUM_POINT = _dtype(CKVSpectrumPoint)
KV_TEST = _dtype(CKVTestRecord)
KV_RESULTS = _dtype(CKVResults)
KV_NORMALS = _dtype(CKVNormals)
CX_TEST = _dtype(CCXTestRecord)
CX_RESULTS = _dtype(CCXResults)
CX_NORMALS = _dtype(CCXNormals)
DTYPES: Dict[type, np.dtype] = {KVSpectrumPoint: SPECTRUM_POINT, KVTestRecord: KV_TEST, KVResults: KV_RESULTS,
                                KVNormals: KV_NORMALS, CXTestRecord: CX_TEST, CXResults: CX_RESULTS,
                                CXNormals: CX_NORMALS}


class TestArray(np.ndarray):
    """An array of KV_TEST or CX_TEST records. .spectra holds the points the spectrum pointers point
    into, so a slice or view keeps them alive as long as it lives."""

    spectra: Optional[np.ndarray] = None

    def __array_finalize__(self, obj: Any) -> None:
        self.spectra = getattr(obj, "spectra", None)


def _test_array(count: int, equine: bool, spectra: Optional[np.ndarray] = None) -> TestArray:
    array = np.zeros(count, CX_TEST if equine else KV_TEST).view(TestArray)
    array.spectra = spectra
    return array


def _set_spectra(array: TestArray, spectra: Sequence[Optional[List[KVSpectrumPoint]]]) -> None:
    """Points of each test (None or [] for none) into one block, the pointers and counts set."""
    counts = np.array([len(points) if points else 0 for points in spectra], np.int32)
    block = np.zeros(int(counts.sum()), SPECTRUM_POINT)
    if len(block):
        block[:] = [(p.frequency, p.magnitude, p.phase) for points in spectra if points for p in points]
        starts = np.concatenate(([0], np.cumsum(counts)[:-1])) * SPECTRUM_POINT.itemsize
        array["spectrum"] = np.where(counts > 0, block.ctypes.data + starts, 0).astype(np.uintp)
    array["spectrumCount"] = counts
    array.spectra = block


def to_array(tests: Sequence[Any]) -> TestArray:
    """The dataclass tests (all human or all equine) as an array of C records."""
    tests = list(tests)
    equine = bool(tests) and isinstance(tests[0], CXTestRecord)
    record = CXTestRecord if equine else KVTestRecord
    if any(type(test) is not record for test in tests):
        raise ValueError("human and equine tests cannot be mixed in one array")
    array = _test_array(len(tests), equine)
    for f in fields(record):
        if f.name == "spectrum":
            _set_spectra(array, [test.spectrum for test in tests])
        elif f.name == "testTime":
            array[f.name] = [time_value(test.testTime) for test in tests]
        else:
            array[f.name] = [getattr(test, f.name) for test in tests]
    return array


def _spectrum_lists(array: np.ndarray) -> np.ndarray:
    """Each test's spectrum as a list of KVSpectrumPoint (read through the pointers), in an object array."""
    out = np.frompyfunc(lambda _: [], 1, 1)(np.empty(len(array)))
    for index in np.flatnonzero((array["spectrumCount"] > 0) & (array["spectrum"] != 0)):
        pointer = ctypes.cast(int(array["spectrum"][index]), ctypes.POINTER(CKVSpectrumPoint))
        out[index] = [KVSpectrumPoint(p.frequency, p.magnitude, p.phase)
                      for p in pointer[: int(array["spectrumCount"][index])]]
    return out


# ---- Reading ---------------------------------------------------------------------------------

_DIGITS = [0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18]
_MARKS = {4: b"-", 7: b"-", 10: b"T", 13: b":", 16: b":"}


def _times(texts: Any) -> np.ndarray:
    """Seconds of time cells column-wise: "YYYY-MM-DDTHH:MM:SS" with Z or a +HH:MM offset (as the tool
    writes them), whole seconds, empty for none. Any other text (no zone, fractions, spaces) is read
    one by one as the dataclass reader reads it."""
    cells = texts.fillna("").to_numpy(object)
    try:
        raw = np.array(cells, dtype="S32") if len(cells) else np.zeros(0, "S32")
    except UnicodeEncodeError:  # not ASCII: every cell one by one
        raw = np.array([cell if cell.isascii() else "?" for cell in cells], dtype="S32")
    chars = raw.view(np.uint8).reshape(len(raw), -1)
    chars = np.pad(chars, ((0, 0), (0, max(0, 26 - chars.shape[1]))))
    digit = (chars >= 48) & (chars <= 57)
    filled = chars != 0
    seconds = np.full(len(raw), NO_TIME, np.int64)
    # Whole seconds: an optional minus, then digits only.
    body = digit | ~filled
    body[:, 0] |= chars[:, 0] == ord("-")
    whole = filled[:, 0] & body.all(axis=1) & (digit.any(axis=1)) & (np.char.str_len(raw) < 19)
    if whole.any():
        seconds[whole] = raw[whole].astype(np.int64)
    shape = digit[:, _DIGITS].all(axis=1)
    for position, mark in _MARKS.items():
        shape &= chars[:, position] == mark[0]
    utc = ((chars[:, 19] == ord("Z")) | (chars[:, 19] == ord("z"))) & ~filled[:, 20]
    offset = (((chars[:, 19] == ord("+")) | (chars[:, 19] == ord("-"))) & digit[:, 20] & digit[:, 21] &
              (chars[:, 22] == ord(":")) & digit[:, 23] & digit[:, 24] & ~filled[:, 25])
    zoned = shape & (utc | offset)
    if zoned.any():
        try:
            local = raw[zoned].astype("S19").astype("datetime64[s]").astype(np.int64)
        except ValueError:  # a date that does not exist: read one by one, which says which
            zoned[:] = False
        else:
            z = chars[zoned].astype(np.int64) - 48
            shift = ((z[:, 20] * 10 + z[:, 21]) * 3600 + (z[:, 23] * 10 + z[:, 24]) * 60) * offset[zoned]
            seconds[zoned] = local - np.where(chars[zoned, 19] == ord("-"), -shift, shift)
    for index in np.flatnonzero(~whole & ~zoned & filled[:, 0]):
        seconds[index] = time_value(parse_time(cells[index]))
    return seconds


def _csv_array(source: PathOrFile, kind: Optional[str]) -> TestArray:
    import pandas

    header = pandas.read_csv(source, comment="#", nrows=0, skipinitialspace=True)
    if not isinstance(source, (str, Path)):
        source.seek(0)
    names = [name.strip() for name in header.columns]
    if "modelCode" not in names:
        raise ValueError("test 0: modelCode is missing")
    human = {f.name for f in fields(KVTestRecord)}
    equine_names = {f.name for f in fields(CXTestRecord)}
    wanted = [name for name in names if name in human | equine_names]
    frame = pandas.read_csv(source, comment="#", skip_blank_lines=True, usecols=lambda n: n.strip() in wanted,
                            dtype={n: str for n in ("testTime", "spectrum", "sex") if n in wanted},
                            float_precision="round_trip", keep_default_na=False, na_values=[""])
    frame.columns = [name.strip() for name in frame.columns]
    if frame["modelCode"].isna().any():
        raise ValueError(f"test {int(np.flatnonzero(frame['modelCode'].isna())[0])}: modelCode is missing")
    models = frame["modelCode"].to_numpy(np.int32)
    unique, where = np.unique(models, return_inverse=True)
    equine_rows = np.array([device_family(int(model)) in (-6, -7) for model in unique], bool)[where]
    equine = _kind(kind, equine_rows)
    if kind is not None:
        frame = frame[equine_rows == equine].reset_index(drop=True)
    record = CXTestRecord if equine else KVTestRecord
    array = _test_array(len(frame), equine)
    for f in fields(record):
        if f.name not in frame:
            if f.name == "spectrum":
                array.spectra = np.zeros(0, SPECTRUM_POINT)
            elif f.name == "testTime":
                array["testTime"] = NO_TIME
            continue
        column = frame[f.name]
        if f.name == "testTime":
            array[f.name] = _times(column)
        elif f.name == "spectrum":
            cells = column.fillna("").to_numpy(object)
            _set_spectra(array, [parse_spectrum(cell) if cell.strip() else None for cell in cells])
        elif f.name == "sex" and column.dtype == object:
            words = column.fillna("").str.strip().str.lower()
            named = words.isin(["female", "f", "male", "m"])
            numbers = pandas.to_numeric(words.where(~named & (words != ""), "0"))
            array[f.name] = np.where(named, words.str.startswith("m"), numbers).astype(np.int32)
        elif column.dtype == object:  # a text among the numbers ("nan", "inf"; anything else raises)
            texts = column.fillna("0").astype(str).str.strip().replace("", "0")
            array[f.name] = texts.astype(np.float64 if f.type in ("float", float) else np.int64)
        elif f.type in ("float", float):
            array[f.name] = column.to_numpy(np.float64, na_value=0.0)
        else:
            array[f.name] = column.to_numpy(np.int64, na_value=0)
    return array


def _archive_rows(path: Path) -> List[Row]:
    """The tests of the tool's SQLite archive in archive order, each from its stored fields."""
    import sqlite3
    from contextlib import closing

    from ._files import parse_json
    with closing(sqlite3.connect(path.resolve().as_uri() + "?mode=ro", uri=True)) as db:
        stored = db.execute("SELECT slot, fields FROM tests ORDER BY id").fetchall()
    return parse_json(json.dumps([{"slot": slot, "test": json.loads(text)} for slot, text in stored]))


def _kind(kind: Optional[str], equine_rows: np.ndarray) -> bool:
    if kind not in (None, "human", "equine"):
        raise ValueError(f"kind is 'human', 'equine' or None, not {kind!r}")
    if kind is None and equine_rows.any() and not equine_rows.all():
        raise ValueError("the file holds human and equine tests: choose one with kind='human' or kind='equine'")
    return kind == "equine" if kind is not None else bool(equine_rows.any())


def _tests_of(rows: List[Row], kind: Optional[str]) -> TestArray:
    equine_rows = np.array([isinstance(row.test, CXTestRecord) for row in rows], bool)
    equine = _kind(kind, equine_rows)
    array = to_array([row.test for row, chosen in zip(rows, equine_rows) if chosen == equine])
    return array if len(array) or not equine else _test_array(0, True)


def read_array(source: PathOrFile, kind: Optional[str] = None) -> TestArray:
    """The tests of a CSV or JSON file or an archive as an array of C records (CSV column-wise), the
    values read_tests() gives. A file of human and equine tests needs kind ("human" or "equine")."""
    if is_archive(source):
        return _tests_of(_archive_rows(Path(source)), kind)
    if isinstance(source, (str, Path)):
        with open(source, encoding="utf-8") as file:
            start = file.read(4096).lstrip()[:1]
    else:
        start = source.read(4096).lstrip()[:1]
        source.seek(0)
    if start in ("[", "{"):
        return _tests_of(read(source), kind)
    return _csv_array(source, kind)


# ---- Calculating -----------------------------------------------------------------------------

class ArrayCalculation(NamedTuple):
    """results and normals arrays (KV_ or CX_RESULTS, _NORMALS) and codes (int32): test i's codes[i] is
    0, or the code that refused it and left its results and normals all zero."""

    results: np.ndarray
    normals: np.ndarray
    codes: np.ndarray


def calculate_array(tests: np.ndarray, water_equation: int = 0) -> ArrayCalculation:
    if water_equation < 0:
        raise ValueError("water_equation is 0 to 3")
    equine = tests.dtype == CX_TEST
    if not equine and tests.dtype != KV_TEST:
        raise TypeError("calculate_many() takes an array of korvanta.KV_TEST or korvanta.CX_TEST records")
    tests = np.ascontiguousarray(tests)
    count = len(tests)
    results = np.zeros(count, CX_RESULTS if equine else KV_RESULTS)
    normals = np.zeros(count, CX_NORMALS if equine else KV_NORMALS)
    codes = np.zeros(count, np.int32)
    lib = _library.load()
    out = (results.ctypes.data_as(ctypes.POINTER(CCXResults if equine else CKVResults)),
           normals.ctypes.data_as(ctypes.POINTER(CCXNormals if equine else CKVNormals)),
           codes.ctypes.data_as(ctypes.POINTER(ctypes.c_int32)))
    if equine:
        check(lib.CXCalculateMany(tests.ctypes.data_as(ctypes.POINTER(CCXTestRecord)), count, *out),
              "CXCalculateMany")
    else:
        check(lib.KVCalculateMany(tests.ctypes.data_as(ctypes.POINTER(CKVTestRecord)), count, water_equation,
                                  *out), "KVCalculateMany")
    return ArrayCalculation(results, normals, codes)


# ---- DataFrame -------------------------------------------------------------------------------

def dataframe(tests: np.ndarray, water_equation: int = 0) -> Any:
    """to_dataframe() of an array, column by column: the columns and dtypes to_dataframe() gives for
    the same tests as dataclasses."""
    import pandas

    results, normals, codes = calculate_array(tests, water_equation)
    equine = tests.dtype == CX_TEST
    test_type, results_type, normals_type = ((CXTestRecord, CXResults, CXNormals) if equine
                                             else (KVTestRecord, KVResults, KVNormals))
    refused = codes != 0
    columns: Dict[str, Any] = {"slot": np.arange(len(tests), dtype=np.int64)}
    for f in fields(test_type):
        if f.name == "testTime":
            seconds = tests["testTime"].astype(np.int64)
            stamps = np.where(seconds == NO_TIME, np.datetime64("NaT"), seconds.astype("datetime64[s]"))
            columns[f.name] = pandas.to_datetime(stamps.astype("datetime64[ns]"), utc=True)
        elif f.name == "spectrum":
            columns[f.name] = _spectrum_lists(tests)
        else:
            columns[f.name] = tests[f.name].astype(np.float64 if f.type in ("float", float) else np.int64)
    if not equine:
        columns["spectrumCount"] = tests["spectrumCount"].astype(np.int64)
    columns["resultsCode"] = codes.astype(np.int64)
    for name, record, values in (("results", results_type, results), ("normals", normals_type, normals)):
        if name == "normals":
            columns["normalsCode"] = (np.zeros(len(tests), np.int64) if not refused.any() else
                                      np.where(refused, np.nan, 0.0) if not refused.all() else
                                      np.full(len(tests), None, object))
        if len(tests) and refused.all():
            continue  # as for dataclasses: no row has these columns
        for f in fields(record):
            if f.type in ("float", float) or refused.any():
                columns[f.name] = np.where(refused, np.nan, values[f.name].astype(np.float64))
            else:
                columns[f.name] = values[f.name].astype(np.int64)
    if len(tests) and refused[0]:  # as for dataclasses: the columns in the order the first row has them
        columns = _codes_first(columns)
    return _frame(columns, len(tests))


def _frame(columns: Dict[str, Any], count: int) -> Any:
    """The DataFrame of named columns, each dtype's columns stacked into one block first (what pandas
    would otherwise do column by column, at several times the cost)."""
    import pandas

    groups: Dict[str, List[str]] = {}
    for name, values in columns.items():
        groups.setdefault(str(getattr(values, "dtype", object)), []).append(name)
    try:  # pandas' block manager, when it has the interface of pandas 1.x and 2.x: no copy after stacking
        from pandas.core.internals import BlockManager
        from pandas.core.internals.api import make_block

        order = {name: index for index, name in enumerate(columns)}
        blocks = []
        for dtype, names in groups.items():
            placement = np.array([order[name] for name in names], np.intp)
            if dtype in ("int64", "float64"):
                block = np.empty((len(names), count), dtype)
                for row, name in enumerate(names):
                    block[row] = columns[name]
                blocks.append(make_block(block, placement=placement, ndim=2))
            else:
                for name, position in zip(names, placement):
                    values = columns[name]
                    values = values.array if hasattr(values, "array") else values[None, :]
                    blocks.append(make_block(values, placement=np.array([position]), ndim=2))
        manager = BlockManager(blocks, [pandas.Index(list(columns)), pandas.RangeIndex(count)])
        frame = pandas.DataFrame._from_mgr(manager, manager.axes) if hasattr(pandas.DataFrame, "_from_mgr") \
            else pandas.DataFrame(manager)
        return frame
    except (ImportError, TypeError, ValueError, AssertionError):
        pass
    parts = []
    for dtype, names in groups.items():
        if dtype in ("int64", "float64"):
            block = np.empty((len(names), count), dtype)
            for row, name in enumerate(names):
                block[row] = columns[name]
            parts.append(pandas.DataFrame(block.T, columns=names, copy=False))
        else:
            parts.append(pandas.DataFrame({name: columns[name] for name in names}))
    return pandas.concat(parts, axis=1, copy=False)[list(columns)]


def _codes_first(columns: Dict[str, Any]) -> Dict[str, Any]:
    names = list(columns)
    names.remove("normalsCode")
    names.insert(names.index("resultsCode") + 1, "normalsCode")
    return {name: columns[name] for name in names}
