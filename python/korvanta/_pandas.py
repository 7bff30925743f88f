# _pandas.py: tests with their results and normal ranges as a pandas DataFrame, one row per test and
# one column per field (the tool's CSV columns). pandas is imported only when this is called.
from __future__ import annotations

from dataclasses import fields
from typing import Any, Iterable, List, Union

from ._calc import Test
from ._files import Row, _rows


def to_dataframe(items: Iterable[Union[Row, Test]], water_equation: int = 0) -> Any:
    """A pandas.DataFrame of rows (or of tests, calculated here; an array of tests column by column). testTime is a timezone-aware
    datetime (NaT for no time); results and normals columns are empty where nothing was calculated."""
    try:
        import pandas
    except ImportError as error:
        raise ImportError("korvanta.to_dataframe needs pandas (Debian: apt-get install python3-pandas)") from error
    if hasattr(items, "dtype"):
        from ._arrays import dataframe
        return dataframe(items, water_equation)  # type: ignore[arg-type]
    records: List[dict] = []
    for row in _rows(items, water_equation):
        record: dict = {"slot": row.slot}
        record.update({f.name: getattr(row.test, f.name) for f in fields(row.test)})
        if hasattr(row.test, "spectrumCount"):
            record["spectrumCount"] = row.test.spectrumCount  # type: ignore[union-attr]
        record["resultsCode"] = row.resultsCode
        if row.results is not None:
            record.update({f.name: getattr(row.results, f.name) for f in fields(row.results)})
        record["normalsCode"] = row.normalsCode
        if row.normals is not None:
            record.update({f.name: getattr(row.normals, f.name) for f in fields(row.normals)})
        records.append(record)
    frame = pandas.DataFrame.from_records(records)
    if "testTime" in frame:
        frame["testTime"] = pandas.to_datetime(frame["testTime"], utc=True)
    return frame
