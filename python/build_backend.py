"""The build backend of the varnis Python package, with nothing but the standard library:
`pip install --no-build-isolation --no-index ./python` builds the library with CMake from the source tree around this
folder and installs the package with the library inside it, without fetching anything.

The wheel holds the package as the build assembles it (build/python/varnis, with
_signatures.py and _xsignatures.py generated from varnis.h and varnisx.h) and the two
libraries, libvarnis.so and its companion libvarnisx.so, beside its modules, where the
package looks first. CMake runs in a scratch folder; the source tree is not written.
"""
import base64
import hashlib
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import zipfile
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent  # the repository: CMakeLists.txt, varnis/
NAME = "varnis"
SUMMARY = ("Frequency-stability sweeps (Allan, modified, Hadamard, total, parabolic deviations, Theo1, TheoH, "
           "TIE), three-cornered hat and dynamic Allan deviation over the Varnis libraries")
DEPENDENCIES = ["numpy"]
EXTRAS = {"plot": ["matplotlib"]}
# The libraries the package loads, varnis first: the companion library's dependency on
# it is met by the one already loaded (its soname, libvarnis.so.1).
LIBRARIES = ("libvarnis", "libvarnisx")


def _version():
    text = (SOURCE / "CMakeLists.txt").read_text()
    return re.search(r"project\(\S+\s+VERSION\s+([0-9.]+)", text).group(1)


def _tag():
    # The library is native code for this platform; the modules suit any Python 3.
    return "py3-none-" + re.sub(r"[-.]", "_", sysconfig.get_platform())


def _dist_info():
    return f"{NAME}-{_version()}.dist-info"


def _metadata():
    lines = ["Metadata-Version: 2.1", f"Name: {NAME}", f"Version: {_version()}",
             f"Summary: {SUMMARY}", "Requires-Python: >=3.9"]
    lines += [f"Requires-Dist: {d}" for d in DEPENDENCIES]
    for extra, packages in EXTRAS.items():
        lines.append(f"Provides-Extra: {extra}")
        lines += [f'Requires-Dist: {p}; extra == "{extra}"' for p in packages]
    return "\n".join(lines) + "\n"


def _wheel_file():
    return f"Wheel-Version: 1.0\nGenerator: {NAME} build_backend\nRoot-Is-Purelib: false\nTag: {_tag()}\n"


def _build_package(scratch):
    """Configures and builds the libraries and the package's files into scratch; returns
    the folder of the assembled package and the library files."""
    if not (SOURCE / "varnis" / "include" / "varnis.h").exists():
        raise RuntimeError(f"{SOURCE} is not the Varnis source tree: build from the repository's python/ folder")
    cmake = shutil.which("cmake")
    if cmake is None:
        raise RuntimeError("cmake is needed to build the library (Debian: apt-get install cmake g++)")
    subprocess.run([cmake, "-S", str(SOURCE), "-B", str(scratch), "-DCMAKE_BUILD_TYPE=Release",
                    "-DVARNIS_TESTS=OFF", "-DVARNIS_BENCH=OFF", "-DTICKLOG_BUILD=OFF",
                    f"-DVARNIS_BUILD_PYTHON={sys.executable}"], check=True, stdout=sys.stderr)
    subprocess.run([cmake, "--build", str(scratch), "--target", "varnis", "varnisx", "varnis_python_package",
                    "-j", str(os.cpu_count() or 1)], check=True, stdout=sys.stderr)
    return scratch / "python" / NAME, [(scratch / "lib" / f"{stem}.so").resolve() for stem in LIBRARIES]


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    wheel_name = f"{NAME}-{_version()}-{_tag()}.whl"
    with tempfile.TemporaryDirectory(prefix="varnis-build-") as scratch:
        package, libraries = _build_package(Path(scratch))
        files = {f"{NAME}/{p.name}": p.read_bytes() for p in sorted(package.glob("*.py"))}
        for stem, library in zip(LIBRARIES, libraries):
            files[f"{NAME}/{stem}.so"] = library.read_bytes()
    dist_info = _dist_info()
    files[f"{dist_info}/METADATA"] = _metadata().encode()
    files[f"{dist_info}/WHEEL"] = _wheel_file().encode()
    files[f"{dist_info}/top_level.txt"] = f"{NAME}\n".encode()
    record = [_record_line(name, data) for name, data in files.items()] + [f"{dist_info}/RECORD,,"]
    files[f"{dist_info}/RECORD"] = ("\n".join(record) + "\n").encode()
    with zipfile.ZipFile(Path(wheel_directory) / wheel_name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data in files.items():
            info = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
            info.external_attr = (0o755 if name.endswith(".so") else 0o644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)
    return wheel_name


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    folder = Path(metadata_directory) / _dist_info()
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "METADATA").write_text(_metadata())
    (folder / "WHEEL").write_text(_wheel_file())
    return folder.name


def get_requires_for_build_wheel(config_settings=None):
    return []
