# _analyser.py: one analyser on a serial port through a session of its own (KorvantaSession.h): opens
# the port, waits for the analyser's handshake, runs the commands and closes the port again. Any number
# of Analysers work at once, each on its own thread; cancel() works from any thread.
from __future__ import annotations

import ctypes
import os
import threading
from dataclasses import dataclass
from datetime import datetime
from typing import IO, Any, Callable, List, Optional, Sequence, Tuple, Union

from . import _library
from ._calc import device_family, is_equine, model_name
from ._errors import KorvantaError, error_for
from ._records import (CCXStoredTests, CKVStoredTests, CXTestRecord, KVTestRecord, STORED_TEST_CAPACITY,
                       from_c, time_of, time_value)

PRINTER_ADDRESS_LENGTH = 12
ERROR_TEXT_CAPACITY = 512
Progress = Callable[[int, int], Optional[bool]]
Trace = Callable[[str, bytes, float], None]


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


class _Callbacks:
    """The session's progress and trace callbacks as the library calls them. Kept apart from the
    Analyser, so that the ctypes callback objects, which must live as long as the session, hold no
    reference to it. An exception raised by a callable cancels the session (the library cannot pass
    it on) and is raised again when the call returns."""

    def __init__(self, port: str, trace: Union[None, Trace, str, os.PathLike, IO[str]]) -> None:
        self.progress: Optional[Progress] = None
        self.error: Optional[BaseException] = None
        self._file: Optional[IO[str]] = None
        self._owned = False
        self._trace: Optional[Trace] = None
        if isinstance(trace, (str, os.PathLike)):
            self._file, self._owned = open(trace, "a", encoding="utf-8", buffering=1), True
        elif hasattr(trace, "write"):
            self._file = trace  # type: ignore[assignment]
        else:
            self._trace = trace
        self._port = port
        self.on_progress = _library.PROGRESS_CALLBACK(self._on_progress)
        self.on_trace = _library.TRACE_CALLBACK(self._on_trace)
        self.traced = self._trace is not None or self._file is not None

    def _on_progress(self, _user: Any, done: int, total: int) -> int:
        try:
            return 1 if self.progress is not None and self.progress(done, total) is True else 0
        except BaseException as error:  # noqa: B902 - even KeyboardInterrupt must reach the caller
            self.error = error
            return 1

    def _on_trace(self, _user: Any, direction: int, data: Any, count: int, microseconds: int) -> None:
        try:
            chunk = ctypes.string_at(data, count)
            if self._trace is not None:
                self._trace("sent" if direction == 1 else "received", chunk, microseconds / 1e6)
            elif self._file is not None:
                # The `korvanta` tool's trace lines: time since the open, port, > sent or < received.
                self._file.write(f"+{microseconds / 1e6:10.6f} s  {self._port}  {'>' if direction == 1 else '<'} "
                                 f"{chunk.hex(' ').upper()}\n")
        except BaseException as error:  # noqa: B902
            self.error = self.error or error

    def close(self) -> None:
        if self._owned and self._file is not None:
            self._file.close()


