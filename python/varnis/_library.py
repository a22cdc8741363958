"""Loading the libraries and binding their exports (the raw layer): `raw` for Varnis,
`rawx` for its companion library VarnisX.

Every export is bound with the argument types of its declaration in varnis.h or
varnisx.h. A pointer
argument takes a contiguous NumPy array of the matching element type (float64 for
double, float32 for float, intc for int) as well as the usual ctypes forms: arrays,
pointers, byref() and, for a pointer to one value, that value's ctypes object.
"""
import ctypes
import ctypes.util
import os
import sys
from pathlib import Path

import numpy as np

from . import _signatures, _xsignatures


class VarnisError(RuntimeError):
    """A call the library refused: ``function`` is the export, ``code`` its negative
    return value and ``m`` the averaging factor of the call (None outside a sweep)."""

    def __init__(self, function, code, m=None):
        at = "" if m is None else f" at averaging factor m={m}"
        super().__init__(f"{function} refused the data{at} with code {code}")
        self.function = function
        self.code = code
        self.m = m


ProgressCallback = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_char_p)


def _print_progress(percent, text):
    if text:
        print(f"\r{text.decode(errors='replace')}: {percent:3d} %", end="", file=sys.stderr, flush=True)
    else:
        print(file=sys.stderr, flush=True)


#: Progress callback that writes "title: percent %" on one line of standard error.
print_progress = ProgressCallback(_print_progress)

#: Progress callback that shows nothing, for the exports that always make a last call.
no_progress = ProgressCallback(lambda percent, text: None)

#: A null callback, which the library's routines skip; nothing calls back into Python.
NULL_CALLBACK = ProgressCallback()


class StopFlag(ctypes.c_int):
    """The caller's stop flag: pass it where an export takes ``int *stop`` and call
    :meth:`set` (from another thread or from a progress callback) to end the
    calculation with the terms gathered so far."""

    def set(self):
        self.value = 1

    def clear(self):
        self.value = 0

    def __bool__(self):
        return self.value != 0


class StabilityTable(ctypes.Structure):
    """The stability table the MTIE routine fills row by row."""
    _fields_ = [("count", ctypes.c_int),
                ("callerMember2", ctypes.c_void_p), ("callerMember3", ctypes.c_void_p),
                ("numPoints", ctypes.POINTER(ctypes.c_float)),
                ("value", ctypes.POINTER(ctypes.c_float))] + \
               [(f"callerMember{i}", ctypes.c_void_p) for i in range(6, 12)] + \
               [("avgFactor", ctypes.POINTER(ctypes.c_int))]


def _array_argument(element, dtype, writes):
    """Argument type of a pointer to `element`: a NumPy array of `dtype` (C-contiguous,
    and writeable when the export writes through it) or any ctypes form of the pointer."""
    pointer = ctypes.POINTER(element)
    what = f"{'' if writes else 'const '}{element.__name__[2:]} *"

    class ArrayArgument:
        @classmethod
        def from_param(cls, value):
            if isinstance(value, np.ndarray):
                if value.dtype != dtype:
                    raise TypeError(f"a {what} argument takes a NumPy array of {np.dtype(dtype).name}, "
                                    f"not {value.dtype.name}")
                if not value.flags.c_contiguous:
                    raise ValueError(f"a {what} argument takes a contiguous array; pass np.ascontiguousarray(a)")
                if writes and not value.flags.writeable:
                    raise ValueError(f"the library writes through this {what} argument, and the array is read-only")
                # The address alone: the caller's reference keeps the array alive for
                # the call, and it is several times quicker than ndarray.ctypes.data_as.
                return ctypes.c_void_p(value.ctypes.data)
            return pointer.from_param(value)

    ArrayArgument.__name__ = f"{'' if writes else 'const_'}{element.__name__[2:]}_pointer"
    return ArrayArgument


_POINTERS = {
    "double*": _array_argument(ctypes.c_double, np.float64, True),
    "const double*": _array_argument(ctypes.c_double, np.float64, False),
    "float*": _array_argument(ctypes.c_float, np.float32, True),
    "const float*": _array_argument(ctypes.c_float, np.float32, False),
    "int*": _array_argument(ctypes.c_int, np.intc, True),
    "const int*": _array_argument(ctypes.c_int, np.intc, False),
}
_SCALARS = {"int": ctypes.c_int, "double": ctypes.c_double, "float": ctypes.c_float, "void": None,
            "VarnisProgressCallback": ProgressCallback,
            "VarnisStabilityTable*": ctypes.POINTER(StabilityTable)}


def _ctype(kind):
    return _POINTERS[kind] if kind in _POINTERS else _SCALARS[kind]


def _candidates(stem):
    variable = f"{stem.upper()}_LIBRARY"
    if os.environ.get(variable):
        yield os.environ[variable]
    here = Path(__file__).resolve().parent
    name = f"lib{stem}.so"
    yield str(here / name)  # installed by pip, inside the package
    yield str(here.parents[1] / "lib" / name)  # build/python/varnis -> build/lib
    yield str(here.parents[2] / name)  # <prefix>/lib/python3/dist-packages/varnis
    found = ctypes.util.find_library(stem)
    if found:
        yield found
    yield f"{name}.1"


def load(stem):
    """(library, path) of lib<stem>.so: the path in the environment variable
    <STEM>_LIBRARY, else inside this package, beside it, or by the system's loader."""
    errors = []
    for path in _candidates(stem):
        if path.startswith("/") and not os.path.exists(path):
            continue
        try:
            return ctypes.CDLL(path), path
        except OSError as error:
            errors.append(f"{path}: {error}")
    raise ImportError(f"cannot load lib{stem}.so; set {stem.upper()}_LIBRARY. " + "; ".join(errors))


class Exports:
    """The exports of a library, each typed after its declaration in the library's
    header and documented with its comment there; built from the listing that the
    build generates from the header (signatures, argument names, documentation).
    Pointer arguments take contiguous NumPy arrays of the element type (float64,
    float32, intc) or the usual ctypes forms."""

    def __init__(self, lib, signatures, argument_names, docs):
        for name, (restype, kinds) in signatures.items():
            function = getattr(lib, name)
            function.restype = _ctype(restype)
            function.argtypes = [_ctype(kind) for kind in kinds]
            params = ", ".join(f"{kind} {arg}" for kind, arg in zip(kinds, argument_names[name]))
            function.__doc__ = f"{restype} {name}({params})\n\n{docs[name]}"
            setattr(self, name, function)
        self._names = sorted(signatures)

    def __dir__(self):
        return self._names


def _exports(lib, listing):
    return Exports(lib, listing.SIGNATURES, listing.ARGUMENT_NAMES, listing.DOCS)


_lib, library_path = load("varnis")
raw = _exports(_lib, _signatures)
# Loaded after Varnis: the companion library's dependency on it (its soname) is the
# library already loaded, wherever that was found.
_xlib, x_library_path = load("varnisx")
rawx = _exports(_xlib, _xsignatures)
