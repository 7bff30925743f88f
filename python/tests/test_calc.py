# test_calc.py: the package's calculation against the `korvanta` tool's (the C path) for a few hundred
# seeded human tests of every family, refused ones included (the equine path is test_device's download
# against the tool), and the exception classes refusals raise.
import io
import json
import random
import subprocess
import time
from datetime import datetime, timezone

import pytest

import korvanta
from conftest import BUILD, ROOT

HUMAN_MODELS = [1, 2, 5, 7, 8, 14, 15, 99]
SPECTRUM_MODELS = {8, 14, 15}


def human_test(rng):
    model = rng.choice(HUMAN_MODELS)
    test = korvanta.KVTestRecord(
        modelCode=model, serialNumber=rng.randrange(1 << 24), sex=rng.choice([0, 1]), age=rng.randint(5, 90),
        height=rng.randint(100, 210), weight=round(rng.uniform(15, 150), 1), activityLevel=rng.randint(1, 5),
        waist=rng.randint(50, 140), hip=rng.randint(60, 150), impedanceF1=rng.randint(400, 800),
        impedanceF2=rng.randint(350, 700), impedanceF3=rng.randint(300, 650), impedanceF4=rng.randint(300, 600),
        resistance=rng.randint(350, 700), testTime=datetime(2024, 1, 1, tzinfo=timezone.utc))
    if model in SPECTRUM_MODELS:
        test.spectrum = [korvanta.KVSpectrumPoint(f, 600 - f / 3 + rng.uniform(-5, 5), -2 - f / 100)
                         for f in (5, 20, 50, 100, 200, 500, 1000)[: rng.randint(3, 7)]]
    if rng.random() < 0.15:  # a share the calculation refuses
        name, value = rng.choice([("sex", 2), ("age", 0), ("height", 230), ("weight", 300.5), ("hip", 4)])
        setattr(test, name, value)
    return test


def test_calculation_equals_the_c_path(tmp_path):
    rng = random.Random(18)
    tests = [human_test(rng) for _ in range(300)]
    mine = korvanta.calculate_rows(tests)
    assert sum(row.resultsCode == 0 for row in mine) > 200
    given = tmp_path / "tests.csv"
    korvanta.write_csv(given, mine, utc=True)
    out = subprocess.run([str(BUILD / "bin" / "korvanta"), "calc", "-i", str(given), "--format", "csv", "--utc"],
                         capture_output=True, text=True, timeout=60)
    theirs = korvanta.read(io.StringIO(out.stdout))

    def outputs(rows):  # repr, so NaN results compare equal to NaN
        return [repr((r.slot, r.resultsCode, r.results, r.normalsCode, r.normals)) for r in rows]

    assert outputs(theirs) == outputs(mine)
    many = korvanta.calculate_many(t for t, r in zip(tests, mine) if r.resultsCode == 0)
    assert repr([tuple(c) for c in many]) == repr([(r.results, r.normals) for r in mine if r.resultsCode == 0])


@pytest.mark.parametrize("options", [[], ["--subject", "Patient/p1", "--transaction"]])
def test_fhir_bundle_is_the_tools(options, tmp_path):
    tests = [human_test(random.Random(18)) for _ in range(1)] + [human_test(random.Random(seed)) for seed in range(120)]
    given = tmp_path / "tests.csv"
    korvanta.write_csv(given, tests, utc=True)
    out = subprocess.run([str(BUILD / "bin" / "korvanta"), "export", "-i", str(given), "--format", "fhir", "--utc",
                          *options], capture_output=True, text=True, timeout=60)
    errors = io.StringIO()
    mine = korvanta.to_fhir(korvanta.read(given), utc=True, subject=options[1] if options else None,
                            transaction=bool(options), errors=errors)
    assert json.loads(mine) == json.loads(out.stdout)
    named = [line.split(":")[1] for line in errors.getvalue().splitlines()]
    assert named and named == [line.split(":")[1] for line in out.stderr.splitlines()]


@pytest.mark.parametrize("subject", ["Patient/p-1.2", "https://ehr.example.org/fhir/Patient/42", "Patient/",
                                     "patient/1", "Patient/a b", "urn:uuid:1b0c5d8e-6f2a-5c43-9e1d-4b7a2f3c8d90"])
def test_fhir_subject_is_taken_or_refused_as_the_tool_does(subject):
    sample = ROOT / "docs" / "fhir" / "sample-tests-human.csv"
    out = subprocess.run([str(BUILD / "bin" / "korvanta"), "export", "-i", str(sample), "--subject", subject],
                         capture_output=True, text=True, timeout=60)
    assert out.returncode in (0, 2)
    try:
        taken = json.loads(korvanta.to_fhir(korvanta.read(sample), subject=subject))["entry"][-1]["resource"]["subject"]
        assert out.returncode == 0 and taken == {"reference": subject}
    except ValueError:
        assert out.returncode == 2 and "not a reference" in out.stderr


