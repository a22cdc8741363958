"""The Python layer over the library: loading, raw exports, friendly wrappers."""
import ctypes
import math
import subprocess

import numpy as np
import pytest

import varnis

def test_every_export_of_the_library_is_bound():
    exported = subprocess.run(["nm", "-D", "--defined-only", varnis.library_path],
                              capture_output=True, text=True, check=True).stdout.split("\n")
    names = {line.split()[2] for line in exported if len(line.split()) == 3 and line.split()[1] == "T"}
    names -= {"_init", "_fini"}
    assert names == set(varnis._signatures.SIGNATURES)
    for name in names:
        assert callable(getattr(varnis.raw, name))
    assert varnis.raw.CheckVarnis() == 200


def test_raw_call_with_a_data_vector():
    v = (ctypes.c_double * 7)(4, 1, 4, 0.0, 1.0, 4.0, 9.0)
    sigma = ctypes.c_double(0)
    assert varnis.raw.CalcPhaseSigma(v, ctypes.byref(sigma), 1.0) == 2
    assert sigma.value == pytest.approx(math.sqrt(2.0))


def test_wrappers_agree_with_raw_calls_and_accept_nan_gaps():
    rng = np.random.default_rng(5)
    phase = np.cumsum(rng.normal(size=2000)) * 1e-9 + 1e-3
    for m in (1, 3, 10):
        sigma, n = varnis.oadev(phase, 1.0, m)
        v = varnis.data_vector(phase)
        out = ctypes.c_double()
        assert varnis.raw.CalcPhaseOverlapSigma(v.ctypes.data_as(ctypes.POINTER(ctypes.c_double)),
                                                ctypes.byref(out), 1.0, m) == n
        assert sigma == out.value
    freq = [1.0, 3.0, float("nan"), 2.0, 4.0]
    assert varnis.mean(freq)[1] == 4
    dev, n = varnis.stddev([1, 2, 3, 0, 4])
    assert n == 4 and dev == pytest.approx(math.sqrt(5.0 / 3.0))
    assert varnis.adev([1, 3, 2, 4], 1.0, "frequency") == (pytest.approx(math.sqrt(1.5)), 3)


def test_refusals_raise_with_the_library_code():
    with pytest.raises(varnis.VarnisError) as error:
        varnis.oadev([1.0, 2.0, 3.0], 1.0, 5)
    assert error.value.code == -1
    with pytest.raises(varnis.VarnisError):
        varnis.adev([1.0, 2.0, 3.0], 0.0)
