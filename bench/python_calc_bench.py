# python_calc_bench.py: per-record cost of korvanta.calculate (records in, dataclasses out) beside
# the raw C calls through ctypes on prepared structures (the library's own cost plus the call), and
# calculate_many of a numpy array of records (one call of the library for all).
# Run: python3 bench/python_calc_bench.py [BUILD_DIR]   (default build/dev)
import ctypes
import os
import sys
import timeit
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BUILD = Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "build" / "dev"
os.environ.setdefault("KORVANTA_SDK_LIBRARY", str(BUILD / "lib" / "libKorvantaSDK.so"))
sys.path.insert(0, str(ROOT / "python"))

import korvanta  # noqa: E402
from korvanta import _library, _records  # noqa: E402

HUMAN = korvanta.KVTestRecord(modelCode=7, sex=1, age=48, height=188, weight=72.8, activityLevel=3, waist=79,
                              hip=106, impedanceF1=582, impedanceF2=520, impedanceF3=488, impedanceF4=468,
                              resistance=515)
EQUINE = korvanta.CXTestRecord(modelCode=12, height=160, conditionScore=5, impedance5=112, impedance16=106,
                               impedance24=103, impedance50=97, impedance140=88, impedance200=85,
                               impedance280=82, decimalReading=512.0)


def per_call(function, number):
    return min(timeit.repeat(function, number=number, repeat=5)) / number * 1e6


def main():
    lib = _library.load()
    c_human, c_equine = _records.to_c(HUMAN), _records.to_c(EQUINE)
    kv_results, kv_normals = _records.CKVResults(), _records.CKVNormals()
    cx_results, cx_normals = _records.CCXResults(), _records.CCXNormals()
    h, hr, hn = ctypes.byref(c_human), ctypes.byref(kv_results), ctypes.byref(kv_normals)
    e, er, en = ctypes.byref(c_equine), ctypes.byref(cx_results), ctypes.byref(cx_normals)

    def raw_human():
        lib.KVCalculateResults(h, hr, 0)
        lib.KVCalculateNormals(h, hr, hn)

    def raw_equine():
        lib.CXCalculateResults(e, er)
        lib.CXCalculateNormals(e, er, en)

    many = [HUMAN] * 1000
    array = korvanta.to_array(many)  # the array path: one KVCalculateMany call for all
    figures = [
        ("human  korvanta.calculate", per_call(lambda: korvanta.calculate(HUMAN), 2000)),
        ("human  raw C calls (ctypes)", per_call(raw_human, 20000)),
        ("human  calculate_many, per record", per_call(lambda: korvanta.calculate_many(many), 2) / 1000),
        ("human  calculate_many of an array, per record", per_call(lambda: korvanta.calculate_many(array), 50) / 1000),
        ("equine korvanta.calculate", per_call(lambda: korvanta.calculate(EQUINE), 2000)),
        ("equine raw C calls (ctypes)", per_call(raw_equine, 20000)),
    ]
    print(f"library {BUILD / 'lib'}, results and normals of one test (best of 5)")
    for name, micros in figures:
        print(f"  {name:46s} {micros:8.2f} us per record")


if __name__ == "__main__":
    main()
