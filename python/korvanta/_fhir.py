# _fhir.py: calculated tests as one HL7 FHIR R4 Bundle, the same JSON `korvanta export --format fhir`
# writes (docs/fhir.md gives the layout; the tool's table is tools/cli/fhir/fhir_codes.cpp, and the
# package's tests hold this one to it).
from __future__ import annotations

import json
import math
import re
import sys
import uuid
from typing import Any, Dict, Iterable, List, NamedTuple, Optional, TextIO, Union

from . import _library
from ._calc import Test, sdk_version
from ._files import Row, _code_text, calculate_rows, float32, float_text, time_text
from ._records import CXTestRecord, field_names

LOINC = "http://loinc.org"
KIT = "https://fhir.korvanta.com/CodeSystem/body-composition"
UCUM = "http://unitsofmeasure.org"
_CATEGORY = "http://terminology.hl7.org/CodeSystem/observation-category"
_INTERPRETATION = "http://terminology.hl7.org/CodeSystem/v3-ObservationInterpretation"
_SERIAL = "https://fhir.korvanta.com/sid/serial-number"
_PROFILE = "http://hl7.org/fhir/StructureDefinition/"
# A reference a FHIR server resolves: Type/id, the same behind an http(s) base, or a urn:uuid.
_REFERENCE = re.compile(r"(https?://[^\s/]+(/[^\s/]+)*/)?[A-Z][A-Za-z]+/[A-Za-z0-9.-]{1,64}"
                        r"|urn:uuid:[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}")
_NAMESPACE = uuid.UUID("1b0c5d8e-6f2a-5c43-9e1d-4b7a2f3c8d90")

# Where a row's value comes from (as the tool's table says it).
HUMAN_TEST, HUMAN_RESULT, HUMAN_RAW, SPECTRUM = "HumanTest", "HumanResult", "HumanRaw", "HumanSpectrum"
EQUINE_RESULT, EQUINE_RAW, RAW_MEASUREMENT = "EquineResult", "EquineRaw", "RawMeasurement"
VITAL, EXAM = "vital-signs", "exam"


class _Row(NamedTuple):
    source: str
    key: str
    system: str
    code: str
    display: str
    unit: str  # UCUM; empty where the unit is the host's
    category: str
    profile: str  # the vital-signs profile's name, or empty
    definition: str  # of the kit's own concepts


