"""The tau sweep: one statistic over a series of averaging factors of one record, the
factors run on a pool of threads (the library's calls release the interpreter lock),
and each row completed with its noise type, degrees of freedom and confidence interval.

A statistic is described by a :class:`Statistic`: a callable giving (deviation, terms)
at one averaging factor, or one giving the whole sweep where an export computes every
factor in one call (Theo1 shares its work between factors), its largest factor, its
rule for the degrees of freedom and the kind of data it is computed on. The companion
library's statistics are described that way over its raw layer (varnis.rawx, bound
with varnis._library.load and Exports from the listing of varnisx.h), for example::

    pdev = Statistic("pdev", "Parabolic deviation", "phase",
                     lambda record, m: value_and_terms(rawx.CalcParabolicDev, m,
                                                       record.vector("phase"), record.tau0, m),
                     limit=lambda n: (n - 1) // 2)
    sweep(pdev, data, rate=1.0, data_type="freq", taus="octave")
"""
import math
import numbers
import os
import threading
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass
from typing import Callable, Optional

import numpy as np

from . import _confidence
from ._records import Record

TAU_SERIES = ("octave", "decade", "all")


@dataclass(frozen=True)
class Statistic:
    name: str  # the function's name, e.g. "oadev"
    title: str  # for plots, e.g. "Overlapping Allan deviation"
    kind: str  # the data it is computed on: "phase", "freq" or "bridged phase"
    # (record, m) -> (deviation, number of terms); raises VarnisError on a refusal.
    # None when compute_sweep gives the rows.
    compute: Optional[Callable]
    # (number of samples of the record in `kind`) -> largest averaging factor
    limit: Callable[[int], int]
    # (record, m, alpha) -> EDF (NaN where there is none); None: no EDF, no interval
    edf: Optional[Callable] = None
    # identify the noise with the Hadamard test (down to random-run noise)
    hadamard_noise: bool = False
    # the export rewrites the data vector's header while it runs: one call at a time
    serial: bool = False
    unit: str = ""  # of the deviation: "" (fractional frequency) or "s"
    # (record, factors) -> (deviations, terms, averaging times in sampling intervals)
    # of every factor in one call, for an export that shares its work between factors;
    # raises VarnisError on a refusal
    compute_sweep: Optional[Callable] = None
    # (taus, record, limit) -> the averaging factors of a taus argument, for a statistic
    # whose factors follow a rule of their own; None: averaging_factors
    factor_rule: Optional[Callable] = None
    # the averaging time of factor m is tau_per_factor * m sampling intervals (Theo1: 0.75)
    tau_per_factor: float = 1.0


class SweepResult(tuple):
    """The rows of a sweep. Unpacks as ``taus, devs, errs, ns`` (errs = devs / sqrt(ns));
    also carries per row ``m`` (the averaging factor), ``edf``, ``ci_lower`` and
    ``ci_upper`` (the two-sided interval at ``confidence``; NaN where the statistic has
    no EDF) and ``alpha`` (the identified power-law noise: 2 white phase, 1 flicker
    phase, 0 white frequency, -1 flicker frequency, -2 random-walk frequency, -3
    flicker-walk frequency, -4 random-run frequency), plus ``statistic``, ``title``,
    ``unit``, ``data_type``, ``rate`` and ``confidence``."""

    def __new__(cls, taus, devs, errs, ns, **rows):
        result = super().__new__(cls, (taus, devs, errs, ns))
        result.__dict__.update(rows)
        return result

    def __getnewargs__(self):  # pickling: the rows' extra columns follow as its state
        return tuple(self)

    taus = property(lambda self: self[0])
    devs = property(lambda self: self[1])
    errs = property(lambda self: self[2])
    ns = property(lambda self: self[3])

    def __repr__(self, most=20):
        rows = [f"  tau={t:<12.6g} dev={d:<12.6g} n={n:<8d} edf={e:<10.4g} ci=[{lo:.6g}, {hi:.6g}] alpha={a}"
                for t, d, n, e, lo, hi, a in zip(self.taus[:most], self.devs, self.ns, self.edf,
                                                 self.ci_lower, self.ci_upper, self.alpha)]
        if len(self.taus) > most:
            rows.append(f"  ... {len(self.taus) - most} more rows")
        return f"<{self.statistic} of {self.data_type} data, {len(self.taus)} rows\n" + "\n".join(rows) + ">"


def averaging_factors(taus, rate, limit):
    """The averaging factors of a taus argument, ascending, none above limit (>= 1)."""
    if isinstance(taus, str):
        return factor_series(taus, limit)
    times = seconds(taus)
    factors = np.round(times * rate)
    off = np.abs(times * rate - factors) > 1e-9 * np.maximum(factors, 1.0)
    if off.any() or (factors < 1).any():
        tau = times[off | (factors < 1)][0]
        raise ValueError(f"tau = {tau} s is not a whole number of sampling intervals "
                         f"(rate {rate} Hz gives m = {tau * rate})")
    factors = np.unique(factors.astype(np.int64))
    return factors[factors <= limit]


