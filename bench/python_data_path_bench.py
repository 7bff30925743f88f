# python_data_path_bench.py: read + calculate + DataFrame of a large CSV of tests on the array path
# (korvanta.read_array, one KVCalculateMany call, columns), beside pandas.read_csv of the same file
# and the dataclass path, measured in one run. The CSV is a download from the simulator
# (`korvanta download --format csv`) whose rows are repeated with varied readings.
# Run: python3 bench/python_data_path_bench.py [BUILD_DIR] [TESTS]   (default build/dev, 100000)
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BUILD = Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "build" / "dev"
COUNT = int(sys.argv[2]) if len(sys.argv) > 2 else 100_000
os.environ.setdefault("KORVANTA_SDK_LIBRARY", str(BUILD / "lib" / "libKorvantaSDK.so"))
sys.path.insert(0, str(ROOT / "python"))

import numpy as np  # noqa: E402
import pandas  # noqa: E402

import korvanta  # noqa: E402


def downloaded_csv() -> str:
    simulator = subprocess.Popen([str(BUILD / "bin" / "kv_simulator"), "--model", "7"], stdout=subprocess.PIPE,
                                 text=True)
    try:
        port = simulator.stdout.readline().strip()
        done = subprocess.run([str(BUILD / "bin" / "korvanta"), "download", "--port", port, "--format", "csv"],
                              capture_output=True, text=True, timeout=120, check=True)
        return done.stdout
    finally:
        simulator.terminate()
        simulator.wait(timeout=10)


def big_csv(path: Path) -> None:
    """The download's rows repeated to COUNT tests, readings varied so that no two are alike."""
    frame = pandas.read_csv(__import__("io").StringIO(downloaded_csv()), dtype={"testTime": str})
    frame = frame.loc[np.resize(np.arange(len(frame)), COUNT)].reset_index(drop=True)
    rng = np.random.default_rng(7)
    frame["slot"] = np.arange(COUNT)
    for name in ("impedanceF1", "impedanceF2", "impedanceF3", "impedanceF4", "resistance"):
        frame[name] = frame[name] + rng.integers(-40, 40, COUNT)
    frame["age"] = rng.integers(18, 90, COUNT)
    frame["weight"] = np.round(frame["weight"] + rng.uniform(-10, 10, COUNT), 1)
    frame.to_csv(path, index=False)


def seconds(function, repeat=3):
    """The best of repeat runs, and the last run's value."""
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        value = function()
        best = min(best, time.perf_counter() - start)
    return best, value


def main() -> None:
    with tempfile.TemporaryDirectory() as folder:
        path = Path(folder) / "tests.csv"
        big_csv(path)
        pandas.read_csv(path)  # the file in the page cache for both
        read_csv, _ = seconds(lambda: pandas.read_csv(path))
        array_path, frame = seconds(lambda: korvanta.to_dataframe(korvanta.read_array(path)))
        sample = 2000  # the dataclass path on the first tests: same frame, and its time per test
        head = Path(folder) / "head.csv"
        head.write_text("".join(path.open().readlines()[: sample + 1]))
        dataclass_path, theirs = seconds(lambda: korvanta.to_dataframe(korvanta.read_tests(head)), 1)
        pandas.testing.assert_frame_equal(frame.iloc[:sample], theirs)
        size = path.stat().st_size
    print(f"{COUNT} tests, {size / 1e6:.1f} MB of CSV, {len(frame.columns)} columns; library {BUILD / 'lib'}")
    print(f"  pandas.read_csv (best of 3)            {read_csv * 1e3:8.1f} ms")
    print(f"  array path: read, calculate, frame     {array_path * 1e3:8.1f} ms  "
          f"({array_path / read_csv:.2f} x read_csv)")
    print(f"  dataclass path, {sample} tests scaled up {dataclass_path / sample * COUNT * 1e3:8.1f} ms  "
          f"(its {sample} rows equal the array path's first)")


if __name__ == "__main__":
    main()