CODE_TABLE = (
    _Row(HUMAN_RESULT, 'totalWeight', LOINC, '29463-7', 'Body weight', 'kg', VITAL, 'bodyweight',
         ''),
    _Row(HUMAN_TEST, 'height', LOINC, '8302-2', 'Body height', 'cm', VITAL, 'bodyheight',
         ''),
    _Row(HUMAN_RESULT, 'bmi', LOINC, '39156-5', 'Body mass index (BMI) [Ratio]', 'kg/m2', VITAL, 'bmi',
         ''),
    _Row(HUMAN_RESULT, 'fatPercent', LOINC, '41982-0', 'Percentage of body fat Measured', '%', EXAM, '',
         ''),
    _Row(HUMAN_RESULT, 'fatKg', LOINC, '73708-0', 'Body fat [Mass] Calculated', 'kg', EXAM, '',
         ''),
    _Row(HUMAN_RESULT, 'leanPercent', KIT, 'lean-mass-percent', 'Lean body mass percentage', '%', EXAM, '',
         'Lean (fat-free) body mass as a percentage of body weight, by bio-impedance.'),
    _Row(HUMAN_RESULT, 'leanKg', KIT, 'lean-mass', 'Lean body mass', 'kg', EXAM, '',
         'Lean (fat-free) body mass: body weight less body fat, by bio-impedance.'),
    _Row(HUMAN_RESULT, 'tbwPercent', LOINC, '101684-9', 'Percentage of body water', '%', EXAM, '',
         ''),
    _Row(HUMAN_RESULT, 'tbwLitres', KIT, 'total-body-water', 'Total body water', 'L', EXAM, '',
         'Volume of all water in the body, by bio-impedance.'),
    _Row(HUMAN_RESULT, 'ecwPercent', KIT, 'extracellular-water-percent', 'Extracellular water percentage', '%', EXAM, '',
         'Extracellular water volume, taken as mass, as a percentage of body weight.'),
    _Row(HUMAN_RESULT, 'ecwLitres', KIT, 'extracellular-water', 'Extracellular water', 'L', EXAM, '',
         'Volume of the water outside the cells, by bio-impedance.'),
    _Row(HUMAN_RESULT, 'icwPercent', KIT, 'intracellular-water-percent', 'Intracellular water percentage', '%', EXAM, '',
         'Intracellular water volume, taken as mass, as a percentage of body weight.'),
    _Row(HUMAN_RESULT, 'icwLitres', KIT, 'intracellular-water', 'Intracellular water', 'L', EXAM, '',
         'Volume of the water inside the cells: total body water less extracellular water.'),
    _Row(HUMAN_RESULT, 'ecwTbwRatio', KIT, 'extracellular-to-total-water-ratio', 'Extracellular to total body water ratio', '1', EXAM, '',
         'Extracellular water divided by total body water.'),
    _Row(HUMAN_RESULT, 'bodyCellMass', KIT, 'body-cell-mass', 'Body cell mass', 'kg', EXAM, '',
         'Mass of the metabolically active cells, from the intracellular water.'),
    _Row(HUMAN_RESULT, 'bmrKcal', KIT, 'basal-metabolic-rate', 'Basal metabolic rate', 'kcal/d', EXAM, '',
         'Energy spent a day at rest, from the lean body mass.'),
    _Row(HUMAN_RESULT, 'fatMassIndex', KIT, 'fat-mass-index', 'Fat mass index', 'kg/m2', EXAM, '',
         'Body fat mass divided by the square of body height.'),
    _Row(HUMAN_RESULT, 'leanMassIndex', KIT, 'lean-mass-index', 'Lean mass index', 'kg/m2', EXAM, '',
         'Lean body mass divided by the square of body height.'),
    _Row(HUMAN_RESULT, 'waistHipRatio', KIT, 'waist-to-hip-ratio', 'Waist-to-hip ratio', '1', EXAM, '',
         'Waist circumference divided by hip circumference.'),
    _Row(HUMAN_RESULT, 'impedanceRatioF4F1', KIT, 'impedance-ratio-high-to-5khz', 'Impedance ratio, highest frequency to 5 kHz', '1', EXAM, '',
         "Impedance at the analyser's highest frequency divided by the impedance at 5 kHz."),
    _Row(HUMAN_RESULT, 'impedanceRatioF2F1', KIT, 'impedance-ratio-50khz-to-5khz', 'Impedance ratio, 50 kHz to 5 kHz', '1', EXAM, '',
         'Impedance at 50 kHz divided by the impedance at 5 kHz.'),
    _Row(HUMAN_RAW, 'impedanceF1', KIT, 'impedance-5khz', 'Impedance at 5 kHz', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at 5 kHz."),
    _Row(HUMAN_RAW, 'impedanceF2', KIT, 'impedance-50khz', 'Impedance at 50 kHz', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at 50 kHz."),
    _Row(HUMAN_RAW, 'impedanceF3', KIT, 'impedance-third-frequency', 'Impedance at the third frequency', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at the analyser's third frequency."),
    _Row(HUMAN_RAW, 'impedanceF4', KIT, 'impedance-highest-frequency', 'Impedance at the highest frequency', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at the analyser's highest frequency."),
    _Row(HUMAN_RAW, 'resistance', KIT, 'resistance', 'Resistance', 'Ohm', EXAM, '',
         "Resistance, the real part of the body's impedance, as the analyser measures it."),
    _Row(SPECTRUM, 'frequency', KIT, 'spectrum-frequency', 'Spectrum point frequency', '', EXAM, '',
         "Frequency of one point of an impedance spectrum, in the host's unit; the magnitude and phase components that follow belong to it."),
    _Row(SPECTRUM, 'magnitude', KIT, 'spectrum-impedance', 'Spectrum point impedance', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at the frequency of the component before it."),
    _Row(SPECTRUM, 'phase', KIT, 'spectrum-phase-angle', 'Spectrum point phase angle', 'deg', EXAM, '',
         "Phase angle of the body's impedance at the frequency of the components before it."),
    _Row(EQUINE_RESULT, 'fatKg', KIT, 'equine-fat-mass', 'Equine body fat mass', 'kg', EXAM, '',
         'Body fat mass of a horse, by bio-impedance.'),
    _Row(EQUINE_RESULT, 'bodyMassKg', KIT, 'equine-body-mass', 'Equine body mass', 'kg', EXAM, '',
         'Body mass of a horse, by bio-impedance.'),
    _Row(EQUINE_RESULT, 'estimatedWeightKg', KIT, 'equine-estimated-weight', 'Equine estimated weight', 'kg', EXAM, '',
         'Weight of a horse estimated from its height.'),
    _Row(EQUINE_RESULT, 'fatPercent', KIT, 'equine-fat-percent', 'Equine body fat percentage', '%', EXAM, '',
         'Body fat mass of a horse as a percentage of its body mass.'),
    _Row(EQUINE_RESULT, 'tbwLitres', KIT, 'equine-total-body-water', 'Equine total body water', 'L', EXAM, '',
         "Volume of all water in a horse's body."),
    _Row(EQUINE_RESULT, 'tbwPercent', KIT, 'equine-total-body-water-percent', 'Equine total body water percentage', '%', EXAM, '',
         'Total body water of a horse, taken as mass, as a percentage of its body mass.'),
    _Row(EQUINE_RESULT, 'ecwLitres', KIT, 'equine-extracellular-water', 'Equine extracellular water', 'L', EXAM, '',
         "Volume of the water outside a horse's cells."),
    _Row(EQUINE_RESULT, 'ecwPerKg', KIT, 'equine-extracellular-water-per-kg', 'Equine extracellular water per kilogram', 'L/kg', EXAM, '',
         'Extracellular water of a horse per kilogram of body mass.'),
    _Row(EQUINE_RESULT, 'ecwPercentTbw', KIT, 'equine-extracellular-water-percent-tbw', 'Equine extracellular water percentage of total body water', '%', EXAM, '',
         'Extracellular water of a horse as a percentage of its total body water.'),
    _Row(EQUINE_RESULT, 'icwLitres', KIT, 'equine-intracellular-water', 'Equine intracellular water', 'L', EXAM, '',
         "Volume of the water inside a horse's cells."),
    _Row(EQUINE_RESULT, 'icwPerKg', KIT, 'equine-intracellular-water-per-kg', 'Equine intracellular water per kilogram', 'L/kg', EXAM, '',
         'Intracellular water of a horse per kilogram of body mass.'),
    _Row(EQUINE_RESULT, 'icwPercentTbw', KIT, 'equine-intracellular-water-percent-tbw', 'Equine intracellular water percentage of total body water', '%', EXAM, '',
         'Intracellular water of a horse as a percentage of its total body water.'),
    _Row(EQUINE_RESULT, 'ecwFractionLitres', KIT, 'equine-extracellular-fraction', 'Equine extracellular fluid fraction', 'L', EXAM, '',
         "The part of a horse's extracellular water the analyser's fraction equation gives."),
    _Row(EQUINE_RESULT, 'ecwFractionPercent', KIT, 'equine-extracellular-fraction-percent', 'Equine extracellular fluid fraction percentage', '%', EXAM, '',
         'The extracellular fraction of a horse as a percentage of its extracellular water.'),
    _Row(EQUINE_RESULT, 'impedanceRatio280To5', KIT, 'equine-impedance-ratio-280khz-to-5khz', 'Equine impedance ratio, 280 kHz to 5 kHz', '1', EXAM, '',
         'Impedance of a horse at 280 kHz divided by its impedance at 5 kHz.'),
    _Row(EQUINE_RAW, 'impedance5', KIT, 'impedance-5khz', 'Impedance at 5 kHz', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at 5 kHz."),
    _Row(EQUINE_RAW, 'impedance16', KIT, 'impedance-16khz', 'Impedance at 16 kHz', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at 16 kHz."),
    _Row(EQUINE_RAW, 'impedance24', KIT, 'impedance-24khz', 'Impedance at 24 kHz', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at 24 kHz."),
    _Row(EQUINE_RAW, 'impedance50', KIT, 'impedance-50khz', 'Impedance at 50 kHz', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at 50 kHz."),
    _Row(EQUINE_RAW, 'impedance140', KIT, 'impedance-140khz', 'Impedance at 140 kHz', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at 140 kHz."),
    _Row(EQUINE_RAW, 'impedance200', KIT, 'impedance-200khz', 'Impedance at 200 kHz', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at 200 kHz."),
    _Row(EQUINE_RAW, 'impedance280', KIT, 'impedance-280khz', 'Impedance at 280 kHz', 'Ohm', EXAM, '',
         "Magnitude of the body's impedance at 280 kHz."),
    _Row(RAW_MEASUREMENT, '', KIT, 'bioimpedance-measurement', 'Bio-impedance measurement', '', EXAM, '',
         "The impedances an analyser measured in one test, each a component, from which the test's results are calculated."),
)


def _number(value: Any) -> Optional[Union[int, float]]:
    """The JSON number the tool writes: a float32 as the double of its shortest text; None if not finite."""
    if isinstance(value, float):
        return float(float_text(value)) if math.isfinite(value) else None
    return int(value)


def _quantity(number: Union[int, float], unit: str) -> Dict[str, Any]:
    quantity: Dict[str, Any] = {"value": number}
    if unit:
        quantity.update(unit=unit, system=UCUM, code=unit)
    return quantity


def _concept(system: str, code: str, display: str) -> Dict[str, Any]:
    return {"coding": [{"system": system, "code": code, "display": display}]}


def _uuid(name: str) -> str:
    return str(uuid.uuid5(_NAMESPACE, name))


def _reference(name_uuid: str) -> Dict[str, str]:
    return {"reference": "urn:uuid:" + name_uuid}


def _version() -> str:
    return "%d.%d" % sdk_version()


def _normal(key: str, normals: Any) -> tuple:
    """(kind, low, high) of the normal beside a result: range, maximum, typical value or none."""
    if normals is None:
        return None, 0, 0
    names = set(field_names(type(normals)))
    if key == "totalWeight":
        return "range", normals.targetWeightLow, normals.targetWeightHigh
    if key in ("ecwPerKg", "icwPerKg"):  # whole mL/kg in the record, L/kg beside the result
        return "range", float32(getattr(normals, key + "Low") / 1000), float32(getattr(normals, key + "High") / 1000)
    if key + "Low" in names and key + "High" in names:
        return "range", getattr(normals, key + "Low"), getattr(normals, key + "High")
    if key + "Normal" in names:
        return "typical", getattr(normals, key + "Normal"), 0
    if key + "Max" in names:
        return "max", getattr(normals, key + "Max"), 0
    return None, 0, 0


def _code_system() -> Dict[str, Any]:
    concepts: List[Dict[str, str]] = []
    for row in CODE_TABLE:
        if row.system == KIT and all(c["code"] != row.code for c in concepts):
            concepts.append({"code": row.code, "display": row.display, "definition": row.definition})
    return {"resourceType": "CodeSystem", "url": KIT, "version": _version(), "name": "KorvantaBodyComposition",
            "title": "Korvanta body composition", "status": "active", "experimental": False,
            "publisher": "Korvanta",
            "description": "Results and raw impedances of Korvanta bio-impedance analysers, human and equine, "
                           "that LOINC has no code for.",
            "caseSensitive": True, "content": "complete", "count": len(concepts), "concept": concepts}


def _device(test: Test) -> Dict[str, Any]:
    serial = str(test.serialNumber)
    # The library's name even for a model outside the catalogue (which it refuses), as the tool writes it.
    buffer = _library.wide_buffer(64)
    _library.load().KVGetDeviceModelName(test.modelCode, buffer, len(buffer))
    name = _library.text_of(buffer)
    return {"resourceType": "Device", "identifier": [{"system": _SERIAL, "value": serial}],
            "manufacturer": "Korvanta", "serialNumber": serial,
            "deviceName": [{"name": name, "type": "model-name"}],
            "type": _concept("urn:iso:std:iso:11073:10101", "528404", "Body Composition Analyzer"),
            "version": [{"type": {"text": "KorvantaSDK"}, "value": _version()}]}


def _horse() -> Dict[str, Any]:
    species = {"url": "species", "valueCodeableConcept": _concept("http://snomed.info/sct", "388445009", "horse")}
    return {"resourceType": "Patient",
            "extension": [{"url": _PROFILE + "patient-animal", "extension": [species]}]}


class _Bundle:
    def __init__(self, transaction: bool) -> None:
        self.transaction = transaction
        self.entries: List[Dict[str, Any]] = []

    def add(self, name_uuid: str, resource: Dict[str, Any], if_none_exist: str = "") -> None:
        entry: Dict[str, Any] = {"fullUrl": "urn:uuid:" + name_uuid, "resource": resource}
        if self.transaction:
            entry["request"] = {"method": "POST", "url": resource["resourceType"]}
            if if_none_exist:
                entry["request"]["ifNoneExist"] = if_none_exist
        self.entries.append(entry)


def _observation(row: _Row, subject: Optional[Dict[str, str]], effective: Optional[str]) -> Dict[str, Any]:
    observation: Dict[str, Any] = {"resourceType": "Observation"}
    # The vital-signs profiles ask for a subject and a time; only an Observation with both claims one.
    if row.profile and subject and effective:
        observation["meta"] = {"profile": [_PROFILE + row.profile]}
    observation["status"] = "final"
    observation["category"] = [_concept(_CATEGORY, row.category, "Vital Signs" if row.category == VITAL else "Exam")]
    observation["code"] = _concept(row.system, row.code, row.display)
    if subject:
        observation["subject"] = subject
    if effective:
        observation["effectiveDateTime"] = effective
    return observation


def _add_value(observation: Dict[str, Any], number: Union[int, float], normal: tuple, row: _Row) -> None:
    """The value, and its range and interpretation compared as both are written."""
    observation["valueQuantity"] = _quantity(number, row.unit)
    kind, low, high = normal
    has_range = kind == "range" and not (low == 0 and high == 0)
    if not has_range and not (kind == "max" and low != 0):
        return
    low_number = _number(low) if has_range else 0
    high_number = _number(high if has_range else low)
    if low_number is None or high_number is None:
        return
    flag = "L" if has_range and number < low_number else "H" if number > high_number else "N"
    observation["interpretation"] = [_concept(_INTERPRETATION, flag, {"L": "Low", "H": "High", "N": "Normal"}[flag])]
    limits: Dict[str, Any] = {}
    if has_range:
        limits["low"] = _quantity(low_number, row.unit)
    limits["high"] = _quantity(high_number, row.unit)
    observation["referenceRange"] = [limits]


def _add_test(bundle: _Bundle, row: Row, name: str, device: str, subject: Optional[Dict[str, str]],
              effective: Optional[str]) -> None:
    equine = isinstance(row.test, CXTestRecord)
    raw_source, result_sources = (EQUINE_RAW, (EQUINE_RESULT,)) if equine else (HUMAN_RAW, (HUMAN_RESULT, HUMAN_TEST))
    components = []
    for code in CODE_TABLE:
        value = getattr(row.test, code.key) if code.source == raw_source else 0
        if value != 0 and _number(value) is not None:
            components.append({"code": _concept(code.system, code.code, code.display),
                               "valueQuantity": _quantity(_number(value), code.unit)})
    for point in [] if equine else row.test.spectrum:
        for code in (c for c in CODE_TABLE if c.source == SPECTRUM):
            number = _number(getattr(point, code.key))
            if number is not None:
                components.append({"code": _concept(code.system, code.code, code.display),
                                   "valueQuantity": _quantity(number, code.unit)})
    raw = None
    if components:
        raw = _uuid(f"observation/{name}/raw")
        measurement = next(c for c in CODE_TABLE if c.source == RAW_MEASUREMENT)
        observation = _observation(measurement, subject, effective)
        observation["device"] = _reference(device)
        observation["component"] = components
        bundle.add(raw, observation)
    normals = row.normals if row.normalsCode == 0 else None
    for code in CODE_TABLE:
        if code.source not in result_sources:
            continue
        value = getattr(row.test if code.source == HUMAN_TEST else row.results, code.key)
        normal = _normal(code.key, normals)
        # A result the model does not fill stays 0, as does its normal.
        if value == 0 and (normal[0] is None or (normal[1] == 0 and normal[2] == 0)):
            continue
        number = _number(value)
        if number is None:
            continue
        observation = _observation(code, subject, effective)
        _add_value(observation, number, normal, code)
        observation["device"] = _reference(device)
        if raw:
            observation["derivedFrom"] = [_reference(raw)]
        bundle.add(_uuid(f"observation/{name}/{code.key}"), observation)


def to_fhir(items: Iterable[Union[Row, Test]], subject: Optional[str] = None, transaction: bool = False,
            utc: bool = False, water_equation: int = 0, output: Optional[TextIO] = None,
            errors: Optional[TextIO] = None) -> str:
    """The FHIR R4 Bundle (JSON text) of tests, human, equine or both, as `korvanta export --format fhir`
    writes it for the same tests. Tests are calculated here; rows (from korvanta.read) are calculated
    again from their tests and keep their slots. subject ("Patient/ID") becomes every Observation's
    subject; transaction=True makes a transaction of POSTs. A test the calculation refuses gets no
    Observation and a line on errors (standard error by default); so does a test that came before.
    ValueError for a subject that is not a reference such as Patient/123."""
    if subject is not None and not _REFERENCE.fullmatch(subject):
        raise ValueError(f"not a reference such as Patient/123: {subject}")
    items = list(items)
    slots = [item.slot if isinstance(item, Row) else index for index, item in enumerate(items)]
    rows = calculate_rows([item.test if isinstance(item, Row) else item for item in items], water_equation, slots)
    errors = errors if errors is not None else sys.stderr
    bundle = _Bundle(transaction)
    bundle.add(_uuid("codesystem/body-composition"), _code_system(), f"url={KIT}&version={_version()}")
    serials: List[int] = []
    for row in rows:
        if row.test.serialNumber not in serials:
            serials.append(row.test.serialNumber)
            bundle.add(_uuid(f"device/{row.test.serialNumber}"), _device(row.test),
                       f"identifier={_SERIAL}|{row.test.serialNumber}")
    names = set()
    lines = []
    for row in rows:
        serial, when = row.test.serialNumber, row.test.testTime
        name = f"{serial}/time/{int(when.timestamp())}" if when is not None else f"{serial}/slot/{row.slot}"
        lead = f"korvanta: test {row.slot} of serialNumber {serial}: "
        if row.resultsCode != 0:
            lines.append(lead + f"calculation failed: {_code_text(row.resultsCode)}; no Observation written for it")
            continue
        if name in names:
            lines.append(lead + "the same test (analyser and time) came before; written once")
            continue
        names.add(name)
        if row.normalsCode != 0:
            lines.append(lead + f"normal ranges failed: {_code_text(row.normalsCode)}; its Observations carry no ranges")
        subject_ref = {"reference": subject} if subject else None
        if isinstance(row.test, CXTestRecord) and not subject:
            horse = _uuid(f"patient/{name}")
            bundle.add(horse, _horse())
            subject_ref = _reference(horse)
        _add_test(bundle, row, name, _uuid(f"device/{serial}"), subject_ref, time_text(when, utc))
    for line in lines:
        print(line, file=errors)
    text = json.dumps({"resourceType": "Bundle", "type": "transaction" if transaction else "collection",
                       "entry": bundle.entries}, indent=2, ensure_ascii=False) + "\n"
    if output is not None:
        output.write(text)
    return text

