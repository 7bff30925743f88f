# setup.py: builds the pure-Python package and writes korvanta/_result_codes.py from the C sources'
# result-code table, so an installed package needs no checkout. Metadata is in pyproject.toml.
import importlib.util
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = Path(__file__).resolve().parent


def _code_table_module():
    found = importlib.util.spec_from_file_location("_kv_code_table", HERE / "korvanta" / "_code_table.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


class BuildWithCodeTable(build_py):
    def run(self):
        super().run()
        table = _code_table_module()
        source = HERE.parent / "base" / "result_codes.inc"
        if not source.is_file():
            raise SystemExit(f"korvanta: build from the repository's python/ folder: {source} not found")
        rows = table.parse(source.read_text(encoding="utf-8"))
        target = Path(self.build_lib) / "korvanta" / "_result_codes.py"
        lines = ["# Generated from base/result_codes.inc when the package was built. Do not edit.", "CODES = ["]
        lines += [f"    ({row.name!r}, {row.value}, {row.meaning!r})," for row in rows]
        lines.append("]")
        target.write_text("\n".join(lines) + "\n", encoding="utf-8")


setup(cmdclass={"build_py": BuildWithCodeTable})
