#!/usr/bin/python3
"""fhir_check.py: checks a bundle of `korvanta ... --format fhir` against the FHIR R4 JSON schema and
against the tool's own JSON of the same tests: every value, range and interpretation the
calculation's, every code and unit from tools/cli/fhir/fhir_codes.cpp, every fullUrl the name-based
UUID docs/fhir.md gives, unique, and every reference resolving inside the bundle.

  fhir_check.py --schema fhir.schema.json --bundle B.json --tool-json T.json [--subject Patient/X] [--transaction]
"""
import argparse
import datetime
import json
import pathlib
import re
import sys
import uuid

import jsonschema

ROOT = pathlib.Path(__file__).resolve().parents[3]
NAMESPACE = uuid.UUID("1b0c5d8e-6f2a-5c43-9e1d-4b7a2f3c8d90")
UCUM = "http://unitsofmeasure.org"
ROW = re.compile(r'CodeRow\{S::k(\w+), "([^"]*)", (\w+), "([^"]*)", "([^"]*)", "([^"]*)", k(\w+), "([^"]*)", '
                 r'"([^"]*)"\}')


def code_table():
    text = (ROOT / "tools/cli/fhir/fhir_codes.cpp").read_text()
    systems = {"kLoinc": "http://loinc.org", "kKitCodes": "https://fhir.korvanta.com/CodeSystem/body-composition"}
    rows = [dict(source=m[1], key=m[2], system=systems[m[3]], code=m[4], display=m[5], unit=m[6],
                 category="vital-signs" if m[7] == "Vital" else "exam", profile=m[8])
            for m in ROW.finditer(text)]
    assert len(rows) == text.count("CodeRow{S::"), "a row of the code table does not parse"
    return rows


def name_uuid(name):
    return "urn:uuid:" + str(uuid.uuid5(NAMESPACE, name))


def normal_for(key, normals):
    """The range beside a result, by the tool's naming rule (record_fields.cpp): kind, low, high."""
    if key == "totalWeight":
        return "range", normals["targetWeightLow"], normals["targetWeightHigh"]
    if key in ("ecwPerKg", "icwPerKg"):  # whole mL/kg in the record, beside the result in its L/kg
        return "range", normals[key + "Low"] / 1000, normals[key + "High"] / 1000
    if key + "Low" in normals and key + "High" in normals:
        return "range", normals[key + "Low"], normals[key + "High"]
    if key + "Max" in normals:
        return "max", None, normals[key + "Max"]
    return ("typical", None, None) if key + "Normal" in normals else (None, None, None)


def expected_observations(tests, rows):
    """fullUrl -> (row, value, range kind, low, high) for every result the bundle should carry, and raw
    measurement fullUrl -> [(code, value)] of its components."""
    expected, raw = {}, {}
    for t in tests:
        if t["resultsCode"] != 0:
            continue
        record, results, normals = t["test"], t["results"], t["normals"] or {}
        equine = "conditionScore" in record
        seconds = (int(datetime.datetime.fromisoformat(record["testTime"]).timestamp())
                   if record["testTime"] else None)
        name = f'{record["serialNumber"]}/' + (f"time/{seconds}" if seconds is not None else f'slot/{t["slot"]}')
        # The tool's JSON has no spectrum points, only their count: three components each.
        raw[name_uuid(f"observation/{name}/raw")] = [
            (row["code"], record[row["key"]]) for row in rows
            if row["source"] == ("EquineRaw" if equine else "HumanRaw") and record[row["key"]]
        ] + [("spectrum", None)] * (3 * record.get("spectrumCount", 0))
        for row in rows:
            if row["source"] not in (("EquineResult",) if equine else ("HumanResult", "HumanTest")):
                continue
            value = (record if row["source"] == "HumanTest" else results)[row["key"]]
            kind, low, high = normal_for(row["key"], normals)
            if value is None or (value == 0 and not low and not high):
                continue
            expected[name_uuid(f'observation/{name}/{row["key"]}')] = (row, value, kind, low, high, equine)
    return expected, raw


