"""korvanta: Korvanta body-composition analysers from Python, over the C library (ctypes; no compiled
extension, so the same package runs with libKorvantaSDK.so and with KorvantaSDK.dll).

Finding the library
    1. the variable KORVANTA_SDK_LIBRARY, a path (if set, nothing else is tried);
    2. an installed library: the system loader's search for KorvantaSDK, then /usr/local/lib,
       /usr/lib/x86_64-linux-gnu, /usr/lib64, /usr/lib (Windows: the folders of PATH);
    3. run from a checkout: build/dev/lib, build/release/lib, then the other build/*/lib
       (Windows: build/*/bin/KorvantaSDK.dll).
    Nothing found raises LibraryNotFoundError, whose message and .searched list every place tried.
    The library is loaded on first use, so importing korvanta never fails for want of it.

An analyser (a session of its own: any number at once, each on its own thread)
    with korvanta.Analyser("/dev/ttyUSB0") as analyser:   # opens, waits for the handshake, closes
        info = analyser.info()          # AnalyserInfo: modelCode, family, modelName, version (5),
                                        # protocol (3), serialNumber, printerAddress, currentTime,
                                        # calibrationTime
        tests = analyser.download(progress=lambda done, total: print(done, "of", total))
                                        # [KVTestRecord] or, from an equine analyser, [CXTestRecord];
                                        # progress in bytes on this thread, True from it cancels
        analyser.set_clock()            # the computer's time; set_clock(datetime) for another
        analyser.read_clock(); analyser.read_single_test(); analyser.serial_number
        analyser.printer_address = "0080E19D7475"
    analyser.cancel()                   # any thread: the call in flight raises CancelledError
    Analyser(port, trace=print_or_path_or_file, timeouts=(handshake_ms, reply_silence_ms))
    Analyser("auto", probe_ports=None)  # the one analyser a probe finds; AutoPortError lists the
                                        # ports probed when there is none or more than one

Ports
    korvanta.list_ports()               # [PortInfo(name, description, transport, usbVendorId,
                                        # usbProductId, usbSerialNumber, manufacturer, product,
                                        # bluetoothAddress, analyser, probeError)]
    korvanta.list_ports(probe=True, ports=None)   # every port at once, 2 s: .analyser is a
                                        # ProbedAnalyser(modelCode, serialNumber) or None

Calculation
    results, normals = korvanta.calculate(test, water_equation=0)  # human or equine by record type
    korvanta.calculate_many(tests)      # [Calculation(results, normals)], the first refusal raises
    korvanta.device_family(7), korvanta.model_name(7), korvanta.model_name(7, short=True),
    korvanta.sdk_version(), korvanta.bluetooth_available(), korvanta.bluetooth_stack_info()

Files (the `korvanta` tool's CSV and JSON, which pass between the tool and Python unchanged)
    rows = korvanta.read("tests.csv")   # [Row(slot, test, resultsCode, results, normalsCode, normals)]
    korvanta.write_csv("out.csv", tests_or_rows, utc=False); korvanta.write_json("out.json", rows)
    korvanta.read_tests(path); korvanta.calculate_rows(tests)
    korvanta.to_dataframe(tests_or_rows)   # needs pandas, imported only then
    korvanta.to_fhir(tests_or_rows, subject=None, transaction=False, utc=False)
                                        # an HL7 FHIR R4 Bundle (JSON text), the one `korvanta export
                                        # --format fhir` writes; refused tests named on standard error

Arrays (numpy; the C records byte for byte, for many tests at once)
    tests = korvanta.read_array("tests.csv")   # or read_tests(path, as_array=True): CSV column by
                                        # column, JSON, or the tool's archive; korvanta.to_array(tests)
                                        # from dataclasses. dtype korvanta.KV_TEST or CX_TEST;
                                        # kind="human" or "equine" picks one from a file of both
    results, normals, codes = korvanta.calculate_many(tests, water_equation=0)
                                        # one KVCalculateMany / CXCalculateMany call: KV_RESULTS and
                                        # KV_NORMALS arrays (CX_...), codes 0 or the refusal's (zeros)
    korvanta.to_dataframe(tests)        # the frame to_dataframe gives for the same dataclasses
    The dtypes' sizes and offsets are checked against the ctypes records when they are first used.
    A human test's spectrum field is the address of its points, which the array's .spectra holds.

Errors
    Every negative result code raises a subclass of KorvantaError with .code, .name (KV_ERR_...),
    .meaning, .call (the export) and, from an analyser, .detail: the session's words for what was
    being done and what the port, the system or the analyser did (also in the message).
    WrongKindError (-1), WaterEquationError (-3), SexError (-4), AgeError (-5), HeightError (-6),
    WeightError (-7), ActivityError (-8), WaistError (-9), HipError (-10), ArgumentError (-18),
    PortOpenError (-50), PortQueuesError (-51), NoHandshakeError (-52), EchoError (-53),
    AckError (-54), ReceiveError (-55), SendError (-56), CancelledError (-57), BusyError (-58).
    The classes are made from the library's result-code table; korvanta.error_class(code) finds one.
    Bluetooth calls answer truth values and raise nothing.

Records (dataclasses; fields carry the C header's names; floats hold float32 values; times are
timezone-aware datetimes, None for no time)
    KVTestRecord: modelCode, serialNumber, testTime, sex, age, height, weight, activityLevel, waist,
        hip, impedanceF1, impedanceF2, impedanceF3, impedanceF4, resistance, decimalReading1,
        decimalReading2, spectrum ([KVSpectrumPoint(frequency, magnitude, phase)]), spectrumCount
        (read only: len(spectrum))
    KVResults: fatPercent, fatKg, leanPercent, leanKg, totalWeight, dryLeanKg, tbwPercent, tbwLitres,
        ecwPercent, ecwLitres, icwPercent, icwLitres, bodyCellMass, tbwDifference, ecwTbwRatio,
        impedanceRatioF4F1, bmrKcal, bmrPerKg, energyRequirementKcal, bmi, fatMassIndex,
        leanMassIndex, waistHipRatio, impedanceRatioF2F1, ecwRegressionLitres, tbwRegressionLitres,
        overhydrationLitres, skeletalMuscleKg, membraneCapacitance, resistanceZero,
        resistanceIntracellular, characteristicFrequency, alpha
    KVNormals: fatPercentLow/High, fatKgLow/High, leanPercentLow/High, leanKgLow/High,
        targetWeightLow/High, targetWeightFromBmi, tbwPercentLow/High, tbwLitresLow/High,
        ecwPercentNormal, icwPercentNormal, fatMassIndexLow/High, leanMassIndexLow/High,
        ecwTbwRatioNormal, impedanceRatioF4F1Low/High, bmiLow/High, waistHipRatioMax,
        impedanceRatioF2F1Low/High
    CXTestRecord: modelCode, serialNumber, testTime, height, conditionScore, impedance5, impedance16,
        impedance24, impedance50, impedance140, impedance200, impedance280, decimalReading
    CXResults: fatKg, bodyMassKg, estimatedWeightKg, fatPercent, tbwLitres, tbwPercent, ecwLitres,
        ecwPerKg, ecwPercentTbw, icwLitres, icwPerKg, icwPercentTbw, ecwFractionLitres,
        ecwFractionPercent, impedanceRatio280To5
    CXNormals: fatKgLow/High, fatPercentLow/High, tbwLitresLow/High, tbwPercentLow/High,
        ecwLitresLow/High, ecwPerKgLow/High, ecwPercentTbwLow/High, icwLitresLow/High,
        icwPerKgLow/High, icwPercentTbwLow/High, ecwFractionLitresLow/High, ecwFractionPercentLow/High
"""
from __future__ import annotations

