"""The raw layer: every export bound and documented, NumPy arrays and ctypes forms as
pointer arguments, data vectors, the progress callbacks and the stop flag."""
import ctypes
import math
import subprocess

import numpy as np
import pytest

import varnis
from varnis import raw


def test_every_export_of_the_library_is_bound_and_documented():
    exported = subprocess.run(["nm", "-D", "--defined-only", varnis.library_path],
                              capture_output=True, text=True, check=True).stdout.split("\n")
    names = {line.split()[2] for line in exported if len(line.split()) == 3 and line.split()[1] == "T"}
    names -= {"_init", "_fini"}
    assert names == set(varnis._signatures.SIGNATURES) and len(names) == 92
    for name in names:
        assert callable(getattr(raw, name))
        assert getattr(raw, name).__doc__.startswith(f"{varnis._signatures.SIGNATURES[name][0]} {name}(")
        assert len(getattr(raw, name).__doc__) > 80
    assert "double tau0, int m" in raw.CalcPhaseOverlapSigma.__doc__
    assert "Overlapping Allan deviation of phase data" in raw.CalcPhaseOverlapSigma.__doc__
    assert raw.CheckVarnis() == 200


def test_the_companion_library_has_its_own_documented_raw_layer():
    exported = subprocess.run(["nm", "-D", "--defined-only", varnis.x_library_path],
                              capture_output=True, text=True, check=True).stdout.split("\n")
    names = {line.split()[2] for line in exported if len(line.split()) == 3 and line.split()[1] == "T"}
    assert names == set(varnis._xsignatures.SIGNATURES) == set(dir(varnis.rawx))
    assert "lag-1 autocorrelation" in varnis.rawx.CalcLag1NoiseID.__doc__
    assert varnis.rawx.CalcLag1NoiseID.__doc__.startswith(
        "int CalcLag1NoiseID(const double* data, int dataType, int m, int* alpha, double* estimate)")
    assert varnis.rawx.CheckVarnisX() == 200


def test_pointer_arguments_take_numpy_arrays_and_ctypes_forms():
    v = varnis.data_vector([0.0, 1.0, np.nan, 9.0, 16.0])
    np.testing.assert_array_equal(v, [5, 1, 5, 0.0, 1.0, 0.0, 9.0, 16.0])
    out = np.zeros(1)
    assert raw.CalcPhaseSigma(varnis.data_vector([0.0, 1.0, 4.0, 9.0]), out, 1.0) == 2
    assert out[0] == pytest.approx(math.sqrt(2.0))
    legacy = (ctypes.c_double * 7)(4, 1, 4, 0.0, 1.0, 4.0, 9.0)
    sigma = ctypes.c_double()
    assert raw.CalcPhaseSigma(legacy, ctypes.byref(sigma), 1.0) == 2 and sigma.value == out[0]
    assert raw.AddSigma(np.array([3, 4, 0, 0, 0], dtype=np.float32)) == 5.0
    day, month, year = (np.zeros(1, dtype=np.intc) for _ in range(3))
    raw.MJDToDate(51544, day, month, year)
    assert (day[0], month[0], year[0]) == (1, 1, 2000)

    with pytest.raises(ctypes.ArgumentError, match="float64, not float32"):
        raw.CalcPhaseSigma(v.astype(np.float32), out, 1.0)
    with pytest.raises(ctypes.ArgumentError, match="contiguous"):
        raw.CalcPhaseSigma(np.repeat(v, 2)[::2], out, 1.0)
    frozen = np.zeros(1)
    frozen.flags.writeable = False
    with pytest.raises(ctypes.ArgumentError, match="read-only"):
        raw.CalcPhaseSigma(v, frozen, 1.0)


def test_progress_callbacks_and_stop_flag(capsys):
    v = varnis.data_vector(np.cumsum(np.random.default_rng(2).normal(size=300)))
    sigma = np.zeros(1)
    stop = varnis.StopFlag()
    assert raw.CalcPhaseModSigma(v, sigma, 2.0, 2, stop, 1, varnis.print_progress) == 295
    assert "Calculating Mod/Time Sigma (with gaps): 100 %" in capsys.readouterr().err
    stop.set()
    assert raw.CalcPhaseModSigma(v, sigma, 2.0, 2, stop, 0, varnis.no_progress) == 1
