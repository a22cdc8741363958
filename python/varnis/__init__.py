"""Python access to the Varnis frequency-stability library.

Two layers:

* ``varnis.raw.<Export>``: every export of the library with its C argument types,
  called exactly as from C (data vectors as arrays of doubles with their header).
* Friendly functions taking NumPy arrays or sequences of samples and returning
  values and counts, e.g. ``varnis.oadev(phase, tau0, m)`` -> ``(sigma, n)``. Gaps
  may be given as ``0.0`` or ``NaN``; a negative return code of the library raises
  :class:`VarnisError` carrying it.

The library is found through the environment variable ``VARNIS_LIBRARY`` (a path),
then beside the package (``build/lib`` for the build tree's ``build/python``, the
library folder for an installed package), then by the system's loader.
"""
import ctypes
import ctypes.util
import os
from pathlib import Path

import numpy as np

from ._signatures import SIGNATURES

__all__ = ["VarnisError", "raw", "data_vector", "library_path",
           "adev", "oadev", "stddev", "mean", "mdev", "tdev", "hdev", "ohdev", "totdev",
           "mtotdev", "mtie", "tierms", "noise_id"]


class VarnisError(RuntimeError):
    """A call the library refused; ``code`` is its negative return value."""

    def __init__(self, function, code):
        super().__init__(f"{function} failed with code {code}")
        self.function = function
        self.code = code


ProgressCallback = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_char_p)


class StabilityTable(ctypes.Structure):
    """The stability table the MTIE routine fills row by row."""
    _fields_ = [("count", ctypes.c_int),
                ("callerMember2", ctypes.c_void_p), ("callerMember3", ctypes.c_void_p),
                ("numPoints", ctypes.POINTER(ctypes.c_float)),
                ("value", ctypes.POINTER(ctypes.c_float))] + \
               [(f"callerMember{i}", ctypes.c_void_p) for i in range(6, 12)] + \
               [("avgFactor", ctypes.POINTER(ctypes.c_int))]


_SCALARS = {"int": ctypes.c_int, "double": ctypes.c_double, "float": ctypes.c_float,
            "long": ctypes.c_long, "char": ctypes.c_char}


def _ctype(kind):
    kind = kind.replace("const ", "")
    if kind == "void":
        return None
    if kind == "VarnisProgressCallback":
        return ProgressCallback
    if kind == "char*":
        return ctypes.c_char_p
    if kind == "VarnisStabilityTable*":
        return ctypes.POINTER(StabilityTable)
    if kind.endswith("*"):
        return ctypes.POINTER(_ctype(kind[:-1]))
    return _SCALARS[kind]


def _candidates():
    if os.environ.get("VARNIS_LIBRARY"):
        yield os.environ["VARNIS_LIBRARY"]
    here = Path(__file__).resolve().parent
    yield str(here.parents[1] / "lib" / "libvarnis.so")  # build/python/varnis -> build/lib
    yield str(here.parents[2] / "libvarnis.so")  # <prefix>/lib/python3/dist-packages/varnis
    found = ctypes.util.find_library("varnis")
    if found:
        yield found
    yield "libvarnis.so.1"


def _load():
    errors = []
    for path in _candidates():
        if path.startswith("/") and not os.path.exists(path):
            continue
        try:
            return ctypes.CDLL(path), path
        except OSError as error:
            errors.append(f"{path}: {error}")
    raise ImportError("cannot load libvarnis.so; set VARNIS_LIBRARY. " + "; ".join(errors))


_lib, library_path = _load()


class _Raw:
    """Every export of the library, typed after its declaration in varnis.h."""

    def __init__(self, lib):
        for name, (restype, args) in SIGNATURES.items():
            function = getattr(lib, name)
            function.restype = _ctype(restype)
            function.argtypes = [_ctype(a) for a in args]
            setattr(self, name, function)


raw = _Raw(_lib)

_DOUBLE_P = ctypes.POINTER(ctypes.c_double)


def data_vector(samples, first=None, last=None):
    """A data vector (header of count, first, last, then the samples) as a float64
    array; NaN samples become 0.0, the library's mark of a gap. first and last are
    1-based and default to the whole record."""
    x = np.asarray(samples, dtype=np.float64).ravel()
    x = np.where(np.isnan(x), 0.0, x)
    n = x.size
    header = [n, 1 if first is None else first, n if last is None else last]
    return np.concatenate([np.asarray(header, dtype=np.float64), x])


def _pointer(vector):
    return vector.ctypes.data_as(_DOUBLE_P)


