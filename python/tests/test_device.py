# test_device.py: the package against simulated analysers on ptys, compared with what the `korvanta`
# tool (the C path) reads from the same analysers: sessions on threads at once, cancel, progress,
# trace, and the port list from a sysfs tree of the test's own.
import errno
import io
import itertools
import json
import os
import re
import threading
from datetime import datetime, timedelta, timezone

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
        with korvanta.Analyser(port, trace=tmp_path / "wire.txt") as analyser:
            tests = analyser.download(progress=lambda done, total: seen.append((done, total)))
            own = korvanta.calculate_rows(tests, slots=analyser.slots)
        tool_file = tmp_path / f"tool.{fmt}"
        archive = tmp_path / "tests.korvanta"
        tool_file.write_text(tool("download", "--port", port, "--format", fmt, "--utc", "--archive", str(archive)))
        tool_fhir = tool("download", "--port", port, "--format", "fhir", "--utc")
    assert seen[-1] == (3200, 3200) and all(a[0] < b[0] and a[1] == 3200 for a, b in zip(seen, seen[1:]))
    wire = (tmp_path / "wire.txt").read_text().splitlines()
    assert all(re.fullmatch(rf"\+ *\d+\.\d{{6}} s  {re.escape(port)}  [<>]( [0-9A-F]{{2}})+", line) for line in wire)
    assert sum(len(line.split("  ")[-1]) // 3 for line in wire if "  < " in line) > 3200
    assert tests and all(type(test) is record_type for test in tests)
    rows = korvanta.read(tool_file)
    assert [row.test for row in rows] == tests and rows == own
    assert [row.test for row in korvanta.read(archive)] == tests
    assert korvanta.read_array(archive)["serialNumber"].tolist() == [test.serialNumber for test in tests]
    if fmt == "csv":  # the same text both ways (the tool's JSON numbers are not always the shortest)
        assert korvanta.write_csv(None, rows, utc=True) == tool_file.read_text()
    assert korvanta.read(io.StringIO(korvanta.write_json(None, own))) == rows
    assert json.loads(korvanta.to_fhir(own, utc=True)) == json.loads(tool_fhir)


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
    assert raised.value.call == "KVSessionReadModelVersion" and "acknowledgement was 5A 01" in str(raised.value)
    with pytest.raises(korvanta.PortOpenError) as raised, korvanta.Analyser(str(tmp_path / "no-such-tty")):
        pass
    assert str(raised.value) == "KVSessionOpen: " + raised.value.detail
    assert os.strerror(errno.ENOENT) in raised.value.detail


CABALLIX = str(ROOT / "tools" / "sim" / "scenarios" / "caballix_stable.json")


def test_two_analysers_on_two_threads_download_at_once_as_one_at_a_time():
    order = itertools.count()  # the wire events of both, numbered in the order they happened
    events = {}

    def download(port, trace=None):
        with korvanta.Analyser(port, trace=trace) as analyser:
            return analyser.download()

    with Simulator("--model", "7") as a, Simulator("--scenario", CABALLIX) as b:
        alone = [download(a), download(b)]
        together = {}
        threads = [
            threading.Thread(target=lambda p=p: together.update(
                {p: download(p, lambda *_, p=p: events.setdefault(p, []).append(next(order)))}))
            for p in (a, b)
        ]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    assert [together[a], together[b]] == alone
    # Overlapping on the wire: neither waited for the other (a call holding the interpreter would
    # have made them take turns).
    assert min(events[a]) < max(events[b]) and min(events[b]) < max(events[a])


def test_cancel_from_another_thread_ends_the_download_and_frees_the_port():
    halfway, cancelled = threading.Event(), threading.Event()

    def progress(done, total):
        if done >= total // 2:  # held here, inside the download, until the cancel is in
            halfway.set()
            cancelled.wait(10)

    with Simulator("--model", "7") as port:
        with korvanta.Analyser(port) as analyser:
            canceller = threading.Thread(target=lambda: (halfway.wait(10), analyser.cancel(), cancelled.set()))
            canceller.start()
            with pytest.raises(korvanta.CancelledError):
                analyser.download(progress=progress)
            canceller.join()
            with pytest.raises(korvanta.CancelledError):
                analyser.read_clock()
        with korvanta.Analyser(port) as again:
            assert again.model_code == 7 and again.download()


def test_ports_from_sysfs_a_probe_and_auto(tmp_path, monkeypatch):
    usb = tmp_path / "devices" / "pci0" / "usb1" / "1-1"
    for name, text in [("idVendor", "0403"), ("idProduct", "6001"), ("serial", "A50285BI"), ("manufacturer", "FTDI"),
                       ("product", "FT232R USB UART")]:
        usb.mkdir(parents=True, exist_ok=True)
        (usb / name).write_text(text + "\n")
    tty = usb / "1-1:1.0" / "ttyUSB0"
    tty.mkdir(parents=True)
    (tmp_path / "bus" / "usb-serial" / "drivers" / "ftdi_sio").mkdir(parents=True)
    (tty / "driver").symlink_to(tmp_path / "bus" / "usb-serial" / "drivers" / "ftdi_sio")
    (tmp_path / "class" / "tty" / "ttyUSB0").mkdir(parents=True)
    (tmp_path / "class" / "tty" / "ttyUSB0" / "device").symlink_to(tty)
    monkeypatch.setenv("KV_SYSFS_ROOT", str(tmp_path))
    adapter = korvanta.PortInfo("/dev/ttyUSB0", "FT232R USB UART", "usb", 0x0403, 0x6001, "A50285BI", "FTDI",
                                "FT232R USB UART")
    assert korvanta.list_ports() == [adapter]
    with Simulator("--model", "7") as a, Simulator("--scenario", CABALLIX) as b:
        serial = int(dict(line.split(None, 1) for line in tool("info", "--port", a).splitlines()[1:])["serialNumber"])
        probed = korvanta.list_ports(probe=True, ports=[a, "/dev/ttyUSB0"])
        assert probed[0].analyser == korvanta.ProbedAnalyser(7, serial) and probed[0].transport == "other"
        assert probed[1].analyser is None and probed[1].probeError and probed[1].product == adapter.product
        with korvanta.Analyser("auto", probe_ports=[a, "/dev/ttyUSB0"]) as found:
            assert found.port == a and found.serial_number == serial
        with pytest.raises(korvanta.AutoPortError) as raised:
            korvanta.Analyser("auto", probe_ports=[a, b]).open()
    assert str(raised.value).startswith("2 analysers found") and f"{a}: Korvanta" in str(raised.value)
    assert f"{b}: Caballix" in str(raised.value) and len(raised.value.ports) == 2
