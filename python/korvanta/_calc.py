# _calc.py: the calculation of results and normal ranges, human or equine by the test's record type,
# and the catalogue's small lookups (family, model names, the library's version).
from __future__ import annotations

import ctypes
from typing import Any, Iterable, List, NamedTuple, Tuple, Union

from . import _library
from ._errors import check
from ._records import (CCXNormals, CCXResults, CKVNormals, CKVResults, CXNormals, CXResults, CXTestRecord,
                       KVNormals, KVResults, KVTestRecord, from_c, to_c)

Test = Union[KVTestRecord, CXTestRecord]


class Calculation(NamedTuple):
    results: Union[KVResults, CXResults]
    normals: Union[KVNormals, CXNormals]


def calculate(test: Test, water_equation: int = 0) -> Calculation:
    """Results and normal ranges of one test: KVTestRecord by the human equations of its model's family,
    CXTestRecord by the equine ones (water_equation is not used there). A refused test raises the
    KorvantaError subclass of the library's code (SexError, WrongKindError, ...)."""
    lib = _library.load()
    c_test = to_c(test)
    if isinstance(test, CXTestRecord):
        results, normals = CCXResults(), CCXNormals()
        check(lib.CXCalculateResults(ctypes.byref(c_test), ctypes.byref(results)), "CXCalculateResults")
        check(lib.CXCalculateNormals(ctypes.byref(c_test), ctypes.byref(results), ctypes.byref(normals)),
              "CXCalculateNormals")
        return Calculation(from_c(CXResults, results), from_c(CXNormals, normals))
    if not isinstance(test, KVTestRecord):
        raise TypeError(f"calculate() takes a KVTestRecord or a CXTestRecord, not {type(test).__name__}")
    if water_equation < 0:
        raise ValueError("water_equation is 0 to 3")
    results, normals = CKVResults(), CKVNormals()
    check(lib.KVCalculateResults(ctypes.byref(c_test), ctypes.byref(results), water_equation),
          "KVCalculateResults")
    check(lib.KVCalculateNormals(ctypes.byref(c_test), ctypes.byref(results), ctypes.byref(normals)),
          "KVCalculateNormals")
    return Calculation(from_c(KVResults, results), from_c(KVNormals, normals))


def calculate_many(tests: Iterable[Test], water_equation: int = 0) -> Any:
    """calculate() of each test in order; the first refused test raises. An array of C records
    (read_array, to_array) is calculated in one call of the library instead and gives an
    ArrayCalculation(results, normals, codes) of arrays, a refused test its code and zeros."""
    if hasattr(tests, "dtype"):
        from ._arrays import calculate_array
        return calculate_array(tests, water_equation)  # type: ignore[arg-type]
    return [calculate(test, water_equation) for test in tests]


def sdk_version() -> Tuple[int, int]:
    major, minor = ctypes.c_uint32(), ctypes.c_uint32()
    check(_library.load().KVGetSdkLibraryVersion(ctypes.byref(major), ctypes.byref(minor)),
          "KVGetSdkLibraryVersion")
    return major.value, minor.value


def device_family(model_code: int) -> int:
    """The model's family code (-1 to -7; -6 and -7 are equine), 0 outside the catalogue."""
    return int(_library.load().KVGetDeviceFamily(model_code))


def is_equine(model_code: int) -> bool:
    return device_family(model_code) in (-6, -7)


def model_name(model_code: int, short: bool = False) -> str:
    """The model's name; WrongKindError for a model outside the catalogue."""
    lib = _library.load()
    buffer = _library.wide_buffer(64)
    call = lib.KVGetDeviceModelNameShort if short else lib.KVGetDeviceModelName
    check(call(model_code, buffer, len(buffer)), call.__name__)
    return _library.text_of(buffer)
