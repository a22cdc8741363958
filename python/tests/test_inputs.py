"""Unusable inputs are refused with the reason; library refusals name the export, the
averaging factor and the code."""
import inspect

import numpy as np
import pytest

import varnis

PHASE = np.cumsum(np.random.default_rng(1).normal(0.0, 1e-9, 100))

BAD_INPUTS = [
    # (arguments, keyword arguments, exception, words of the message)
    (([],), {}, ValueError, "empty"),
    ((np.ones((50, 2)),), {}, ValueError, "one-dimensional"),
    (("1e-9 2e-9 3e-9",), {}, TypeError, "text"),
    ((["1e-9", "2e-9", "3e-9"],), {}, TypeError, "real numbers"),
    (([True, False, True],), {}, TypeError, "real numbers"),
    (([1.0, None, 2.0],), {}, TypeError, "real numbers"),
    ((np.r_[PHASE[:10], np.inf, PHASE[:10]],), {}, ValueError, "infinite value (sample 10)"),
    ((np.r_[PHASE[:10], np.nan, -np.inf],), {}, ValueError, "infinite"),
    ((PHASE,), {"data_type": "frequency"}, ValueError, "data_type"),
    ((PHASE,), {"rate": 0.0}, ValueError, "rate"),
    ((PHASE,), {"rate": "1"}, TypeError, "rate"),
    ((PHASE,), {"taus": "octaves"}, ValueError, "taus"),
    ((PHASE,), {"taus": [2.7]}, ValueError, "whole number"),
    ((PHASE,), {"taus": [0.0, 1.0]}, ValueError, "positive"),
    ((PHASE,), {"taus": [-2.0]}, ValueError, "positive"),
    ((PHASE,), {"taus": [np.nan]}, ValueError, "positive"),
    ((PHASE,), {"taus": [0.5], "rate": 1.0}, ValueError, "whole number"),
    ((PHASE,), {"taus": ["1"]}, TypeError, "taus"),
    ((PHASE,), {"taus": []}, ValueError, "no time"),
    ((PHASE,), {"taus": [1e6]}, ValueError, "no tau"),
    ((PHASE,), {"m": 2}, TypeError, "unexpected keyword"),
    ((PHASE,), {"confidence": 1.5}, ValueError, "confidence"),
    ((PHASE,), {"workers": 0}, ValueError, "workers"),
    ((PHASE,), {"workers": 1.5}, TypeError, "workers"),
    ((PHASE,), {"zero_is_gap": "yes"}, TypeError, "zero_is_gap"),
    (([1e-9],), {}, ValueError, "cannot produce any row"),
    (([np.nan, 0.0, np.nan],), {"zero_is_gap": True, "data_type": "freq"}, ValueError, "gap"),
]


def hat(data, **options):
    return varnis.three_cornered_hat(data, data, data, **options)


hat.__wrapped__ = varnis.three_cornered_hat  # the options it takes


@pytest.mark.parametrize("args, kwargs, error, words", BAD_INPUTS)
@pytest.mark.parametrize("function", [varnis.oadev, varnis.mtie, varnis.theoh, hat, varnis.dynamic_adev,
                                      varnis.noise_id])
def test_bad_input_is_refused_with_its_reason(function, args, kwargs, error, words):
    accepted = inspect.signature(getattr(function, "__wrapped__", function)).parameters
    if any(name not in accepted for name in kwargs) and words != "unexpected keyword":
        pytest.skip(f"{function.__name__} takes no {', '.join(kwargs)}")
    with pytest.raises(error, match=words.replace("(", r"\(").replace(")", r"\)")):
        function(*args, **kwargs)


def test_library_refusal_names_export_factor_and_code():
    flat = np.full(20, 5e-9)  # no positive total variance
    with pytest.raises(varnis.VarnisError, match="TotvarCalc.*m=1.*-2") as error:
        varnis.totdev(flat)
    assert (error.value.function, error.value.m, error.value.code) == ("TotvarCalc", 1, -2)
    # Gaps that leave no term at one factor.
    sparse = np.full(30, np.nan)
    sparse[[0, 1, 2, 29]] = [1e-9, 2e-9, 4e-9, 3e-9]
    with pytest.raises(varnis.VarnisError, match="CalcPhaseOverlapSigma.*m=4"):
        varnis.oadev(sparse, taus=[1, 4])
