# _analyser.py: one analyser on a serial port, as a context manager that opens the port, waits for
# the analyser's handshake and closes the port again. The library keeps one open port per process.
from __future__ import annotations

import ctypes
from dataclasses import dataclass
from datetime import datetime
from typing import Callable, List, Optional, Tuple, Union

from . import _library
from ._calc import device_family, is_equine, model_name
from ._errors import KorvantaError, check
from ._records import (CCXStoredTests, CKVStoredTests, CXTestRecord, KVTestRecord, STORED_TEST_CAPACITY,
                       from_c, time_of, time_value)

PRINTER_ADDRESS_LENGTH = 12
Progress = Callable[[int, int], None]


@dataclass
class AnalyserInfo:
    modelCode: int
    family: int
    modelName: str
    version: Tuple[int, int, int, int, int]
    protocol: Tuple[int, int, int]
    serialNumber: int
    printerAddress: str
    currentTime: Optional[datetime]
    calibrationTime: Optional[datetime]


@dataclass
class SingleTest:
    """The analyser's single test as read the human way (5 readings, 2 decimals) or the equine way
    (7 readings, 1 decimal)."""

    readings: Tuple[int, ...]
    decimals: Tuple[float, ...]


def _all_zero(record: ctypes.Structure) -> bool:
    return not any(bytes(record))


class Analyser:
    """with Analyser(port) as analyser: ... opens port (a device path, or a COM port number on
    Windows), waits for the handshake (up to 60 s, while the analyser is switched on) and closes the
    port on leaving."""

    def __init__(self, port: str) -> None:
        self.port = port
        self._lib = _library.load()
        self._model: Optional[int] = None
        self.slots: List[int] = []  # the analyser's slot of each test of the latest download

    def __enter__(self) -> "Analyser":
        check(self._lib.KVOpenComport(_library.wide_text(self.port)), "KVOpenComport")
        try:
            check(self._lib.KVConnect(), "KVConnect")
        except BaseException:
            self._lib.KVCloseComport()
            raise
        return self

    def __exit__(self, *exc: object) -> None:
        self._lib.KVCloseComport()

    def _model_version(self) -> Tuple[int, Tuple[int, ...]]:
        model = ctypes.c_int32()
        version = [ctypes.c_uint8() for _ in range(5)]
        check(self._lib.KVReadModelVersion(ctypes.byref(model), *[ctypes.byref(v) for v in version]),
              "KVReadModelVersion")
        self._model = model.value
        return model.value, tuple(v.value for v in version)

    @property
    def model_code(self) -> int:
        """The analyser's model code (read once, then remembered)."""
        if self._model is None:
            self._model_version()
        assert self._model is not None
        return self._model

    def info(self) -> AnalyserInfo:
        model, version = self._model_version()
        protocol = [ctypes.c_uint8() for _ in range(3)]
        check(self._lib.KVReadProtocolInfo(*[ctypes.byref(p) for p in protocol]), "KVReadProtocolInfo")
        serial = ctypes.c_uint32()
        check(self._lib.KVReadSerialNumber(ctypes.byref(serial)), "KVReadSerialNumber")
        printer = self.printer_address
        now, calibrated = ctypes.c_int64(), ctypes.c_int64()
        check(self._lib.KVReadCurrentTime(ctypes.byref(now), -1), "KVReadCurrentTime")
        check(self._lib.KVReadCalibrationTime(ctypes.byref(calibrated)), "KVReadCalibrationTime")
        try:
            name = model_name(model)
        except KorvantaError:  # a model outside the catalogue: the library names it "Unknown" too
            name = "Unknown"
        return AnalyserInfo(model, device_family(model), name, version,  # type: ignore[arg-type]
                            tuple(p.value for p in protocol),  # type: ignore[arg-type]
                            serial.value, printer, time_of(now.value), time_of(calibrated.value))

    def download(self, progress: Optional[Progress] = None) -> List[Union[KVTestRecord, CXTestRecord]]:
        """The stored tests: KVTestRecord for a human analyser, CXTestRecord for an equine one. These are
        the slots before the first empty one, then any later slot that is not empty. progress(done,
        total) is called with (0, 1) as the block is asked for and (1, 1) when it is in: the library
        reports no byte count. Each test's slot is in .slots afterwards (calculate_rows takes them)."""
        equine = is_equine(self.model_code)
        stored = CCXStoredTests() if equine else CKVStoredTests()
        stored.capacity = STORED_TEST_CAPACITY
        if progress:
            progress(0, 1)
        call = self._lib.CXReadStoredTestData if equine else self._lib.KVReadStoredTestData
        check(call(ctypes.byref(stored)), call.__name__)
        if progress:
            progress(1, 1)
        count = max(0, min(stored.testCount, STORED_TEST_CAPACITY))
        record_type = CXTestRecord if equine else KVTestRecord
        self.slots = [slot for slot, record in enumerate(stored.tests) if slot < count or not _all_zero(record)]
        return [from_c(record_type, stored.tests[slot]) for slot in self.slots]

    def set_clock(self, when: Optional[datetime] = None) -> None:
        """Sets the analyser's clock to when (a naive datetime is this computer's local time), or to
        the computer's present time."""
        if when is None:
            check(self._lib.KVWriteCurrentTime(), "KVWriteCurrentTime")
        else:
            check(self._lib.KVWriteCurrentTimeAs(time_value(when)), "KVWriteCurrentTimeAs")

    def read_clock(self) -> Optional[datetime]:
        now = ctypes.c_int64()
        check(self._lib.KVReadCurrentTime(ctypes.byref(now), -1), "KVReadCurrentTime")
        return time_of(now.value)

    def read_single_test(self) -> SingleTest:
        if is_equine(self.model_code):
            ints, floats = [ctypes.c_int32() for _ in range(7)], [ctypes.c_float()]
            call = self._lib.CXReadTestCaballix
        else:
            ints, floats = [ctypes.c_int32() for _ in range(5)], [ctypes.c_float() for _ in range(2)]
            call = self._lib.KVReadTestKorvanta
        check(call(*[ctypes.byref(v) for v in ints + floats]), call.__name__)
        return SingleTest(tuple(v.value for v in ints), tuple(v.value for v in floats))

    @property
    def printer_address(self) -> str:
        buffer = _library.wide_buffer(PRINTER_ADDRESS_LENGTH)
        check(self._lib.KVReadPrinterAddress(buffer, len(buffer)), "KVReadPrinterAddress")
        return _library.text_of(buffer, PRINTER_ADDRESS_LENGTH)

    @printer_address.setter
    def printer_address(self, address: str) -> None:
        if len(address) != PRINTER_ADDRESS_LENGTH:
            raise ValueError(f"a printer address has {PRINTER_ADDRESS_LENGTH} characters, not {len(address)}")
        check(self._lib.KVWritePrinterAddress(_library.wide_text(address), PRINTER_ADDRESS_LENGTH),
              "KVWritePrinterAddress")


def bluetooth_available() -> bool:
    """True if the computer has a Bluetooth radio (builds without a Bluetooth backend: False)."""
    return bool(_library.load().KVIsBTAvailable())


def bluetooth_stack_info() -> Optional[str]:
    """The Bluetooth stack's three-line description, or None with no radio."""
    buffer = _library.wide_buffer(1024)
    return _library.text_of(buffer) if _library.load().KVGetBTStackInfo(buffer, len(buffer)) else None
