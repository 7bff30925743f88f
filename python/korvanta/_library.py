# _library.py: finding and loading the Korvanta library, and the ctypes prototypes of the exports the
# package calls: calculation, catalogue and Bluetooth, and the sessions and port list of
# KorvantaSession.h (the process-wide port of KVOpenComport is left to C hosts).
# Order: the KORVANTA_SDK_LIBRARY variable, then an installed library, then a checkout's build tree.
from __future__ import annotations

import ctypes
import ctypes.util
import os
import sys
from pathlib import Path
from typing import Callable, List, Mapping, Optional

from ._errors import LibraryNotFoundError
from ._records import (CCXNormals, CCXResults, CCXStoredTests, CCXTestRecord, CKVNormals, CKVPortInfo,
                       CKVResults, CKVStoredTests, CKVTestRecord)

ENV_VARIABLE = "KORVANTA_SDK_LIBRARY"
# Build folders looked at in a checkout, most likely first; any other build/*/ follows.
PREFERRED_BUILDS = ("dev", "release", "asan", "coverage")


def file_name(platform: str) -> str:
    return "KorvantaSDK.dll" if platform.startswith("win") else "libKorvantaSDK.so"


def system_dirs(platform: str) -> List[Path]:
    if platform.startswith("win"):
        return [Path(p) for p in os.environ.get("PATH", "").split(os.pathsep) if p]
    return [Path(p) for p in ("/usr/local/lib", "/usr/lib/x86_64-linux-gnu", "/usr/lib64", "/usr/lib")]


def checkout_root(package_dir: Path) -> Optional[Path]:
    """The repository root when the package runs from python/ of a checkout."""
    root = package_dir.resolve().parent.parent
    return root if (root / "base" / "KorvantaSDK.h").is_file() else None


def build_tree_candidates(root: Path, platform: str) -> List[Path]:
    sub = "bin" if platform.startswith("win") else "lib"
    builds = root / "build"
    names = [n for n in PREFERRED_BUILDS if (builds / n).is_dir()]
    if builds.is_dir():
        names += sorted(p.name for p in builds.iterdir() if p.is_dir() and p.name not in names)
    if not names:
        names = ["dev"]
    return [builds / name / sub / file_name(platform) for name in names]


def locate(environ: Mapping[str, str] = os.environ, package_dir: Path = Path(__file__).parent,
           platform: str = sys.platform,
           find_library: Callable[[str], Optional[str]] = ctypes.util.find_library) -> str:
    """The path (or loader name) of the library to load; LibraryNotFoundError lists where it looked."""
    searched: List[str] = []
    given = environ.get(ENV_VARIABLE)
    if given:
        if Path(given).is_file():
            return given
        raise LibraryNotFoundError([f"{ENV_VARIABLE}={given} (no such file; nothing else was tried)"])
    searched.append(f"{ENV_VARIABLE} (not set)")
    found = find_library("KorvantaSDK")
    searched.append(f"the system loader's search for KorvantaSDK ({'found ' + found if found else 'none'})")
    if found:
        return found
    for folder in system_dirs(platform):
        candidate = folder / file_name(platform)
        searched.append(str(candidate))
        if candidate.is_file():
            return str(candidate)
    root = checkout_root(package_dir)
    if root is None:
        searched.append(f"no build tree: {package_dir.resolve()} is not in a checkout")
    else:
        for candidate in build_tree_candidates(root, platform):
            searched.append(str(candidate))
            if candidate.is_file():
                return str(candidate)
    raise LibraryNotFoundError(searched)


_i32, _u32, _i64, _u16, _u8, _f32 = (ctypes.c_int32, ctypes.c_uint32, ctypes.c_int64, ctypes.c_uint16,
                                     ctypes.c_uint8, ctypes.c_float)
_P = ctypes.POINTER
_wide = _P(ctypes.c_uint16)  # KVWChar is UTF-16 on every platform; ctypes' c_wchar is not
_handle = ctypes.c_void_p
_session = ctypes.c_void_p  # KVSession*, opaque

# KV_CALL is stdcall on 32-bit Windows only, so are the callbacks the library calls.
_FUNCTYPE = (ctypes.WINFUNCTYPE if sys.platform.startswith("win") and ctypes.sizeof(ctypes.c_void_p) == 4
             else ctypes.CFUNCTYPE)
PROGRESS_CALLBACK = _FUNCTYPE(_i32, ctypes.c_void_p, _i32, _i32)
TRACE_CALLBACK = _FUNCTYPE(None, ctypes.c_void_p, _i32, _P(_u8), _i32, _i64)