from typing import Type

from ._analyser import Analyser, AnalyserInfo, SingleTest, bluetooth_available, bluetooth_stack_info
from ._calc import Calculation, calculate, calculate_many, device_family, is_equine, model_name, sdk_version
from ._errors import BY_CODE as _BY_CODE
from ._errors import KorvantaError, LibraryNotFoundError
from ._fhir import to_fhir
from ._files import Row, calculate_rows, read, read_tests, write_csv, write_json
from ._library import load as load_library
from ._library import locate as locate_library
from ._pandas import to_dataframe
from ._ports import AutoPortError, PortInfo, ProbedAnalyser, list_ports
from ._records import (CXNormals, CXResults, CXTestRecord, KVNormals, KVResults, KVSpectrumPoint,
                       KVTestRecord)

globals().update({cls.__name__: cls for cls in _BY_CODE.values()})

_ARRAY_NAMES = ("read_array", "to_array", "ArrayCalculation", "TestArray", "DTYPES", "SPECTRUM_POINT", "KV_TEST",
                "KV_RESULTS", "KV_NORMALS", "CX_TEST", "CX_RESULTS", "CX_NORMALS")


def __getattr__(name: str) -> object:
    """The array path's names, from a module that needs numpy: imported on first use."""
    if name in _ARRAY_NAMES:
        from . import _arrays
        return getattr(_arrays, name)
    raise AttributeError(f"module 'korvanta' has no attribute {name!r}")


def error_class(code: int) -> Type[KorvantaError]:
    """The KorvantaError subclass of a negative result code (KorvantaError itself for an unknown one)."""
    return _BY_CODE.get(code, KorvantaError)


__all__ = [
    "Analyser", "AnalyserInfo", "SingleTest", "AutoPortError", "PortInfo", "ProbedAnalyser", "list_ports",
    "Calculation", "Row", "KorvantaError", "LibraryNotFoundError",
    "KVTestRecord", "KVSpectrumPoint", "KVResults", "KVNormals", "CXTestRecord", "CXResults", "CXNormals",
    "calculate", "calculate_many", "calculate_rows", "device_family", "is_equine", "model_name",
    "sdk_version", "bluetooth_available", "bluetooth_stack_info", "read", "read_tests", "write_csv",
    "write_json", "to_fhir", "to_dataframe", "error_class", "load_library", "locate_library", *_ARRAY_NAMES,
    *[cls.__name__ for cls in _BY_CODE.values()],
]