def factor_series(taus, limit):
    """The factors 1 .. limit of the series named 'octave', 'decade' or 'all'."""
    if taus not in TAU_SERIES:
        raise ValueError(f"taus must be 'octave', 'decade', 'all' or times in seconds, not {taus!r}")
    if taus == "all":
        return np.arange(1, limit + 1)
    if taus == "octave":
        series = 2 ** np.arange(int(math.log2(limit)) + 2)
    else:
        series = np.outer(10 ** np.arange(int(math.log10(limit)) + 2), (1, 2, 4)).ravel()
    return series[series <= limit]


def seconds(taus):
    """A sequence of averaging times as a float64 array of positive seconds."""
    times = np.asarray(taus)
    if times.dtype.kind not in "fiu":
        raise TypeError(f"taus must be 'octave', 'decade', 'all' or times in seconds; got {times.dtype} values")
    times = times.astype(np.float64).ravel()
    if times.size == 0:
        raise ValueError("taus holds no time")
    bad = ~(np.isfinite(times) & (times > 0))
    if bad.any():
        raise ValueError(f"every tau must be a positive number of seconds; got {times[bad][0]}")
    return times


def _check_workers(workers, rows):
    if workers is None:
        return max(1, min(os.cpu_count() or 1, rows))
    if isinstance(workers, bool) or not isinstance(workers, numbers.Integral):
        raise TypeError(f"workers must be a whole number of threads, not {type(workers).__name__}")
    if workers < 1:
        raise ValueError(f"workers must be at least 1, not {workers}")
    return int(workers)


def sweep(statistic, data, rate=1.0, data_type="phase", taus="octave", *, confidence=0.683,
          workers=None, zero_is_gap=False):
    """Runs `statistic` (a Statistic) over the averaging factors of taus; see the
    module functions (varnis.oadev ...) for the arguments and the result."""
    confidence = _confidence.check_confidence(confidence)
    record = Record(data, rate, data_type, zero_is_gap)
    samples = record.count("freq" if statistic.kind == "freq" else "phase")
    limit = statistic.limit(samples)
    if limit < 1:
        kind = "frequency" if statistic.kind == "freq" else "phase"
        raise ValueError(f"{statistic.name} cannot produce any row: {samples} {kind} samples "
                         f"(without the gaps at the ends) are too few for any averaging factor")
    rule = statistic.factor_rule or (lambda t, r, most: averaging_factors(t, r.rate, most))
    factors = rule(taus, record, limit)
    if factors.size == 0:
        raise ValueError(f"no tau of taus fits the record: {statistic.name} of this record reaches "
                         f"tau = {statistic.tau_per_factor * limit / record.rate:g} s (m = {limit})")
    workers = _check_workers(workers, factors.size)
    if statistic.serial:
        workers = 1
    # The workers only read the vectors: every kind a row reads is made here.
    for kind in {statistic.kind} | _confidence.vectors_read(record):
        record.prepare(kind)

    def noise(span):  # identified at the whole number of sampling intervals nearest the row's tau
        return _confidence.identify_noise(record, max(1, int(round(span))), statistic.hadamard_noise)

    def row(m):
        deviation, terms = statistic.compute(record, int(m))
        return deviation, terms, noise(m)

    if statistic.compute_sweep is not None:
        devs, ns, spans = statistic.compute_sweep(record, factors)
        alphas = run_all(noise, spans, workers)
    else:
        rows = run_all(row, factors, workers)
        devs, ns, alphas = ([r[i] for r in rows] for i in range(3))
        spans = factors
    return _result(statistic, record, factors, spans, (devs, ns, alphas), confidence)


def run_all(function, items, workers):
    """[function(item) for item in items], on a pool of `workers` threads when more than one."""
    if workers == 1:
        return [function(item) for item in items]
    return list(_pool(workers).map(function, items))


# Pools of threads by their number of workers, kept for the sweeps that follow: starting
# and joining the threads of a pool for every sweep cost about a millisecond, as much as
# a row of 10^5 samples. A process forked from this one has none of their threads, so
# it starts its own pools.
_pools = {}
_pools_lock = threading.Lock()


def _forget_pools():
    global _pools, _pools_lock
    _pools, _pools_lock = {}, threading.Lock()


os.register_at_fork(after_in_child=_forget_pools)


def _pool(workers):
    with _pools_lock:
        if workers not in _pools:
            _pools[workers] = ThreadPoolExecutor(max_workers=workers, thread_name_prefix="varnis-sweep")
        return _pools[workers]


def _result(statistic, record, factors, spans, rows, confidence):
    devs = np.asarray(rows[0], dtype=np.float64)
    ns = np.asarray(rows[1], dtype=np.int64)
    alpha = _confidence.fill_unidentified(list(rows[2]))
    edf = np.full(factors.size, math.nan)
    limits = np.full((factors.size, 2), math.nan)
    if statistic.edf is not None:
        for i, m in enumerate(factors):
            edf[i] = statistic.edf(record, int(m), alpha[i])
            limits[i] = _confidence.interval(devs[i], edf[i], confidence)
    return SweepResult(np.asarray(spans, dtype=np.float64) / record.rate, devs, devs / np.sqrt(ns), ns,
                       m=factors, edf=edf, ci_lower=limits[:, 0], ci_upper=limits[:, 1],
                       alpha=np.array(alpha, dtype=np.int64), statistic=statistic.name,
                       title=statistic.title, unit=statistic.unit, data_type=record.data_type,
                       rate=record.rate, confidence=confidence)
