"""The PEP 517 backend of pip install .: the project's CMake builds the package, this packs it.

Classic scikit-build (Debian's python3-skbuild) installs all that cmake --install installs, the programs
and manuals too, and scikit-build-core is not in Debian bookworm; this backend builds only the target
quorix_python, whose build folder already holds the package as it is installed (quorix/ with _core and
the Python layer), and packs that folder. No download: it runs offline with --no-build-isolation.

QUORIX_WHEEL_BUILD: the build folder (default build/wheel, kept between builds so that a second
install recompiles nothing).
"""
import base64
import hashlib
import os
import re
import subprocess
import sys
import sysconfig
import zipfile
from pathlib import Path

_ROOT = Path(__file__).resolve().parents[2]
_NAME = "quorix"


def _version():
    text = (_ROOT / "CMakeLists.txt").read_text()
    return ".".join(re.search(r"project\(Quorix VERSION (\d+)\.(\d+)\.(\d+)", text).groups())


def _tag():
    interpreter = f"cp{sys.version_info.major}{sys.version_info.minor}"
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{interpreter}-{interpreter}-{platform}"


def _metadata():
    return (f"Metadata-Version: 2.1\nName: {_NAME}\nVersion: {_version()}\n"
            "Summary: Bouc-Wen dissipated energy in closed form, numpy arrays in and out\n"
            "Requires-Python: >=3.11\nRequires-Dist: numpy\n")


def _build():
    build = Path(os.environ.get("QUORIX_WHEEL_BUILD", _ROOT / "build" / "wheel"))
    # The interpreter that runs pip is the one the module is built for.
    subprocess.run(["cmake", "-S", str(_ROOT), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                    "-DQUORIX_PYTHON=ON", "-DQUORIX_GUI=OFF", "-DQUORIX_BENCH=OFF", "-DQUORIX_TESTS=OFF",
                    f"-DPython3_EXECUTABLE={sys.executable}"], check=True, stdout=sys.stderr)
    jobs = os.environ.get("QUORIX_WHEEL_JOBS", "2")
    subprocess.run(["cmake", "--build", str(build), "--target", "quorix_python", "-j", jobs], check=True,
                   stdout=sys.stderr)
    return build / "src" / "python" / _NAME


def _record_line(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{path},sha256={digest},{len(data)}"


def get_requires_for_build_wheel(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    info = Path(metadata_directory) / f"{_NAME}-{_version()}.dist-info"
    info.mkdir(parents=True, exist_ok=True)
    (info / "METADATA").write_text(_metadata())
    return info.name


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    package = _build()
    info = f"{_NAME}-{_version()}.dist-info"
    name = f"{_NAME}-{_version()}-{_tag()}.whl"
    files = {}
    for path in sorted(package.iterdir()):
        if path.is_file() and (path.suffix in (".py", ".pyi", ".so") or path.name == "py.typed"):
            files[f"{_NAME}/{path.name}"] = path.read_bytes()
    files[f"{info}/METADATA"] = _metadata().encode()
    files[f"{info}/WHEEL"] = (f"Wheel-Version: 1.0\nGenerator: quorix_build_backend\nRoot-Is-Purelib: false\n"
                              f"Tag: {_tag()}\n").encode()
    record = [_record_line(p, d) for p, d in files.items()] + [f"{info}/RECORD,,"]
    files[f"{info}/RECORD"] = ("\n".join(record) + "\n").encode()
    with zipfile.ZipFile(Path(wheel_directory) / name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files.items():
            wheel.writestr(path, data)
    return name
