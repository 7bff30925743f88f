# _records.py: the library's records as dataclasses with the C header's field names, and their ctypes
# twins, built from the dataclasses' fields so that each record's field list is written once.
# Times are timezone-aware datetimes (None for the library's -1, no time); floats hold float32 values.
from __future__ import annotations

import ctypes
import dataclasses
from dataclasses import dataclass, field
from datetime import datetime, timezone
from typing import Any, Dict, List, Optional, Type

NO_TIME = -1
STORED_TEST_CAPACITY = 100


@dataclass
class KVSpectrumPoint:
    frequency: float = 0.0
    magnitude: float = 0.0
    phase: float = 0.0


@dataclass
class KVTestRecord:
    """One human test. spectrum holds the points read by Polytrace-family calculations;
    spectrumCount is its length."""

    modelCode: int = 0
    serialNumber: int = 0
    testTime: Optional[datetime] = None
    sex: int = 0
    age: int = 0
    height: int = 0
    weight: float = 0.0
    activityLevel: int = 0
    waist: int = 0
    hip: int = 0
    impedanceF1: int = 0
    impedanceF2: int = 0
    impedanceF3: int = 0
    impedanceF4: int = 0
    resistance: int = 0
    decimalReading1: float = 0.0
    decimalReading2: float = 0.0
    spectrum: List[KVSpectrumPoint] = field(default_factory=list)

    @property
    def spectrumCount(self) -> int:
        return len(self.spectrum)


@dataclass
class KVResults:
    fatPercent: float = 0.0
    fatKg: float = 0.0
    leanPercent: float = 0.0
    leanKg: float = 0.0
    totalWeight: float = 0.0
    dryLeanKg: float = 0.0
    tbwPercent: float = 0.0
    tbwLitres: float = 0.0
    ecwPercent: float = 0.0
    ecwLitres: float = 0.0
    icwPercent: float = 0.0
    icwLitres: float = 0.0
    bodyCellMass: float = 0.0
    tbwDifference: float = 0.0
    ecwTbwRatio: float = 0.0
    impedanceRatioF4F1: float = 0.0
    bmrKcal: float = 0.0
    bmrPerKg: float = 0.0
    energyRequirementKcal: float = 0.0
    bmi: float = 0.0
    fatMassIndex: float = 0.0
    leanMassIndex: float = 0.0
    waistHipRatio: float = 0.0
    impedanceRatioF2F1: float = 0.0
    ecwRegressionLitres: float = 0.0
    tbwRegressionLitres: float = 0.0
    overhydrationLitres: float = 0.0
    skeletalMuscleKg: float = 0.0
    membraneCapacitance: float = 0.0
    resistanceZero: float = 0.0
    resistanceIntracellular: float = 0.0
    characteristicFrequency: float = 0.0
    alpha: float = 0.0


@dataclass
class KVNormals:
    fatPercentLow: int = 0
    fatPercentHigh: int = 0
    fatKgLow: int = 0
    fatKgHigh: int = 0
    leanPercentLow: int = 0
    leanPercentHigh: int = 0
    leanKgLow: int = 0
    leanKgHigh: int = 0
    targetWeightLow: int = 0
    targetWeightHigh: int = 0
    targetWeightFromBmi: int = 0
    tbwPercentLow: int = 0
    tbwPercentHigh: int = 0
    tbwLitresLow: int = 0
    tbwLitresHigh: int = 0
    ecwPercentNormal: int = 0
    icwPercentNormal: int = 0
    fatMassIndexLow: int = 0
    fatMassIndexHigh: int = 0
    leanMassIndexLow: int = 0
    leanMassIndexHigh: int = 0
    ecwTbwRatioNormal: float = 0.0
    impedanceRatioF4F1Low: float = 0.0
    impedanceRatioF4F1High: float = 0.0
    bmiLow: int = 0
    bmiHigh: int = 0
    waistHipRatioMax: float = 0.0
    impedanceRatioF2F1Low: float = 0.0
    impedanceRatioF2F1High: float = 0.0


@dataclass
class CXTestRecord:
    """One equine test."""

    modelCode: int = 0
    serialNumber: int = 0
    testTime: Optional[datetime] = None
    height: int = 0
    conditionScore: int = 0
    impedance5: int = 0
    impedance16: int = 0
    impedance24: int = 0
    impedance50: int = 0
    impedance140: int = 0
    impedance200: int = 0
    impedance280: int = 0
    decimalReading: float = 0.0


@dataclass
class CXResults:
    fatKg: float = 0.0
    bodyMassKg: float = 0.0
    estimatedWeightKg: float = 0.0
    fatPercent: float = 0.0
    tbwLitres: float = 0.0
    tbwPercent: float = 0.0
    ecwLitres: float = 0.0
    ecwPerKg: float = 0.0
    ecwPercentTbw: float = 0.0
    icwLitres: float = 0.0
    icwPerKg: float = 0.0
    icwPercentTbw: float = 0.0
    ecwFractionLitres: float = 0.0
    ecwFractionPercent: float = 0.0
    impedanceRatio280To5: float = 0.0