class Analyser:
    """with Analyser(port) as analyser: ... opens port (a device path, or a COM port number on Windows;
    "auto": the one port where list_ports(probe=True) finds an analyser) in a session of its own, waits
    for the handshake (up to 60 s, while the analyser is switched on) and closes the port on leaving.

    trace: a callable(direction, data, seconds) given every run of bytes on the line ("sent" or
    "received", the bytes, seconds since the open), or a path or writable text file that gets a line
    for each. timeouts: (handshake, reply silence) in milliseconds, 0 for the library's default.
    probe_ports: with "auto", the port names to probe instead of the system's list."""

    def __init__(self, port: str, *, trace: Union[None, Trace, str, os.PathLike, IO[str]] = None,
                 timeouts: Optional[Tuple[int, int]] = None, probe_ports: Optional[Sequence[str]] = None) -> None:
        self.port = port
        self._lib = _library.load()
        self._trace = trace
        self._timeouts = timeouts
        self._probe_ports = probe_ports
        self._model: Optional[int] = None
        self._session: Optional[ctypes.c_void_p] = None
        self._callbacks: Optional[_Callbacks] = None
        self._cancelled = False
        self._calls = 0
        self._state = threading.Condition()
        self.slots: List[int] = []  # the analyser's slot of each test of the latest download

    def __enter__(self) -> "Analyser":
        return self.open()

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        if getattr(self, "_session", None) is not None:
            self.close()

    def open(self) -> "Analyser":
        """Opens the port and waits for the analyser's handshake (what `with` does on entering)."""
        if self._session is not None:
            raise RuntimeError(f"{self.port} is open already")
        if self.port == "auto":
            from ._ports import the_one_analyser
            self.port = the_one_analyser(self._probe_ports).name
        session = ctypes.c_void_p()
        rc = self._lib.KVSessionOpen(_library.wide_text(self.port), ctypes.byref(session))
        if rc < 0:
            text = _library.wide_buffer(ERROR_TEXT_CAPACITY)
            self._lib.KVSessionGetOpenError(text, len(text))
            raise error_for(rc, "KVSessionOpen", _library.text_of(text))
        callbacks = _Callbacks(self.port, self._trace)
        with self._state:
            self._session, self._callbacks = session, callbacks
            if self._cancelled:  # a cancel that came before the session is not lost
                self._lib.KVSessionCancel(session)
        try:
            self._call("KVSessionSetProgress", callbacks.on_progress, None)
            if callbacks.traced:
                self._call("KVSessionSetTrace", callbacks.on_trace, None)
            if self._timeouts is not None:
                self._call("KVSessionSetTimeouts", *self._timeouts)
            self._call("KVSessionConnect")
        except BaseException:
            self.close()
            raise
        return self

    def close(self) -> None:
        """Cancels what runs on the session, waits for it to return and closes the port (any thread)."""
        with self._state:
            session, callbacks, self._session = self._session, self._callbacks, None
            if session is None:
                return
            self._lib.KVSessionCancel(session)
            self._state.wait_for(lambda: self._calls == 0)
        self._lib.KVSessionClose(session)
        callbacks.close()  # type: ignore[union-attr]

    def cancel(self) -> None:
        """From any thread: the call in flight raises CancelledError within about 50 ms, and so does
        every later one; only leaving the `with` block (close) remains. A cancel before the port is
        open makes the open fail."""
        with self._state:
            self._cancelled = True
            if self._session is not None:
                self._lib.KVSessionCancel(self._session)

    def _call(self, name: str, *args: Any) -> None:
        """Runs a session export; a failure raises its KorvantaError with the session's words."""
        with self._state:
            session, callbacks = self._session, self._callbacks
            if session is None:
                raise RuntimeError(f"{self.port} is not open: use `with Analyser(...)` or open()")
            self._calls += 1
        try:
            rc = getattr(self._lib, name)(session, *args)
            if rc < 0:
                if callbacks is not None and callbacks.error is not None:
                    raise callbacks.error
                text = _library.wide_buffer(ERROR_TEXT_CAPACITY)
                self._lib.KVSessionGetLastError(session, text, len(text))
                raise error_for(rc, name, _library.text_of(text))
        finally:
            with self._state:
                self._calls -= 1
                self._state.notify_all()

    def _model_version(self) -> Tuple[int, Tuple[int, ...]]:
        model = ctypes.c_int32()
        version = [ctypes.c_uint8() for _ in range(5)]
        self._call("KVSessionReadModelVersion", ctypes.byref(model), *[ctypes.byref(v) for v in version])
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
        self._call("KVSessionReadProtocolInfo", *[ctypes.byref(p) for p in protocol])
        serial = self.serial_number
        printer = self.printer_address
        now, calibrated = ctypes.c_int64(), ctypes.c_int64()
        self._call("KVSessionReadCurrentTime", ctypes.byref(now), -1)
        self._call("KVSessionReadCalibrationTime", ctypes.byref(calibrated))
        try:
            name = model_name(model)
        except KorvantaError:  # a model outside the catalogue: the library names it "Unknown" too
            name = "Unknown"
        return AnalyserInfo(model, device_family(model), name, version,  # type: ignore[arg-type]
                            tuple(p.value for p in protocol),  # type: ignore[arg-type]
                            serial, printer, time_of(now.value), time_of(calibrated.value))

    def download(self, progress: Optional[Progress] = None) -> List[Union[KVTestRecord, CXTestRecord]]:
        """The stored tests: KVTestRecord for a human analyser, CXTestRecord for an equine one. These are
        the slots before the first empty one, then any later slot that is not empty. progress(done,
        total) is called on this thread with the block's bytes as they arrive (at least every 64, and
        (3200, 3200) at the end); returning True cancels, as cancel() does. Each test's slot is in
        .slots afterwards (calculate_rows takes them)."""
        equine = is_equine(self.model_code)
        stored = CCXStoredTests() if equine else CKVStoredTests()
        stored.capacity = STORED_TEST_CAPACITY
        assert self._callbacks is not None
        self._callbacks.progress = progress
        try:
            self._call("CXSessionReadStoredTestData" if equine else "KVSessionReadStoredTestData",
                       ctypes.byref(stored))
        finally:
            self._callbacks.progress = None
        count = max(0, min(stored.testCount, STORED_TEST_CAPACITY))
        record_type = CXTestRecord if equine else KVTestRecord
        self.slots = [slot for slot, record in enumerate(stored.tests) if slot < count or not _all_zero(record)]
        return [from_c(record_type, stored.tests[slot]) for slot in self.slots]

    def set_clock(self, when: Optional[datetime] = None) -> None:
        """Sets the analyser's clock to when (a naive datetime is this computer's local time), or to
        the computer's present time."""
        if when is None:
            self._call("KVSessionWriteCurrentTime")
        else:
            self._call("KVSessionWriteCurrentTimeAs", time_value(when))

    def read_clock(self) -> Optional[datetime]:
        now = ctypes.c_int64()
        self._call("KVSessionReadCurrentTime", ctypes.byref(now), -1)
        return time_of(now.value)

    def read_single_test(self) -> SingleTest:
        if is_equine(self.model_code):
            ints, floats = [ctypes.c_int32() for _ in range(7)], [ctypes.c_float()]
            call = "CXSessionReadTestCaballix"
        else:
            ints, floats = [ctypes.c_int32() for _ in range(5)], [ctypes.c_float() for _ in range(2)]
            call = "KVSessionReadTestKorvanta"
        self._call(call, *[ctypes.byref(v) for v in ints + floats])
        return SingleTest(tuple(v.value for v in ints), tuple(v.value for v in floats))

    @property
    def serial_number(self) -> int:
        serial = ctypes.c_uint32()
        self._call("KVSessionReadSerialNumber", ctypes.byref(serial))
        return serial.value

    @property
    def printer_address(self) -> str:
        buffer = _library.wide_buffer(PRINTER_ADDRESS_LENGTH)
        self._call("KVSessionReadPrinterAddress", buffer, len(buffer))
        return _library.text_of(buffer, PRINTER_ADDRESS_LENGTH)

    @printer_address.setter
    def printer_address(self, address: str) -> None:
        if len(address) != PRINTER_ADDRESS_LENGTH:
            raise ValueError(f"a printer address has {PRINTER_ADDRESS_LENGTH} characters, not {len(address)}")
        self._call("KVSessionWritePrinterAddress", _library.wide_text(address), PRINTER_ADDRESS_LENGTH)


def bluetooth_available() -> bool:
    """True if the computer has a Bluetooth radio (builds without a Bluetooth backend: False)."""
    return bool(_library.load().KVIsBTAvailable())


def bluetooth_stack_info() -> Optional[str]:
    """The Bluetooth stack's three-line description, or None with no radio."""
    buffer = _library.wide_buffer(1024)
    return _library.text_of(buffer) if _library.load().KVGetBTStackInfo(buffer, len(buffer)) else None
