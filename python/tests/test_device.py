# test_device.py: the package against simulated analysers on ptys, compared with what the `korvanta`
# tool (the C path) reads from the same analysers.
from datetime import datetime, timedelta, timezone

import io

import pytest

import korvanta
from conftest import ROOT, Simulator, tool


def test_info_matches_the_tool():
    with Simulator("--model", "7") as port:
        with korvanta.Analyser(port) as analyser:
            info = analyser.info()
        expected = dict(line.split(None, 1) for line in tool("info", "--port", port).splitlines()[1:])
    shown = {"modelCode": str(info.modelCode), "modelName": info.modelName, "version": " ".join(map(str, info.version)),
             "protocol": " ".join(map(str, info.protocol)), "serialNumber": str(info.serialNumber),
             "printerAddress": f'"{info.printerAddress}"', "currentTime": info.currentTime.isoformat(),
             "calibrationTime": info.calibrationTime.isoformat()}
    assert shown == {name: expected.get(name) for name in shown}


@pytest.mark.parametrize("simulated,record_type,fmt", [
    (["--model", "7"], korvanta.KVTestRecord, "json"),
    (["--scenario", str(ROOT / "tools" / "sim" / "scenarios" / "caballix_stable.json")], korvanta.CXTestRecord, "csv"),
])
def test_download_matches_the_tool_and_files_round_trip(simulated, record_type, fmt, tmp_path):
    seen = []
    with Simulator(*simulated) as port:
        with korvanta.Analyser(port) as analyser:
            tests = analyser.download(progress=lambda done, total: seen.append((done, total)))
            own = korvanta.calculate_rows(tests, slots=analyser.slots)
        tool_file = tmp_path / f"tool.{fmt}"
        tool_file.write_text(tool("download", "--port", port, "--format", fmt, "--utc"))
    assert seen == [(0, 1), (1, 1)]
    assert tests and all(type(test) is record_type for test in tests)
    rows = korvanta.read(tool_file)
    assert [row.test for row in rows] == tests and rows == own
    if fmt == "csv":  # the same text both ways (the tool's JSON numbers are not always the shortest)
        assert korvanta.write_csv(None, rows, utc=True) == tool_file.read_text()
    assert korvanta.read(io.StringIO(korvanta.write_json(None, own))) == rows


def test_clock_and_printer_address():
    when = datetime(2031, 7, 4, 12, 30, 15, tzinfo=timezone.utc)
    with Simulator("--model", "7") as port, korvanta.Analyser(port) as analyser:
        analyser.set_clock(when)
        assert analyser.read_clock() == when
        analyser.set_clock()
        assert abs(analyser.read_clock() - datetime.now(timezone.utc)) < timedelta(seconds=5)
        analyser.printer_address = "0080E1ABCDEF"
        assert analyser.printer_address == "0080E1ABCDEF"
        assert len(analyser.read_single_test().readings) == 5


def test_a_fault_and_a_missing_port_raise_their_classes(tmp_path):
    with Simulator("--model", "7", "--fault", "wrong-ack:cmd=0x21") as port, korvanta.Analyser(port) as analyser, \
            pytest.raises(korvanta.AckError) as raised:
        analyser.download()
    assert raised.value.code == korvanta.AckError.code and raised.value.call == "KVReadModelVersion"
    with pytest.raises(korvanta.PortOpenError), korvanta.Analyser(str(tmp_path / "no-such-tty")):
        pass
