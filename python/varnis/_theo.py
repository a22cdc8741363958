"""Theo1 and TheoH sweeps: their averaging factors and the VarnisX exports that compute
every factor of a sweep in one call (the Theo1 sums of all factors share one pass over
the record per lag)."""
import math

import numpy as np

from ._library import NULL_CALLBACK, VarnisError, rawx
from ._sweep import TAU_SERIES, averaging_factors, factor_series, seconds

#: Theo1's averaging time is THEO1_TAU * m sampling intervals, m even.
THEO1_TAU = 0.75
#: Smallest Theo1 factor.
THEO1_SMALLEST = 10
#: Fewest samples TheoBR (the bias removal behind TheoH's long-term rows) needs.
THEOBR_SMALLEST_RECORD = 90


def theo1_limit(n):
    """Largest Theo1 factor of n phase samples (m <= n - 1), 0 when there is none."""
    return n - 1 if n - 1 >= THEO1_SMALLEST else 0


def theo1_factors(taus, record, limit):
    """Even Theo1 factors 10 .. limit: of a named series (octave 16, 32, 64, ...; decade
    10, 20, 40, 100, ...; all), or of times in seconds, each 0.75 m / rate."""
    if isinstance(taus, str) and taus in TAU_SERIES:
        series = factor_series(taus, limit)
        return series[(series >= THEO1_SMALLEST) & (series % 2 == 0)]
    if isinstance(taus, str):
        factor_series(taus, limit)  # raises, naming the series
    times = seconds(taus)
    exact = times * record.rate / THEO1_TAU
    factors = np.round(exact)
    wrong = (np.abs(exact - factors) > 1e-9 * np.maximum(factors, 1.0)) | (factors % 2 != 0) \
        | (factors < THEO1_SMALLEST)
    if wrong.any():
        tau = times[wrong][0]
        raise ValueError(f"tau = {tau} s is no Theo1 averaging time: Theo1 is defined at tau = 0.75 m / rate "
                         f"for an even whole number m >= {THEO1_SMALLEST} (rate {record.rate} Hz gives "
                         f"m = {tau * record.rate / THEO1_TAU:g})")
    factors = np.unique(factors.astype(np.int64))
    return factors[factors <= limit]


def theo1_sweep(record, factors):
    """(deviations, windows, averaging times in sampling intervals) of CalcTheo1Sweep."""
    m = np.ascontiguousarray(factors, dtype=np.intc)
    deviations, windows = np.zeros(m.size), np.zeros(m.size, dtype=np.intc)
    code = rawx.CalcTheo1Sweep(record.vector("phase"), record.tau0, m, m.size, deviations, windows,
                               None, 0, NULL_CALLBACK)
    if code != m.size:
        raise VarnisError("CalcTheo1Sweep", code)
    return deviations, windows, THEO1_TAU * m


def theoh_switch(n):
    """TheoH's default switch-over factor: a tenth of the record."""
    return n // 10


def theoh_theo1_factor(af):
    """The even Theo1 factor of a TheoBR row at af sampling intervals: nearest 4 af / 3."""
    return 2 * ((4 * af + 3) // 6)


def theoh_limit(n):
    """Largest TheoH factor of n phase samples: the last TheoBR row (Theo1 factor
    <= n - 1) on a record of at least 90 samples, else the last Allan row (n / 10)."""
    if n < THEOBR_SMALLEST_RECORD:
        return theoh_switch(n)
    return (6 * ((n - 1) // 2) + 2) // 4


def theoh_factors(taus, record, limit):
    """The averaging factors of taus, less those whose TheoBR row would repeat the Theo1
    factor of the one before (consecutive factors beyond the switch-over can share it)."""
    afs = averaging_factors(taus, record.rate, limit)
    switch = theoh_switch(record.count("phase"))
    rows = np.where(afs > switch, theoh_theo1_factor(afs), -afs)
    _, first = np.unique(rows, return_index=True)
    return afs[np.sort(first)]


def theoh_sweep(record, factors):
    """(deviations, terms, averaging times in sampling intervals) of CalcTheoHSweep with
    the default switch-over; an Allan row without a usable term raises VarnisError."""
    afs = np.ascontiguousarray(factors, dtype=np.intc)
    deviations = np.zeros(afs.size)
    terms, kinds = np.zeros(afs.size, dtype=np.intc), np.zeros(afs.size, dtype=np.intc)
    code = rawx.CalcTheoHSweep(record.vector("phase"), record.tau0, afs, afs.size, 0, deviations, None,
                               terms, kinds, None, 0, NULL_CALLBACK)
    if code != afs.size:
        raise VarnisError("CalcTheoHSweep", code)
    empty = np.flatnonzero(terms == 0)
    if empty.size:
        raise VarnisError("CalcTheoHSweep", -1, int(afs[empty[0]]))
    # An Allan row stands at af sampling intervals, a TheoBR row at 0.75 m of its factor.
    spans = np.where(kinds == 1, THEO1_TAU * theoh_theo1_factor(factors), factors)
    return deviations, terms, spans


def theoh_edf(allan_edf):
    """TheoH's EDF rule: the Allan rule on the Allan rows, none (NaN) on the TheoBR rows."""
    def edf(record, m, alpha):
        return allan_edf(record, m, alpha) if m <= theoh_switch(record.count("phase")) else math.nan
    return edf
