# conftest.py: where the build is (KV_BUILD_DIR, default build/dev of this checkout), the package on
# the path, and analyser simulators on ptys for the device tests.
import os
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("KV_BUILD_DIR", ROOT / "build" / "dev"))
sys.path.insert(0, str(ROOT / "python"))
os.environ.setdefault("KORVANTA_SDK_LIBRARY", str(BUILD / "lib" / "libKorvantaSDK.so"))
os.environ.setdefault("TZ", "UTC")


def tool(*args: str) -> str:
    """Runs the `korvanta` tool (the C path); its standard output."""
    done = subprocess.run([str(BUILD / "bin" / "korvanta"), *args], capture_output=True, text=True, timeout=60)
    assert done.returncode in (0, 1), done.stderr
    return done.stdout


class Simulator:
    """A kv_simulator process for a `with` block; its port while the block runs."""

    def __init__(self, *args: str) -> None:
        self.process = subprocess.Popen([str(BUILD / "bin" / "kv_simulator"), *args], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)

    def __enter__(self) -> str:
        port = self.process.stdout.readline().strip()
        assert port.startswith("/dev/"), self.process.stderr.read()
        return port

    def __exit__(self, *exc: object) -> None:
        self.process.terminate()
        self.process.wait(timeout=10)
