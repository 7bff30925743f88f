# _ports.py: the computer's serial ports (KVListPorts) as records, and the probe that tells which of
# them have an analyser behind them: every port at once, a session and a thread each. A probe only
# listens until the analyser's handshake byte comes; nothing is written to a port before it.
from __future__ import annotations

import ctypes
import threading
from dataclasses import dataclass
from typing import List, Optional, Sequence

from . import _library
from ._analyser import Analyser
from ._calc import model_name
from ._errors import KorvantaError
from ._records import CKVPortInfo

TRANSPORTS = ("native", "usb", "bluetooth", "other")
# An analyser sends its handshake byte within a fraction of a second of the port opening; once it
# has spoken it answers within milliseconds, so half a second of silence means no answer.
PROBE_TIMEOUTS = (2000, 500)


@dataclass
class ProbedAnalyser:
    modelCode: int
    serialNumber: int

    def __str__(self) -> str:
        try:
            name = model_name(self.modelCode)
        except KorvantaError:
            name = "Unknown"
        return f"{name} (modelCode {self.modelCode}), serialNumber {self.serialNumber}"


@dataclass
class PortInfo:
    """One serial port: the fields of KVPortInfo (transport as a word: native, usb, bluetooth or other;
    USB ids -1 when not USB), and after a probe the analyser found (None when none answered) and
    probeError, the library's words for what came instead."""

    name: str
    description: str = ""
    transport: str = "other"
    usbVendorId: int = -1
    usbProductId: int = -1
    usbSerialNumber: str = ""
    manufacturer: str = ""
    product: str = ""
    bluetoothAddress: str = ""
    analyser: Optional[ProbedAnalyser] = None
    probeError: Optional[str] = None


class AutoPortError(LookupError):
    """Analyser("auto") found no analyser, or more than one; .ports holds every port probed."""

    def __init__(self, ports: List[PortInfo]) -> None:
        self.ports = ports
        found = [p for p in ports if p.analyser is not None]
        if found:
            head = f"{len(found)} analysers found: name the one to use"
        else:
            head = f"no analyser answered on the {len(ports)} ports probed"
        lines = [f"  {p.name}: {p.analyser if p.analyser is not None else p.probeError}" for p in ports]
        super().__init__("\n".join([head] + lines))


def _listed() -> List[PortInfo]:
    library = _library.load()
    records = (CKVPortInfo * 0)()
    count = ctypes.c_int32()
    # Asked again while the list grows between the count and the copy.
    while True:
        rc = library.KVListPorts(records, len(records), ctypes.byref(count))
        if rc < 0 or count.value <= len(records):
            break
        records = (CKVPortInfo * count.value)()
    text = _library.text_of
    return [PortInfo(text(r.name), text(r.description), TRANSPORTS[r.transport] if 0 <= r.transport < 4 else "other",
                     r.usbVendorId, r.usbProductId, text(r.usbSerialNumber), text(r.manufacturer), text(r.product),
                     text(r.bluetoothAddress))
            for r in records[: max(0, count.value)]]


def _probe(port: PortInfo) -> None:
    try:
        with Analyser(port.name, timeouts=PROBE_TIMEOUTS) as analyser:
            port.analyser = ProbedAnalyser(analyser.model_code, analyser.serial_number)
    except KorvantaError as error:
        port.probeError = str(error)


def list_ports(probe: bool = False, ports: Optional[Sequence[str]] = None) -> List[PortInfo]:
    """The serial ports the system lists (USB adapters, Bluetooth serial ports, built-in UARTs with
    a device behind them), ordered by name. probe=True opens every port at once and sets .analyser
    where one answers within 2 s. ports: names to probe instead (pseudo-terminals, such as the
    simulator's, are in no system list); each keeps its listed record where the system has one."""
    listed = _listed()
    if ports is None:
        chosen = listed
    else:
        by_name = {p.name: p for p in listed}
        chosen = [by_name.get(name) or PortInfo(name) for name in ports]
    if probe:
        threads = [threading.Thread(target=_probe, args=(port,), daemon=True) for port in chosen]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    return chosen


def the_one_analyser(ports: Optional[Sequence[str]] = None) -> PortInfo:
    """The one port where a probe finds an analyser; AutoPortError, listing every port, otherwise."""
    probed = list_ports(probe=True, ports=ports)
    found = [p for p in probed if p.analyser is not None]
    if len(found) != 1:
        raise AutoPortError(probed)
    return found[0]