class Checker:
    def __init__(self, schema_path):
        self.schema = json.loads(pathlib.Path(schema_path).read_text())
        self.resolver = jsonschema.RefResolver.from_schema(self.schema)
        self.errors, self.validated = [], 0

    def fail(self, text):
        self.errors.append(text)

    def validate(self, resource):
        kind = resource.get("resourceType", "?")
        if kind not in self.schema["definitions"]:
            return self.fail(f"{kind}: no such resource in FHIR R4")
        validator = jsonschema.Draft6Validator({"$ref": f"#/definitions/{kind}"}, resolver=self.resolver)
        for error in validator.iter_errors(resource):
            self.fail(f"{kind} {'/'.join(map(str, error.absolute_path))}: {error.message[:200]}")
        self.validated += 1

    def check(self, bundle, tests, rows, subject=None, transaction=False):
        # The bundle's shell against Bundle, each resource against its own definition.
        self.validate({**bundle, "entry": [{k: v for k, v in e.items() if k != "resource"} for e in bundle["entry"]]})
        urls = [e["fullUrl"] for e in bundle["entry"]]
        if len(set(urls)) != len(urls):
            self.fail("fullUrls are not unique")
        by_url = {e["fullUrl"]: e["resource"] for e in bundle["entry"]}
        if bundle["type"] != ("transaction" if transaction else "collection"):
            self.fail(f'bundle type {bundle["type"]}')
        kit = next(r for r in by_url.values() if r["resourceType"] == "CodeSystem")
        concepts = {c["code"] for c in kit["concept"]}
        known = {(r["system"], r["code"]) for r in rows}
        if concepts != {r["code"] for r in rows if r["system"] == kit["url"]} or kit["count"] != len(concepts):
            self.fail("the CodeSystem's concepts are not the table's")
        units = {r["unit"] for r in rows}
        for entry in bundle["entry"]:
            resource = entry["resource"]
            self.validate(resource)
            self.check_links(resource, by_url, subject)
            self.check_terms(resource, known, units)
            named = {"Device": lambda r: f'device/{r.get("serialNumber")}', "CodeSystem": lambda r: "codesystem/body-composition"}
            if resource["resourceType"] in named and entry["fullUrl"] != name_uuid(named[resource["resourceType"]](resource)):
                self.fail(f'{entry["fullUrl"]}: not the name-based UUID of its {resource["resourceType"]}')
            request = entry.get("request")
            if transaction and (not request or request["method"] != "POST" or request["url"] != resource["resourceType"]
                                or (resource["resourceType"] in ("Device", "CodeSystem")) != ("ifNoneExist" in request)):
                self.fail(f'{entry["fullUrl"]}: request {request}')
            if not transaction and request:
                self.fail(f'{entry["fullUrl"]}: a request in a collection')
        self.check_values(by_url, expected_observations(tests, rows), subject)

    def check_links(self, resource, by_url, subject):
        def walk(node):
            if isinstance(node, dict):
                ref = node.get("reference")
                if isinstance(ref, str) and ref not in by_url and ref != subject:
                    self.fail(f"reference {ref} resolves to nothing in the bundle")
                for value in node.values():
                    walk(value)
            elif isinstance(node, list):
                for value in node:
                    walk(value)
        walk(resource)

    def check_terms(self, resource, known, units):
        if resource["resourceType"] != "Observation":
            return
        coded = [resource["code"]] + [c["code"] for c in resource.get("component", [])]
        for concept in coded:
            for coding in concept["coding"]:
                if (coding["system"], coding["code"]) not in known:
                    self.fail(f'code {coding["system"]}|{coding["code"]} is not in the table')
        quantities = [resource.get("valueQuantity")] + [c["valueQuantity"] for c in resource.get("component", [])]
        quantities += [q for r in resource.get("referenceRange", []) for q in r.values()]
        for q in filter(None, quantities):
            if "unit" in q and (q["unit"] not in units or q["system"] != UCUM or q["code"] != q["unit"]):
                self.fail(f"unit {q} is not a UCUM unit of the table")

    def check_values(self, by_url, expected_both, subject):
        expected, raw_expected = expected_both
        for url, components in raw_expected.items():
            got = [(c["code"]["coding"][0]["code"], c["valueQuantity"]["value"]) for c in by_url.get(url, {}).get("component", [])]
            got = [("spectrum", None) if code.startswith("spectrum-") else (code, v) for code, v in got]
            if got != components:
                self.fail(f"raw measurement {url}: {got} where the test has {components}")
        results = {u: r for u, r in by_url.items() if r["resourceType"] == "Observation" and "valueQuantity" in r}
        if set(results) != set(expected):
            self.fail(f"{len(set(results) ^ set(expected))} Observations missing or not expected")
        for url, (row, value, kind, low, high, equine) in expected.items():
            obs = results.get(url)
            if obs is None:
                continue
            got_range = (obs.get("referenceRange") or [{}])[0]
            flag = None
            if kind == "range" and (low or high):
                flag = "L" if value < low else "H" if value > high else "N"
            elif kind == "max" and high:
                flag, low = "H" if value > high else "N", None
            else:
                low = high = None
            got = (obs["valueQuantity"]["value"], obs["valueQuantity"].get("unit", ""), got_range.get("low", {}).get("value"),
                   got_range.get("high", {}).get("value"),
                   obs["interpretation"][0]["coding"][0]["code"] if "interpretation" in obs else None,
                   obs["code"]["coding"][0]["code"], obs["category"][0]["coding"][0]["code"])
            want = (value, row["unit"], low, high, flag, row["code"], row["category"])
            if got != want:
                self.fail(f'{row["key"]} {url}: {got} where the calculation gives {want}')
            raw = obs.get("derivedFrom", [{}])[0].get("reference")
            if raw not in by_url or by_url[raw]["code"]["coding"][0]["code"] != "bioimpedance-measurement":
                self.fail(f'{row["key"]} {url}: derivedFrom is not the raw measurement')
            if subject and obs.get("subject") != {"reference": subject}:
                self.fail(f'{url}: subject {obs.get("subject")}')
            horse = by_url.get(obs.get("subject", {}).get("reference"), {}).get("extension", [{}])[0]
            if equine and not subject and horse.get("url") != "http://hl7.org/fhir/StructureDefinition/patient-animal":
                self.fail(f"{url}: the subject of an equine test is not an animal Patient")
            claims = bool(row["profile"] and "subject" in obs and "effectiveDateTime" in obs)
            if obs.get("meta", {}).get("profile") != ([row["profile"]] if claims else None):
                self.fail(f'{url}: meta {obs.get("meta")}, profile {row["profile"]!r}')


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--schema", required=True)
    parser.add_argument("--bundle", required=True)
    parser.add_argument("--tool-json", required=True, help="the tool's --format json of the same tests")
    parser.add_argument("--subject")
    parser.add_argument("--transaction", action="store_true")
    args = parser.parse_args()
    checker = Checker(args.schema)
    checker.check(json.loads(pathlib.Path(args.bundle).read_text()), json.loads(pathlib.Path(args.tool_json).read_text()),
                  code_table(), args.subject, args.transaction)
    for error in checker.errors[:50]:
        print(error)
    print(f"{checker.validated} resources validated, {len(checker.errors)} errors")
    return 1 if checker.errors else 0


if __name__ == "__main__":
    sys.exit(main())