def test_fhir_code_table_and_sample_are_the_tools():
    import sys
    sys.path.insert(0, str(ROOT / "tests" / "tools" / "cli"))
    import fhir_check
    from korvanta._fhir import CODE_TABLE
    ours = [dict(source=r.source, key=r.key, system=r.system, code=r.code, display=r.display, unit=r.unit,
                 category=r.category, profile=r.profile and "http://hl7.org/fhir/StructureDefinition/" + r.profile)
            for r in CODE_TABLE]
    assert ours == fhir_check.code_table()
    sample = ROOT / "docs" / "fhir"
    rows = korvanta.read(sample / "sample-tests-human.csv") + korvanta.read(sample / "sample-tests-equine.csv")
    assert korvanta.to_fhir(rows, utc=True) == (sample / "sample-bundle.json").read_text()


def test_array_path_equals_the_dataclass_path(tmp_path, monkeypatch):
    pandas = pytest.importorskip("pandas")
    rng = random.Random(34)
    human = [human_test(rng) for _ in range(300)]
    for test in human[::3]:
        test.testTime = None if rng.random() < 0.2 else datetime.fromtimestamp(rng.randrange(2_000_000_000), timezone.utc)
    equine = [korvanta.CXTestRecord(modelCode=rng.choice([12, 13, 12, 7]), serialNumber=rng.randrange(1 << 32),
                                    height=rng.randint(0, 190), conditionScore=rng.randint(0, 9),
                                    **{f"impedance{k}": rng.randint(-5, 900) for k in (5, 16, 24, 50, 140, 200, 280)})
              for _ in range(200)]
    monkeypatch.setenv("TZ", "Asia/Kolkata")  # the CSV's times with an offset of +05:30
    time.tzset()
    try:
        human_csv = korvanta.write_csv(tmp_path / "human.csv", human)  # floats as float32, as every record holds
        korvanta.write_csv(tmp_path / "equine.csv", [test for test in equine if test.modelCode != 7])
    finally:
        monkeypatch.undo()
        time.tzset()
    human = korvanta.read_tests(io.StringIO(human_csv))
    korvanta.write_json(tmp_path / "human.json", human[:50])

    def same(array, tests, water=0):
        pandas.testing.assert_frame_equal(korvanta.to_dataframe(array, water), korvanta.to_dataframe(tests, water))

    for water in range(5):  # the fifth is refused for every test
        same(korvanta.to_array(human), human, water)
    same(korvanta.to_array(equine), equine)
    for name in ("human.csv", "equine.csv", "human.json"):
        same(korvanta.read_tests(tmp_path / name, as_array=True), korvanta.read_tests(tmp_path / name))
    cells = "modelCode,testTime\n7,1700000000\n7,2024-03-01T12:00:00\n12,1\n7,2024-03-01T12:00:00.5-02:00\n7,\n"
    assert korvanta.read_array(io.StringIO(cells), "human")["testTime"].tolist() == [
        -1 if t.testTime is None else int(t.testTime.timestamp()) for t in korvanta.read_tests(io.StringIO(cells))
        if t.modelCode == 7]
    results, normals, codes = korvanta.calculate_many(korvanta.read_array(tmp_path / "human.csv"), 1)
    assert (codes == 0).sum() > 200 and korvanta.calculate(human[1], 1).results.fatKg == results["fatKg"][1]


VALID = dict(modelCode=8, sex=0, age=30, height=170, weight=60.0, activityLevel=2, waist=70, hip=90,
             impedanceF1=600, impedanceF2=550, impedanceF4=500, resistance=540,
             spectrum=[korvanta.KVSpectrumPoint(5, 600, -2), korvanta.KVSpectrumPoint(50, 560, -6),
                       korvanta.KVSpectrumPoint(500, 480, -4)])


@pytest.mark.parametrize("change,water,error", [
    ({"modelCode": 12}, 0, korvanta.WrongKindError), ({}, 4, korvanta.WaterEquationError),
])
def test_each_refusal_raises_its_class(change, water, error):
    with pytest.raises(error) as raised:
        korvanta.calculate(korvanta.KVTestRecord(**{**VALID, **change}), water)
    assert raised.value.code == korvanta.error_class(raised.value.code).code < 0
    assert raised.value.name.startswith("KV_ERR_") and raised.value.call == "KVCalculateResults"


def test_dataframe_has_one_row_per_test_and_the_record_columns():
    pandas = pytest.importorskip("pandas")
    tests = [korvanta.KVTestRecord(**VALID), korvanta.KVTestRecord(**{**VALID, "age": 0})]
    frame = korvanta.to_dataframe(tests)
    assert len(frame) == 2 and list(frame["resultsCode"]) == [0, korvanta.AgeError.code]
    assert frame.loc[0, "fatPercent"] == korvanta.calculate(tests[0]).results.fatPercent
    assert pandas.isna(frame.loc[1, "fatPercent"]) and frame.loc[0, "spectrumCount"] == 3
