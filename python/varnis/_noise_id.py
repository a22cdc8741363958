"""Noise identification by the lag-1 autocorrelation (VarnisX CalcLag1NoiseID): the
power-law noise at each averaging factor from the record decimated (phase) or averaged
(frequency) by it, at every factor that leaves at least MIN_POINTS points."""
from dataclasses import dataclass

import numpy as np

from ._confidence import MIN_POINTS, lag1_noise
from ._library import VarnisError
from ._records import Record
from ._sweep import averaging_factors


def limit(samples, data_type):
    """The largest factor that leaves MIN_POINTS points of `samples` samples."""
    return (samples - 1) // (MIN_POINTS - 1) if data_type == "phase" else samples // MIN_POINTS


@dataclass(frozen=True)
class NoiseIdResult:
    """The rows of noise_id: ``taus`` (seconds), ``m``, ``alpha`` (the power-law noise,
    2 white phase ... -4 random-run frequency), ``estimate`` (alpha before rounding) and
    ``points`` (the decimated or averaged points behind the row)."""
    taus: np.ndarray
    m: np.ndarray
    alpha: np.ndarray
    estimate: np.ndarray
    points: np.ndarray
    data_type: str
    rate: float


def noise_id(data, rate=1.0, data_type="phase", taus="octave", *, zero_is_gap=False):
    """Power-law noise type at each averaging factor by the lag-1 autocorrelation
    (VarnisX CalcLag1NoiseID).

    At factor m the record is decimated (phase: every m-th sample) or averaged
    (frequency: blocks of m samples), then differenced until the lag-1 ratio
    delta = r1 / (1 + r1) of its lag-1 autocorrelation r1 falls below 0.25, at most
    twice; alpha = 2 - 2 (delta + d) for phase, -2 (delta + d) for frequency data (d
    differences), rounded and limited to -4 .. 2. It works at every factor that leaves
    at least 32 points: m up to (N - 1) / 31 for N phase samples, F / 32 for F frequency
    samples; taus beyond that are dropped. Phase data identify down to about -3 (two
    differences); flicker phase noise decimated by 16 or more reads between 1 and 2.

    data, rate, data_type, taus and zero_is_gap as for the sweeps (varnis.oadev);
    gaps (NaN) are left out of the points and pairs.

    Returns a NoiseIdResult (taus, m, alpha, estimate, points). Raises ValueError or
    TypeError for unusable arguments or a record too short for 32 points, VarnisError
    when a factor has fewer than 32 points without a gap or no variation.
    """
    record = Record(data, rate, data_type, zero_is_gap)
    samples = record.count(data_type)
    most = limit(samples, data_type)
    if most < 1:
        raise ValueError(f"noise_id cannot produce any row: {samples} samples leave fewer than "
                         f"{MIN_POINTS} points at every averaging factor")
    factors = averaging_factors(taus, record.rate, most)
    if factors.size == 0:
        raise ValueError(f"no tau of taus fits the record: noise_id reaches tau = {most / record.rate:g} s "
                         f"(m = {most})")
    vector = record.vector(data_type)
    rows = []
    for m in factors:
        row = lag1_noise(vector, data_type, int(m))
        if row is None:
            raise VarnisError("CalcLag1NoiseID", -1, int(m))
        rows.append(row)
    alpha, estimate, points = (np.array([r[i] for r in rows]) for i in range(3))
    return NoiseIdResult(factors / record.rate, factors, alpha.astype(np.int64), estimate,
                         points.astype(np.int64), data_type, record.rate)