def _checked(name, code):
    if code < 0:
        raise VarnisError(name, code)
    return code


def _value_and_count(name, vector, *args):
    out = ctypes.c_double(0.0)
    n = _checked(name, getattr(raw, name)(_pointer(vector), ctypes.byref(out), *args))
    return out.value, n


def adev(samples, tau, data_type="phase"):
    """Non-overlapping Allan deviation of data already at averaging time tau
    (phase in seconds, or fractional frequency): (sigma, number of terms)."""
    v = data_vector(samples)
    if data_type == "phase":
        return _value_and_count("CalcPhaseSigma", v, float(tau))
    return _value_and_count("CalcFreqSigma", v)


def oadev(samples, tau0, m, data_type="phase"):
    """Overlapping Allan deviation at averaging time m * tau0: (sigma, terms)."""
    v = data_vector(samples)
    if data_type == "phase":
        return _value_and_count("CalcPhaseOverlapSigma", v, float(tau0), int(m))
    return _value_and_count("CalcFreqOverlapSigma", v, int(m))


def stddev(samples, tau=1.0, data_type="frequency"):
    """Standard deviation of frequency data, or of the frequency implied by phase
    data at spacing tau: (deviation, count)."""
    v = data_vector(samples)
    if data_type == "phase":
        return _value_and_count("CalcPhaseStdDev", v, float(tau))
    return _value_and_count("CalcFreqStdDev", v)


def mean(samples, data_type="frequency"):
    """Mean of the samples without gaps: (mean, count). For phase data a 0.0 at the
    first or last sample counts as a value."""
    return _value_and_count("CalcMean", data_vector(samples), 0 if data_type == "phase" else 1)


def _quiet(percent, text):
    """Progress callback that shows nothing (some routines always make a last call)."""


_QUIET = ProgressCallback(_quiet)


def mdev(phase, tau0, m):
    """Modified Allan deviation of phase data (seconds, gaps honoured) at averaging
    time m * tau0: (sigma, terms)."""
    stop = ctypes.c_int(0)
    return _value_and_count("CalcPhaseModSigma", data_vector(phase), float(m) * float(tau0), int(m),
                            ctypes.byref(stop), 0, _QUIET)


def tdev(phase, tau0, m):
    """Time deviation tau * mdev / sqrt(3) in seconds: (deviation, terms)."""
    sigma, n = mdev(phase, tau0, m)
    return float(m) * float(tau0) * sigma / np.sqrt(3.0), n


def hdev(samples, tau, data_type="phase"):
    """Non-overlapping Hadamard deviation of data already at averaging time tau:
    (sigma, terms)."""
    v = data_vector(samples)
    if data_type == "phase":
        return _value_and_count("CalcPhaseHadamardDev", v, float(tau))
    return _value_and_count("CalcFreqHadamardDev", v)


def ohdev(samples, tau0, m, data_type="phase"):
    """Overlapping Hadamard deviation at averaging time m * tau0: (sigma, terms)."""
    v = data_vector(samples)
    if data_type == "phase":
        return _value_and_count("CalcPhaseOverlapHadamardDev", v, float(tau0), int(m))
    return _value_and_count("CalcFreqOverlapHadamardDev", v, int(m))


def totdev(phase, tau0, m):
    """Total deviation of phase data at averaging time m * tau0: (deviation, terms)."""
    return _value_and_count("TotvarCalc", data_vector(phase), float(tau0), int(m), 0)


def mtotdev(phase, tau0, m):
    """Modified total deviation of phase data at averaging time m * tau0:
    (deviation, subsequences)."""
    stop = ctypes.c_int(0)
    return _value_and_count("ModTotvarCalc", data_vector(phase), float(tau0), int(m),
                            ctypes.byref(stop), 0, _QUIET)


def mtie(phase, m):
    """Maximum time interval error of phase data (seconds) over windows of m
    intervals: (mtie, number of windows)."""
    v = data_vector(phase)
    stop = ctypes.c_int(0)
    value, samples = _value_and_count("CalcMTIE", v, int(m), ctypes.byref(stop), 0, _QUIET)
    return value, max(samples - int(m), 0)


def tierms(phase, m):
    """RMS time interval error of phase data at lag m: (tie, pairs)."""
    return _value_and_count("TIErms", data_vector(phase), int(m))


def noise_id(n_samples, kind, m, b, x):
    """Dominant power-law noise alpha (2 white phase ... -4 random-run frequency) from
    the measured statistic x of the variance kind (see NoiseID in varnis.h)."""
    return int(raw.NoiseID(int(n_samples), int(kind), int(m), float(b), float(x)))
