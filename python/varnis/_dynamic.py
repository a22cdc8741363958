"""The dynamic Allan deviation: the overlapping Allan deviation in a window sliding along
the record, which shows when a clock changes (VarnisX CalcDynamicAllanDev)."""
import numbers
from dataclasses import dataclass

import numpy as np

from ._library import NULL_CALLBACK, VarnisError, rawx
from ._records import Record
from ._sweep import averaging_factors


@dataclass(frozen=True)
class DynamicResult:
    """The matrix of dynamic_adev: ``devs`` and ``ns`` (windows x factors: the deviation
    and its number of terms; NaN and 0 where a window has no usable term), ``times``
    (seconds from the first sample to the middle of each window), ``starts`` (the
    0-based sample each window starts at), ``taus`` (seconds) and ``m`` of the columns,
    ``window`` and ``step`` (in samples of the data) and ``rate``."""
    times: np.ndarray
    starts: np.ndarray
    taus: np.ndarray
    m: np.ndarray
    devs: np.ndarray
    ns: np.ndarray
    window: int
    step: int
    rate: float
    data_type: str


def _samples(value, name, default):
    if value is None:
        return default
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be a whole number of samples, not {type(value).__name__}")
    if value < 1:
        raise ValueError(f"{name} must be at least 1 sample, not {value}")
    return int(value)


def dynamic_adev(data, rate=1.0, data_type="phase", *, window=None, step=None, taus="octave",
                 zero_is_gap=False):
    """Dynamic Allan deviation: the overlapping Allan deviation of the samples in a
    window of `window` samples that slides along the record in steps of `step` samples,
    at the averaging factors of taus (each with 2 m < window).

    window: samples per window (default: a tenth of the record, at least 10 samples
        or the whole record); step: samples between window starts (default: a quarter
        of the window). Both count samples of data as given; frequency data are
        integrated to phase once, a window of W frequency samples being the W + 1 phase
        samples around it.
    data, rate, data_type, taus and zero_is_gap as for the sweeps (varnis.oadev). Gaps
    (NaN) leave out the terms they touch; the gaps at the ends of the record are dropped
    before the windows are laid, and times still count from the first sample of data.

    Returns a DynamicResult: devs[r, c] is the deviation of window r at factor m[c];
    without gaps it equals varnis.oadev of that window's samples. varnis.plot_dynamic
    draws it as a heat map. Raises ValueError or TypeError for unusable arguments
    (a window longer than the record, none of taus fitting the window).
    """
    record = Record(data, rate, data_type, zero_is_gap)
    extra = 1 if data_type == "freq" else 0  # phase samples a window has beyond its data samples
    given = record.count(data_type)
    window = _samples(window, "window", max(given // 10, min(given, 10)))
    step = _samples(step, "step", max(1, window // 4))
    if window > given:
        raise ValueError(f"window of {window} samples is longer than the record ({given} samples "
                         f"without the gaps at its ends)")
    limit = (window + extra - 1) // 2
    if limit < 1:
        raise ValueError(f"dynamic_adev cannot produce any row: a window of {window} samples is too short "
                         f"for any averaging factor")
    factors = averaging_factors(taus, record.rate, limit)
    if factors.size == 0:
        raise ValueError(f"no tau of taus fits the window: m up to {limit} (tau = {limit / record.rate:g} s)")
    phase = record.vector("phase")
    count = (int(phase[0]) - (window + extra)) // step + 1
    m = np.ascontiguousarray(factors, dtype=np.intc)
    devs = np.zeros((count, m.size))
    ns = np.zeros((count, m.size), dtype=np.intc)
    code = rawx.CalcDynamicAllanDev(phase, record.tau0, window + extra, step, m, m.size, devs, ns, count,
                                    None, 0, NULL_CALLBACK)
    if code != count:
        raise VarnisError("CalcDynamicAllanDev", code)
    starts = record.offset + step * np.arange(count)
    times = (starts + (window + extra - 1) / 2.0) / record.rate
    return DynamicResult(times, starts, factors / record.rate, factors, devs, ns.astype(np.int64), window, step,
                         record.rate, data_type)
