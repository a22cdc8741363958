"""The companion library's surfaces against NumPy evaluations of their definitions: the
three-cornered hat, the dynamic Allan deviation, lag-1 noise identification and the
rules of Theo1's averaging times."""
import numpy as np
import pytest

import numpy_oracle as oracle
import varnis

RATE = 2.0


def clock(rng, level, count=400):
    """A clock's phase in seconds: white frequency noise of the given level."""
    return np.cumsum(rng.normal(0.0, level, count))


def test_three_cornered_hat_combines_the_pairwise_variances():
    rng = np.random.default_rng(21)
    a, b, c = clock(rng, 1e-12), clock(rng, 3e-12), clock(rng, 2e-12)
    ab, bc, ca = a - b, b - c, (c - a)[:350]  # the records may differ in length
    for statistic in ("oadev", "mdev", "pdev"):
        hat = varnis.three_cornered_hat(ab, bc, ca, rate=RATE, statistic=statistic)
        assert list(hat.m) == list(getattr(varnis, statistic)(ca, rate=RATE).m)
        for row, m in enumerate(hat.m):
            v_ab, v_bc, v_ca = (getattr(oracle, statistic)(x, 1 / RATE, m)[0] ** 2 for x in (ab, bc, ca))
            want = 0.5 * np.array([v_ab + v_ca - v_bc, v_ab + v_bc - v_ca, v_bc + v_ca - v_ab])
            np.testing.assert_allclose(hat.variances[row], want, rtol=1e-10, atol=1e-10 * v_ab)
            # A clock far more stable than the others can come out below zero: no deviation.
            np.testing.assert_array_equal(hat.devs[row], np.sqrt(np.where(want > 0, hat.variances[row], np.nan)))
    # Frequency records give the clocks of their phase.
    freq = varnis.three_cornered_hat(*(np.diff(x) * RATE for x in (ab, bc, ca)), rate=RATE, data_type="freq")
    np.testing.assert_allclose(freq.variances, varnis.three_cornered_hat(ab, bc, ca, rate=RATE).variances,
                               rtol=1e-9, atol=1e-30)
    with pytest.raises(ValueError, match="statistic must be one of"):
        varnis.three_cornered_hat(ab, bc, ca, statistic="mtie")


def test_dynamic_adev_is_the_allan_deviation_of_each_window():
    rng = np.random.default_rng(22)
    x = np.concatenate([[np.nan, np.nan], clock(rng, 1e-12, 300)])  # the gaps at the start are dropped
    x[150] = np.nan
    dynamic = varnis.dynamic_adev(x, rate=RATE, window=60, step=25, taus=[0.5, 2.0, 8.0])
    assert list(dynamic.m) == [1, 4, 16] and dynamic.devs.shape == (10, 3)
    np.testing.assert_array_equal(dynamic.starts, 2 + 25 * np.arange(10))
    np.testing.assert_allclose(dynamic.times, (dynamic.starts + 29.5) / RATE)
    for r, start in enumerate(dynamic.starts):
        for c, m in enumerate(dynamic.m):
            want, terms = oracle.oadev(x[start:start + 60], 1 / RATE, m)
            assert dynamic.ns[r, c] == terms and dynamic.devs[r, c] == pytest.approx(want, rel=1e-10)
    # Frequency data: a window of 60 frequency samples is the 61 phase samples around it.
    y = rng.normal(0.0, 1e-12, 300)
    freq = varnis.dynamic_adev(y, rate=RATE, data_type="freq", window=60, step=25, taus="octave")
    phase = np.concatenate([[0.0], np.cumsum(y) / RATE])
    want = oracle.oadev(phase[25:86], 1 / RATE, 2)[0]
    assert freq.devs[1, 1] == pytest.approx(want, rel=1e-10) and freq.times[1] == (25 + 30) / RATE
    with pytest.raises(ValueError, match="longer than the record"):
        varnis.dynamic_adev(y, window=1000)
    with pytest.raises(TypeError, match="step"):
        varnis.dynamic_adev(y, window=100, step=2.5)


@pytest.mark.parametrize("data_type", ["phase", "freq"])
def test_noise_id_follows_the_lag1_definition(data_type):
    rng = np.random.default_rng(23)
    # Flicker-like mixture so the series need differencing at some factors.
    samples = 31 * 64  # the last factor with 32 points: 63 for phase, 62 for frequency
    data = np.cumsum(rng.normal(size=samples)) * 1e-12 + rng.normal(0.0, 3e-12, samples)
    result = varnis.noise_id(data, rate=RATE, data_type=data_type, taus="all")
    assert result.m[-1] == (63 if data_type == "phase" else 62)
    for m, alpha, estimate, points in zip(result.m, result.alpha, result.estimate, result.points):
        series = data[::m] if data_type == "phase" else data[: samples // m * m].reshape(-1, m).mean(axis=1)
        want_alpha, want_estimate = oracle.lag1_alpha(series, data_type)
        assert points == series.size and estimate == pytest.approx(want_estimate, abs=1e-10), m
        assert alpha == want_alpha, m


def test_theo1_rows_stand_at_three_quarters_of_their_even_factor():
    x = clock(np.random.default_rng(24), 1e-12, 200)
    assert list(varnis.theo1(x).m) == [16, 32, 64, 128]
    assert list(varnis.theo1(x, taus="decade").m) == [10, 20, 40, 100]
    chosen = varnis.theo1(x, rate=RATE, taus=[6.0, 3.75, 6.0, 3e3])
    assert list(chosen.m) == [10, 16] and list(chosen.taus) == [3.75, 6.0]
    with pytest.raises(ValueError, match="no Theo1 averaging time.*m = 13.3"):
        varnis.theo1(x, rate=RATE, taus=[5.0])
    with pytest.raises(ValueError, match="cannot produce any row"):
        varnis.theo1(x[:10])
    # TheoH's factors beyond the switch-over that share a Theo1 factor give one row.
    assert list(varnis.theoh(x, taus=[30, 31, 32, 33]).m) == [30, 31, 33]


def test_sweep_rows_take_the_noise_type_of_the_lag1_autocorrelation_where_it_applies():
    rng = np.random.default_rng(31)
    for alpha in (2, 1, 0, -1, -2, -4):
        phase = oracle.power_law_phase(rng, 4096, alpha) * 1e-9
        result = varnis.ohdev(phase, taus=[1, 4])  # 4095 and 1023 frequency averages
        assert list(result.alpha) == [alpha, alpha], alpha
        if alpha <= 0:
            assert list(result.alpha) == list(varnis.noise_id(np.diff(phase), data_type="freq", taus=[1, 4]).alpha)
        else:  # decimated flicker phase noise reads as white too: the R(n) test splits them
            assert list(varnis.mdev(phase, taus=[16, 32, 64]).alpha) == [alpha] * 3
    # Random-run noise, which the B1 test of the Allan statistics cannot name.
    assert varnis.oadev(phase, taus=[1]).alpha[0] == -4