PROTOTYPES = {
    "KVGetSdkLibraryVersion": (_i32, [_P(_u32), _P(_u32)]),
    "KVGetDeviceFamily": (_i32, [_i32]),
    "KVGetDeviceModelName": (_i32, [_i32, _wide, _i32]),
    "KVGetDeviceModelNameShort": (_i32, [_i32, _wide, _i32]),
    "KVCalculateResults": (_i32, [_P(CKVTestRecord), _P(CKVResults), _u32]),
    "KVCalculateNormals": (_i32, [_P(CKVTestRecord), _P(CKVResults), _P(CKVNormals)]),
    "CXCalculateResults": (_i32, [_P(CCXTestRecord), _P(CCXResults)]),
    "CXCalculateNormals": (_i32, [_P(CCXTestRecord), _P(CCXResults), _P(CCXNormals)]),
    "KVCalculateMany": (_i32, [_P(CKVTestRecord), _i32, _u32, _P(CKVResults), _P(CKVNormals), _P(_i32)]),
    "CXCalculateMany": (_i32, [_P(CCXTestRecord), _i32, _P(CCXResults), _P(CCXNormals), _P(_i32)]),
    "KVIsBTAvailable": (_i32, []),
    "KVGetBTStackInfo": (_i32, [_wide, _i32]),
    "KVSearchBTDevices": (_i32, [_P(_i32), _P(_i32), _i32, _handle, _u16]),
    "KVGetBTKorvantaDevice": (_i32, [_wide, _i32, _wide, _i32, _wide, _i32, _u16]),
    "KVAuthenticateBTDevice": (_i32, [_handle, _u16]),
    "KVUnAuthenticateBTDevices": (_i32, [_i32, _handle, _u16]),
    "KVIsDeviceInstallInProgress": (_i32, [_u32]),
    "KVAutoSetupBT": (_i32, [_wide, _i32, _i32, _handle]),
    "KVSessionOpen": (_i32, [_wide, _P(_session)]),
    "KVSessionGetOpenError": (_i32, [_wide, _i32]),
    "KVSessionClose": (None, [_session]),
    "KVSessionCancel": (_i32, [_session]),
    "KVSessionSetTimeouts": (_i32, [_session, _i32, _i32]),
    "KVSessionSetProgress": (_i32, [_session, PROGRESS_CALLBACK, ctypes.c_void_p]),
    "KVSessionSetTrace": (_i32, [_session, TRACE_CALLBACK, ctypes.c_void_p]),
    "KVSessionGetLastError": (_i32, [_session, _wide, _i32]),
    "KVSessionConnect": (_i32, [_session]),
    "KVSessionReadModelVersion": (_i32, [_session, _P(_i32), _P(_u8), _P(_u8), _P(_u8), _P(_u8), _P(_u8)]),
    "KVSessionReadProtocolInfo": (_i32, [_session, _P(_u8), _P(_u8), _P(_u8)]),
    "KVSessionReadSerialNumber": (_i32, [_session, _P(_u32)]),
    "KVSessionReadPrinterAddress": (_i32, [_session, _wide, _i32]),
    "KVSessionWritePrinterAddress": (_i32, [_session, _wide, _i32]),
    "KVSessionReadCurrentTime": (_i32, [_session, _P(_i64), _i32]),
    "KVSessionReadCalibrationTime": (_i32, [_session, _P(_i64)]),
    "KVSessionWriteCurrentTime": (_i32, [_session]),
    "KVSessionWriteCurrentTimeAs": (_i32, [_session, _i64]),
    "KVSessionReadStoredTestData": (_i32, [_session, _P(CKVStoredTests)]),
    "KVSessionReadTestKorvanta": (_i32, [_session] + [_P(_i32)] * 5 + [_P(_f32)] * 2),
    "CXSessionReadStoredTestData": (_i32, [_session, _P(CCXStoredTests)]),
    "CXSessionReadTestCaballix": (_i32, [_session] + [_P(_i32)] * 7 + [_P(_f32)]),
    "KVListPorts": (_i32, [_P(CKVPortInfo), _i32, _P(_i32)]),
}

_loaded: Optional[ctypes.CDLL] = None


def load(path: Optional[str] = None) -> ctypes.CDLL:
    """The library with every export's prototype set; found by locate() unless a path is given.
    Loaded once per process (a later call with another path loads and returns that one)."""
    global _loaded
    if _loaded is not None and path is None:
        return _loaded
    # Both loaders release the GIL during every call, so sessions on several threads run at once.
    loader = ctypes.WinDLL if sys.platform.startswith("win") else ctypes.CDLL  # stdcall on 32-bit Windows
    library = loader(path or locate())
    for name, (restype, argtypes) in PROTOTYPES.items():
        function = getattr(library, name)
        function.restype = restype
        function.argtypes = argtypes
    _loaded = library
    return library


def wide_buffer(capacity: int) -> ctypes.Array:
    return (ctypes.c_uint16 * capacity)()


def wide_text(text: str) -> ctypes.Array:
    """A terminated UTF-16 copy of text."""
    units = text.encode("utf-16-le")
    count = len(units) // 2
    return (ctypes.c_uint16 * (count + 1)).from_buffer_copy(units + b"\0\0")


def text_of(buffer: ctypes.Array, length: Optional[int] = None) -> str:
    units = list(buffer[: length if length is not None else len(buffer)])
    if length is None and 0 in units:
        units = units[: units.index(0)]
    return b"".join(u.to_bytes(2, "little") for u in units).decode("utf-16-le", errors="replace")