@dataclass
class CXNormals:
    fatKgLow: int = 0
    fatKgHigh: int = 0
    fatPercentLow: int = 0
    fatPercentHigh: int = 0
    tbwLitresLow: int = 0
    tbwLitresHigh: int = 0
    tbwPercentLow: int = 0
    tbwPercentHigh: int = 0
    ecwLitresLow: int = 0
    ecwLitresHigh: int = 0
    ecwPerKgLow: int = 0
    ecwPerKgHigh: int = 0
    ecwPercentTbwLow: int = 0
    ecwPercentTbwHigh: int = 0
    icwLitresLow: int = 0
    icwLitresHigh: int = 0
    icwPerKgLow: int = 0
    icwPerKgHigh: int = 0
    icwPercentTbwLow: int = 0
    icwPercentTbwHigh: int = 0
    ecwFractionLitresLow: int = 0
    ecwFractionLitresHigh: int = 0
    ecwFractionPercentLow: int = 0
    ecwFractionPercentHigh: int = 0


# ---- ctypes twins -----------------------------------------------------------------------------

_SPECIAL_TYPES: Dict[str, Any] = {"serialNumber": ctypes.c_uint32, "testTime": ctypes.c_int64}


def _c_type(f: dataclasses.Field) -> Any:
    if f.name in _SPECIAL_TYPES:
        return _SPECIAL_TYPES[f.name]
    return ctypes.c_float if f.type in ("float", float) else ctypes.c_int32


def _twin(record: type, extra: Optional[list] = None) -> Type[ctypes.Structure]:
    fields = [(f.name, _c_type(f)) for f in dataclasses.fields(record) if f.name != "spectrum"]
    return type("C" + record.__name__, (ctypes.Structure,), {"_fields_": fields + (extra or [])})


CKVSpectrumPoint = _twin(KVSpectrumPoint)
CKVTestRecord = _twin(
    KVTestRecord, [("spectrumCount", ctypes.c_int32), ("spectrum", ctypes.POINTER(CKVSpectrumPoint))]
)
CKVResults = _twin(KVResults)
CKVNormals = _twin(KVNormals)
CCXTestRecord = _twin(CXTestRecord)
CCXResults = _twin(CXResults)
CCXNormals = _twin(CXNormals)


def _stored(record: Type[ctypes.Structure]) -> Type[ctypes.Structure]:
    fields = [("capacity", ctypes.c_int32), ("tests", record * STORED_TEST_CAPACITY),
              ("testCount", ctypes.c_int32), ("blockHeader", ctypes.c_uint32)]
    return type("C" + record.__name__[1:].replace("TestRecord", "StoredTests"), (ctypes.Structure,),
                {"_fields_": fields})


CKVStoredTests = _stored(CKVTestRecord)
CCXStoredTests = _stored(CCXTestRecord)

TWINS: Dict[type, Type[ctypes.Structure]] = {
    KVSpectrumPoint: CKVSpectrumPoint, KVTestRecord: CKVTestRecord, KVResults: CKVResults,
    KVNormals: CKVNormals, CXTestRecord: CCXTestRecord, CXResults: CCXResults, CXNormals: CCXNormals,
}


def time_value(when: Optional[datetime]) -> int:
    return NO_TIME if when is None else int(when.timestamp())


def time_of(seconds: int) -> Optional[datetime]:
    if seconds == NO_TIME:
        return None
    try:
        return datetime.fromtimestamp(seconds, timezone.utc)
    except (OverflowError, OSError, ValueError):
        return None


def to_c(record: Any) -> ctypes.Structure:
    """The ctypes twin of a dataclass record. A human test's spectrum array is kept on the returned
    structure (as _spectrum_points) so that it lives as long as the structure."""
    c = TWINS[type(record)]()
    for name, _ in c._fields_:
        if name == "spectrum" or name == "spectrumCount":
            continue
        value = getattr(record, name)
        setattr(c, name, time_value(value) if name == "testTime" else value)
    if isinstance(record, KVTestRecord) and record.spectrum:
        points = (CKVSpectrumPoint * len(record.spectrum))(
            *[CKVSpectrumPoint(p.frequency, p.magnitude, p.phase) for p in record.spectrum]
        )
        c.spectrumCount = len(record.spectrum)
        c.spectrum = ctypes.cast(points, ctypes.POINTER(CKVSpectrumPoint))
        c._spectrum_points = points
    return c


def from_c(record_type: type, c: ctypes.Structure) -> Any:
    values = {}
    for f in dataclasses.fields(record_type):
        if f.name == "spectrum":
            count = getattr(c, "spectrumCount", 0)
            pointer = getattr(c, "spectrum", None)
            values["spectrum"] = (
                [KVSpectrumPoint(p.frequency, p.magnitude, p.phase) for p in pointer[:count]] if pointer else []
            )
        elif f.name == "testTime":
            values[f.name] = time_of(c.testTime)
        else:
            values[f.name] = getattr(c, f.name)
    return record_type(**values)


def field_names(record_type: type) -> List[str]:
    """The record's C field names in order (a human test's spectrumCount included, spectrum not)."""
    return [name for name, _ in TWINS[record_type]._fields_ if name != "spectrum"]


class CKVPortInfo(ctypes.Structure):
    """KVPortInfo of KorvantaSession.h: one serial port as the system describes it (UTF-16 texts)."""

    _fields_ = [("name", ctypes.c_uint16 * 64), ("description", ctypes.c_uint16 * 128),
                ("transport", ctypes.c_int32), ("usbVendorId", ctypes.c_int32), ("usbProductId", ctypes.c_int32),
                ("usbSerialNumber", ctypes.c_uint16 * 64), ("manufacturer", ctypes.c_uint16 * 64),
                ("product", ctypes.c_uint16 * 64), ("bluetoothAddress", ctypes.c_uint16 * 18)]


assert ctypes.sizeof(CKVPortInfo) == 816, "KVPortInfo is 816 bytes in KorvantaSession.h"
