"""The sweeps against the NumPy evaluations of the statistics: gap-free records in both
kinds of data, NaN gaps, and zeros that are values."""
import os
import pickle
import signal
import time

import numpy as np
import pytest

import numpy_oracle as oracle
import varnis

RATE = 4.0
TAU0 = 1.0 / RATE
NAMES = list(varnis.STATISTICS)


def expected(name, phase, m):
    """(deviation, terms) of the NumPy evaluation on phase samples."""
    if name in ("mtie", "tierms"):
        return getattr(oracle, name)(phase, m)
    if name == "htotdev":
        return oracle.htotdev(np.diff(phase) / TAU0, m)
    if name == "theoh":
        return oracle.theoh(phase, TAU0, m)[:2]
    return getattr(oracle, name)(phase, TAU0, m)


def expected_span(name, phase, m):
    """The row's averaging time in sampling intervals."""
    return {"theo1": 0.75 * m, "theoh": oracle.theoh(phase, TAU0, m)[2] if m > phase.size // 10 else m}.get(name, m)


@pytest.fixture(scope="module")
def phase():
    # A clock's phase in seconds: a 1 ms offset, random-walk and white phase noise.
    rng = np.random.default_rng(7)
    return 1e-3 + np.cumsum(rng.normal(0.0, 1e-11, 600)) + rng.normal(0.0, 1e-10, 600)


@pytest.mark.parametrize("name", NAMES)
def test_sweep_rows_are_the_numpy_evaluations_in_phase_and_frequency(name, phase):
    sweep = getattr(varnis, name)
    result = sweep(phase, rate=RATE, workers=2)
    taus, devs, errs, ns = result
    first = 16 if name == "theo1" else 1  # Theo1's factors are even, from 10
    assert list(result.m) == [first * 2**k for k in range(len(result.m))]  # octave up to the limit
    assert 2 * result.m[-1] > varnis.STATISTICS[name].limit(phase.size)
    for m, tau, dev, n in zip(result.m, taus, devs, ns):
        want, terms = expected(name, phase, m)
        assert n == terms and dev == pytest.approx(want, rel=1e-10), m
        assert tau == expected_span(name, phase, m) * TAU0
    np.testing.assert_array_equal(errs, devs / np.sqrt(ns))

    frequency = sweep(np.diff(phase) / TAU0, rate=RATE, data_type="freq", workers=1)
    np.testing.assert_allclose(frequency.devs, devs, rtol=1e-10)
    np.testing.assert_array_equal(frequency.ns, ns)
    np.testing.assert_array_equal(frequency.alpha, result.alpha)


def test_tau_series_and_chosen_taus(phase):
    assert list(varnis.oadev(phase, taus="decade").m) == [1, 2, 4, 10, 20, 40, 100, 200]
    assert list(varnis.mdev(phase, taus="all").m) == list(range(1, 201))
    chosen = varnis.oadev(phase, rate=RATE, taus=[2.0, 0.25, 2.0, 1e6, 0.5 + 1e-13])
    assert list(chosen.m) == [1, 2, 8]
    np.testing.assert_array_equal(chosen.taus, [0.25, 0.5, 2.0])
    copy = pickle.loads(pickle.dumps(chosen))
    assert list(copy.m) == [1, 2, 8] and copy.statistic == "oadev" and len(copy) == 4


def test_nan_gaps_skip_the_terms_they_touch(phase):
    x = phase.copy()
    x[[0, 1, 250, 252, 400, -1]] = np.nan  # gaps at both ends and inside
    inner = x[2:-1]
    bridged = inner.copy()
    gaps = np.isnan(bridged)
    bridged[gaps] = np.interp(np.flatnonzero(gaps), np.flatnonzero(~gaps), bridged[~gaps])
    for name in NAMES:
        if name in ("htotdev", "theoh"):  # fill their gaps by their own rules
            continue
        # A term of pdev spans 2m samples: beyond m = 64 every one touches a gap.
        taus = np.array([1, 2, 4, 8, 16, 32, 64]) / RATE if name == "pdev" else "octave"
        result = getattr(varnis, name)(x, rate=RATE, taus=taus)
        reference = bridged if name in ("mtotdev", "ttotdev", "theo1") else inner
        for m, dev, n in zip(result.m, result.devs, result.ns):
            want, terms = expected(name, reference, m)
            assert n == terms and dev == pytest.approx(want, rel=1e-10), (name, m)


def quantised(rng, count):
    """White noise read by a counter with a 1 ps resolution: a fifth of it 0.0."""
    return np.round(rng.normal(0.0, 2.0, count)) * 1e-12


def test_zeros_are_values_unless_marked_as_gaps():
    # The same records away from zero are the reference: a phase offset changes no
    # statistic, and frequency data are compared with their phase.
    rng = np.random.default_rng(3)
    x, y = quantised(rng, 1000), quantised(rng, 1000)
    assert 0.15 < np.mean(x == 0.0) < 0.25
    away = {"phase": x + 1e-9, "freq": 1e-9 + np.concatenate([[0.0], np.cumsum(y)])}
    for name in NAMES:
        taus = [1, 2, 4, 8, 16, 32] if name in ("mtotdev", "ttotdev", "htotdev") else "octave"
        sweep = getattr(varnis, name)
        for data, data_type in ((x, "phase"), (y, "freq")):
            result = sweep(data, data_type=data_type, taus=taus)
            reference = sweep(away[data_type], taus=taus)
            np.testing.assert_allclose(result.devs, reference.devs, rtol=1e-10, err_msg=name)
            np.testing.assert_array_equal(result.ns, reference.ns, err_msg=name)
            np.testing.assert_array_equal(result.alpha, reference.alpha, err_msg=name)
    # Read as gaps, the zeros lose terms and bias the white phase noise high.
    as_gaps = varnis.oadev(x, zero_is_gap=True)
    assert as_gaps.devs[0] / varnis.oadev(x).devs[0] > 1.05


def test_thread_count_does_not_change_results(phase):
    for name in ("oadev", "totdev", "mtie"):
        one = getattr(varnis, name)(phase, workers=1)
        two = getattr(varnis, name)(phase, workers=2)
        for a, b in zip(one, two):
            np.testing.assert_array_equal(a, b)


def test_a_forked_process_runs_sweeps_on_threads_of_its_own(phase):
    # The parent's pool of threads is kept between sweeps; a forked child has none of
    # its threads and must not queue rows for them (it would wait for ever).
    expected_devs = varnis.oadev(phase, workers=2).devs
    child = os.fork()
    if child == 0:
        try:
            same = np.array_equal(varnis.oadev(phase, workers=2).devs, expected_devs)
        finally:
            os._exit(0 if same else 1)
    deadline = time.monotonic() + 60
    while (done := os.waitpid(child, os.WNOHANG))[0] == 0 and time.monotonic() < deadline:
        time.sleep(0.01)
    if done[0] == 0:
        os.kill(child, signal.SIGKILL)
        os.waitpid(child, 0)
        pytest.fail("the sweep in the forked process did not end")
    assert os.waitstatus_to_exitcode(done[1]) == 0


def test_confidence_intervals_and_noise_types():
    # White frequency noise: every row says so, and the interval holds the value.
    rng = np.random.default_rng(11)
    phase = np.cumsum(rng.normal(0.0, 1e-12, 20000))
    result = varnis.oadev(phase, taus=[1, 4, 16, 64])
    assert list(result.alpha) == [0, 0, 0, 0]
    assert np.all(result.ci_lower < result.devs) and np.all(result.devs < result.ci_upper)
    edf = [varnis.raw.CalcDegFree(0, phase.size, m) for m in (1, 4, 16, 64)]
    np.testing.assert_allclose(result.edf, edf)
    wider = varnis.oadev(phase, taus=[1, 4, 16, 64], confidence=0.95)
    assert np.all(wider.ci_upper - wider.ci_lower > result.ci_upper - result.ci_lower)
    # White phase noise is told from flicker phase noise.
    assert list(varnis.mdev(rng.normal(0.0, 1e-12, 20000), taus=[1, 4, 16]).alpha) == [2, 2, 2]
    # Statistics without an EDF have no interval; rows with one term are kept.
    tie = varnis.tierms(phase[:10], taus="all")
    assert np.isnan(tie.edf).all() and np.isnan(tie.ci_lower).all() and tie.ns[-1] == 1
