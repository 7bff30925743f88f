# test_library.py: the order in which the library is looked for, the error that lists the places,
# an installed package (pip, offline) with its own copy of the code table, and life without pandas.
import os
import shutil
import subprocess
import sys

import pytest

import korvanta
from conftest import BUILD, ROOT
from korvanta._library import locate


def checkout(tmp_path, builds=()):
    (tmp_path / "base").mkdir()
    (tmp_path / "base" / "KorvantaSDK.h").touch()
    for name in builds:
        (tmp_path / "build" / name / "lib").mkdir(parents=True)
        (tmp_path / "build" / name / "lib" / "libKorvantaSDK.so").touch()
    return tmp_path / "python" / "korvanta"


def test_the_variable_comes_first_and_is_not_second_guessed(tmp_path):
    given = tmp_path / "mine.so"
    given.touch()
    package = checkout(tmp_path, ["dev"])
    assert locate({"KORVANTA_SDK_LIBRARY": str(given)}, package, "linux", lambda _: "libKorvantaSDK.so.1") == str(given)
    with pytest.raises(korvanta.LibraryNotFoundError) as raised:
        locate({"KORVANTA_SDK_LIBRARY": str(tmp_path / "gone.so")}, package, "linux", lambda _: "found")
    assert "gone.so" in str(raised.value) and len(raised.value.searched) == 1


def test_installed_before_build_tree_and_dev_before_other_builds(tmp_path):
    package = checkout(tmp_path, ["windows", "release", "dev"])
    assert locate({}, package, "linux", lambda _: "libKorvantaSDK.so.1") == "libKorvantaSDK.so.1"
    found = locate({}, package, "linux", lambda _: None)
    assert found in ("/usr/local/lib/libKorvantaSDK.so", str(tmp_path / "build/dev/lib/libKorvantaSDK.so"))


def test_nothing_found_lists_every_place(tmp_path):
    with pytest.raises(korvanta.LibraryNotFoundError) as raised:
        locate({}, checkout(tmp_path, []), "linux", lambda _: None)
    text = str(raised.value)
    assert "KORVANTA_SDK_LIBRARY" in text and "/usr/lib/libKorvantaSDK.so" in text
    assert str(tmp_path / "build/dev/lib/libKorvantaSDK.so") in text
    with pytest.raises(korvanta.LibraryNotFoundError) as raised:
        locate({}, tmp_path / "a" / "b" / "korvanta", "linux", lambda _: None)
    assert "not in a checkout" in raised.value.searched[-1]


def run_python(code, **env):
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60,
                          env={**os.environ, **env}, cwd=ROOT.parent)  # not python/: -c imports from the cwd


def test_pip_installs_offline_with_the_code_table(tmp_path):
    # From a copy, so that the build leaves nothing in the checkout.
    shutil.copytree(ROOT / "python", tmp_path / "src" / "python", ignore=shutil.ignore_patterns("build", "*.egg-info"))
    (tmp_path / "src" / "base").mkdir()
    shutil.copy(ROOT / "base" / "result_codes.inc", tmp_path / "src" / "base")
    done = subprocess.run([sys.executable, "-m", "pip", "install", "--no-build-isolation", "--no-index",
                           "--no-deps", "--target", str(tmp_path / "site"), str(tmp_path / "src" / "python")],
                          capture_output=True, text=True, timeout=120, cwd=tmp_path)
    assert done.returncode == 0, done.stdout + done.stderr
    assert (tmp_path / "site" / "korvanta" / "py.typed").is_file()
    ran = run_python("import korvanta; print(korvanta.sdk_version(), korvanta.SendError.code, korvanta.__file__)",
                     PYTHONPATH=str(tmp_path / "site"), KORVANTA_SDK_LIBRARY=str(BUILD / "lib" / "libKorvantaSDK.so"))
    assert ran.stdout.split("(")[1].startswith("1, 39) -56 " + str(tmp_path)), ran.stderr


def test_without_pandas_only_to_dataframe_complains():
    ran = run_python("import sys; sys.modules['pandas'] = None; import korvanta\n"
                     "try: korvanta.to_dataframe([])\nexcept ImportError as e: print('needs pandas' in str(e))",
                     PYTHONPATH=str(ROOT / "python"))
    assert ran.stdout.strip() == "True", ran.stderr
