"""Build backend of the korvocomm Python package (PEP 517, PEP 660).

The package is pure Python, so its wheel is a zip of the package files and
its metadata. The backend needs the standard library only (tomli on Python
before 3.11), which lets `pip install bindings/python` work where no
package index can be reached. The version is the kit's, read from the
top-level CMakeLists.txt, or from PKG-INFO when building from an sdist.
"""
from __future__ import annotations

import base64
import hashlib
import io
import os
import re
import tarfile
import zipfile
from typing import Dict, List, Optional, Tuple

try:
    import tomllib
except ImportError:  # Python before 3.11
    import tomli as tomllib  # type: ignore[no-redef]

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = "korvocomm"
# Zip entries carry a fixed time, so the same sources give the same wheel.
TIMESTAMP = (1980, 1, 1, 0, 0, 0)


def _project() -> dict:
    with open(os.path.join(HERE, "pyproject.toml"), "rb") as f:
        return tomllib.load(f)["project"]


def _version() -> str:
    kit = os.path.join(HERE, "..", "..", "CMakeLists.txt")
    if os.path.exists(kit):
        with open(kit, encoding="utf-8") as f:
            found = re.search(r"project\(\s*korvo\s+VERSION\s+([0-9.]+)", f.read())
        if found:
            return found.group(1)
    pkg_info = os.path.join(HERE, "PKG-INFO")
    if os.path.exists(pkg_info):
        with open(pkg_info, encoding="utf-8") as f:
            found = re.search(r"^Version: (\S+)$", f.read(), re.MULTILINE)
        if found:
            return found.group(1)
    raise RuntimeError("korvo_build: no version: neither the kit's CMakeLists.txt nor PKG-INFO is there")


def _metadata() -> str:
    project = _project()
    lines = [
        "Metadata-Version: 2.1",
        f"Name: {project['name']}",
        f"Version: {_version()}",
        f"Summary: {project['description']}",
        f"Requires-Python: {project['requires-python']}",
    ]
    lines += [f"Classifier: {c}" for c in project.get("classifiers", [])]
    readme = project.get("readme")
    if readme:
        lines.append("Description-Content-Type: text/markdown")
        with open(os.path.join(HERE, readme), encoding="utf-8") as f:
            return "\n".join(lines) + "\n\n" + f.read()
    return "\n".join(lines) + "\n"


def _package_files() -> List[str]:
    names = sorted(os.listdir(os.path.join(HERE, PACKAGE)))
    return [f"{PACKAGE}/{n}" for n in names if n.endswith(".py") or n == "py.typed"]


def _dist_info() -> str:
    return f"{PACKAGE}-{_version()}.dist-info"


def _wheel_name() -> str:
    return f"{PACKAGE}-{_version()}-py3-none-any.whl"


def _write_wheel(directory: str, contents: List[Tuple[str, bytes]]) -> str:
    info = _dist_info()
    contents = contents + [
        (f"{info}/METADATA", _metadata().encode()),
        (f"{info}/WHEEL", b"Wheel-Version: 1.0\nGenerator: korvo_build\nRoot-Is-Purelib: true\n"
                          b"Tag: py3-none-any\n"),
    ]
    record = []
    for name, data in contents:
        digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
        record.append(f"{name},sha256={digest},{len(data)}")
    record.append(f"{info}/RECORD,,")
    contents.append((f"{info}/RECORD", ("\n".join(record) + "\n").encode()))
    path = os.path.join(directory, _wheel_name())
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data in contents:
            entry = zipfile.ZipInfo(name, TIMESTAMP)
            entry.external_attr = 0o644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(entry, data)
    return os.path.basename(path)


def _read(relative: str) -> bytes:
    with open(os.path.join(HERE, relative), "rb") as f:
        return f.read()


def _prepare_metadata(directory: str) -> str:
    info = os.path.join(directory, _dist_info())
    os.makedirs(info, exist_ok=True)
    with open(os.path.join(info, "METADATA"), "w", encoding="utf-8") as f:
        f.write(_metadata())
    return _dist_info()


# ---- PEP 517 ---------------------------------------------------------------

def get_requires_for_build_wheel(config_settings: Optional[Dict] = None) -> List[str]:
    return []


def get_requires_for_build_sdist(config_settings: Optional[Dict] = None) -> List[str]:
    return []


def prepare_metadata_for_build_wheel(metadata_directory: str, config_settings: Optional[Dict] = None) -> str:
    return _prepare_metadata(metadata_directory)


def build_wheel(wheel_directory: str, config_settings: Optional[Dict] = None,
                metadata_directory: Optional[str] = None) -> str:
    return _write_wheel(wheel_directory, [(name, _read(name)) for name in _package_files()])


def build_sdist(sdist_directory: str, config_settings: Optional[Dict] = None) -> str:
    base = f"{PACKAGE}-{_version()}"
    files = ["pyproject.toml", "README.md", "backend/korvo_build.py"] + _package_files()
    tests = os.path.join(HERE, "tests")
    files += [f"tests/{n}" for n in sorted(os.listdir(tests)) if n.endswith((".py", ".txt"))]
    path = os.path.join(sdist_directory, base + ".tar.gz")
    with tarfile.open(path, "w:gz", format=tarfile.PAX_FORMAT) as sdist:
        for name, data in [(n, _read(n)) for n in files] + [("PKG-INFO", _metadata().encode())]:
            entry = tarfile.TarInfo(f"{base}/{name}")
            entry.size, entry.mode, entry.mtime = len(data), 0o644, 315532800
            sdist.addfile(entry, io.BytesIO(data))
    return os.path.basename(path)


# ---- PEP 660: an editable install points the interpreter at this source tree.

def get_requires_for_build_editable(config_settings: Optional[Dict] = None) -> List[str]:
    return []


def prepare_metadata_for_build_editable(metadata_directory: str, config_settings: Optional[Dict] = None) -> str:
    return _prepare_metadata(metadata_directory)


def build_editable(wheel_directory: str, config_settings: Optional[Dict] = None,
                   metadata_directory: Optional[str] = None) -> str:
    return _write_wheel(wheel_directory, [(f"__editable__.{PACKAGE}.pth", (HERE + "\n").encode())])
