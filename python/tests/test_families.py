"""The friendly wrappers of the stability families against raw calls of the exports."""
import ctypes
import math

import numpy as np
import pytest

import varnis
from varnis import raw

D = ctypes.POINTER(ctypes.c_double)
QUIET = varnis.ProgressCallback(lambda percent, text: None)


def raw_value(name, vector, *args):
    out = ctypes.c_double()
    n = getattr(raw, name)(vector.ctypes.data_as(D), ctypes.byref(out), *args)
    return out.value, n


@pytest.fixture
def phase():
    rng = np.random.default_rng(21)
    x = 1e-3 + np.cumsum(rng.normal(0.0, 1e-11, 900)) + rng.normal(0.0, 1e-10, 900)
    x[[200, 201, 500]] = np.nan  # gaps
    return x


def test_phase_families_agree_with_raw_calls(phase):
    v = varnis.data_vector(phase)
    stop = ctypes.c_int(0)
    for m in (1, 2, 7, 32):
        assert varnis.mdev(phase, 2.0, m) == raw_value(
            "CalcPhaseModSigma", v, 2.0 * m, m, ctypes.byref(stop), 0, QUIET)
        sigma, n = varnis.mdev(phase, 2.0, m)
        assert varnis.tdev(phase, 2.0, m) == pytest.approx((2.0 * m * sigma / math.sqrt(3.0), n), rel=1e-15)
        assert varnis.ohdev(phase, 2.0, m) == raw_value("CalcPhaseOverlapHadamardDev", v, 2.0, m)
        assert varnis.totdev(phase, 2.0, m) == raw_value("TotvarCalc", v, 2.0, m, 0)
        assert varnis.mtotdev(phase, 2.0, m) == raw_value(
            "ModTotvarCalc", v, 2.0, m, ctypes.byref(stop), 0, QUIET)
        assert varnis.tierms(phase, m) == raw_value("TIErms", v, m)
        copy = v.copy()
        value, samples = raw_value("CalcMTIE", copy, m, ctypes.byref(stop), 0, QUIET)
        assert varnis.mtie(phase, m) == (value, samples - m)
    assert varnis.hdev(phase, 2.0) == raw_value("CalcPhaseHadamardDev", v, 2.0)


def test_frequency_forms_and_known_values():
    y = np.array([1.0, 3.0, 2.0, 4.0, 6.0, 5.0, 7.0])
    v = varnis.data_vector(y)
    assert varnis.hdev(y, 1.0, "frequency") == raw_value("CalcFreqHadamardDev", v)
    assert varnis.ohdev(y, 1.0, 2, "frequency") == raw_value("CalcFreqOverlapHadamardDev", v, 2)
    ramp = 0.5e-9 * np.arange(1, 101)
    assert varnis.mtie(ramp, 10)[0] == pytest.approx(5e-9, rel=1e-12)
    assert varnis.tierms(ramp, 10)[0] == pytest.approx(5e-9, rel=1e-12)
    # On gap-free data the modified Allan deviation at m = 1 is the overlapping one.
    x = np.cumsum(np.random.default_rng(3).normal(size=300)) * 1e-9
    assert varnis.mdev(x, 1.0, 1)[0] == pytest.approx(varnis.oadev(x, 1.0, 1)[0], rel=1e-12)


def test_refusals_raise_with_the_library_code():
    short = [1e-9, 2e-9, 4e-9]
    with pytest.raises(varnis.VarnisError) as error:
        varnis.mdev(short, 1.0, 2)
    assert error.value.code == -1
    with pytest.raises(varnis.VarnisError) as error:
        varnis.mtotdev(short, 1.0, 2)
    assert error.value.code == -2


def test_noise_id_is_the_raw_export():
    for kind, n, x in ((0, 1000, 1.0), (0, 1000, 50.0), (2, 8, 0.2), (2, 8, 0.9), (4, 100, 3.0)):
        assert varnis.noise_id(1000, kind, n, math.pi, x) == raw.NoiseID(1000, kind, n, math.pi, x)
    assert varnis.noise_id(1000, 2, 1, math.pi, 0.2) == 0  # R(n) test at n = 1
