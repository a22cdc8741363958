"""Noise identification, degrees of freedom and confidence intervals of a sweep's rows,
all through the libraries' own exports."""
import ctypes
import math
import numbers

import numpy as np

from ._library import VarnisError, raw, rawx
from ._records import modified_allan, overlapping_allan

#: NoiseID's bandwidth factor 2 pi fh tau0, with the measurement bandwidth fh taken as
#: the Nyquist frequency 1 / (2 tau0).
BANDWIDTH_FACTOR = math.pi

#: Fewest block averages the B1 test identifies the noise from.
MIN_AVERAGES = 4

#: Fewest decimated or averaged points the lag-1 identification works from.
MIN_POINTS = 32

# "phase blocks": phase data, identified on the frequency averaged over blocks of m.
_DATA_TYPE_CODES = {"phase": 0, "freq": 1, "phase blocks": 2}

# NoiseID's tests, by the variance kind it takes.
_B1_TEST, _RATIO_TEST, _HADAMARD_TEST = 0, 2, 4


def identify_noise(record, m, hadamard):
    """The dominant power-law noise alpha at averaging factor m, or None when the record
    holds fewer than MIN_AVERAGES block averages of m samples.

    Where the frequency averaged over blocks of m samples keeps at least MIN_POINTS
    points, the lag-1 autocorrelation names the noise (lag1_noise), down to random-run
    noise. Phase noise it names is split into white and flicker by the R(n) test
    (_phase_noise) instead: decimation folds the flicker phase noise above the new
    Nyquist frequency into white, so the lag-1 estimate of flicker phase noise wanders
    between 1 and 2 from m = 16 on, while the modified Allan variance reads every sample.
    With fewer points, the B1 test of the block averages names it (_b1_noise), and
    where that finds flicker-walk noise the Hadamard statistics ask the Hadamard test
    whether it is random-run noise."""
    identified = lag1_noise(*_averaged_frequency(record, m), m)
    if identified is not None:
        alpha = identified[0]
        return _phase_noise(record, m) if alpha >= 1 else alpha
    alpha = _b1_noise(record, m)
    if alpha == -3 and hadamard:
        return _hadamard_noise(record, m)
    return alpha


def vectors_read(record):
    """The kinds of vector that identify_noise reads: the phase, and the frequency unless
    a phase record without gaps gives the averaged frequency from its block ends."""
    if record.data_type == "phase" and record.gap_free("phase"):
        return {"phase"}
    return {"phase", "freq"}


def _averaged_frequency(record, m):
    """(vector, kind) for lag1_noise of the frequency averaged over blocks of m sampling
    intervals: from the phase at the block ends where that serves (one difference per
    block, read in place: N/m samples per factor and no copy); otherwise the frequency
    vector averaged over the samples of each block that are no gap."""
    if "freq" not in vectors_read(record):
        return record.vector("phase"), "phase blocks"
    return record.vector("freq"), "freq"


def lag1_noise(vector, data_type, m):
    """(alpha, estimate, points) of VarnisX's CalcLag1NoiseID on a data vector of the
    kind data_type ('phase': decimated by m, 'freq': averaged over blocks of m, or
    'phase blocks': phase read as the frequency averaged over blocks of m) at factor m;
    None when it refuses (fewer than MIN_POINTS points without a gap, or a series
    without variation)."""
    alpha, estimate = np.zeros(1, dtype=np.intc), np.zeros(1)
    points = rawx.CalcLag1NoiseID(vector, _DATA_TYPE_CODES[data_type], m, alpha, estimate)
    if points < 0:
        return None
    return int(alpha[0]), float(estimate[0]), points


def _b1_noise(record, m):
    """The noise at factor m by the B1 test, or None with fewer than MIN_AVERAGES block
    averages.

    The phase at the ends of the blocks of m intervals gives the block averages of the
    frequency. Their B1 ratio (standard over Allan variance; NoiseID's B1 test) tells
    the frequency noises apart, from white to flicker-walk frequency noise. Phase noise
    is split into white and flicker by the ratio of the modified to the overlapping
    Allan variance at max(m, 2) (NoiseID's R(n) test)."""
    blocks = record.decimated(m)
    tau = m * record.tau0
    deviation, allan = ctypes.c_double(), ctypes.c_double()
    used = raw.CalcPhaseStdDev(blocks, ctypes.byref(deviation), tau)
    if used < MIN_AVERAGES or raw.CalcPhaseSigma(blocks, ctypes.byref(allan), tau) < 0 \
            or not allan.value > 0.0:
        return None
    alpha = raw.NoiseID(used, _B1_TEST, m, BANDWIDTH_FACTOR, (deviation.value / allan.value) ** 2)
    return _phase_noise(record, m) if alpha == 1 else alpha


def _hadamard_noise(record, m):
    """-4 (random-run) or -3 (flicker-walk frequency noise) at factor m, by the B1
    ratio of the block averages read as phase (CalcStarB1; NoiseID's Hadamard test). It
    is not asked below flicker-walk noise, where its boundary between white frequency
    and phase noise lies on white frequency noise's own expected value."""
    blocks = record.decimated(m)
    used = raw.CalcPhaseStdDev(blocks, ctypes.byref(ctypes.c_double()), m * record.tau0)
    ratio = raw.CalcStarB1(blocks, 0, m * record.tau0, 1)
    if used >= MIN_AVERAGES and ratio > 0.0 and \
            raw.NoiseID(used, _HADAMARD_TEST, m, BANDWIDTH_FACTOR, ratio) == -4:
        return -4
    return -3


def _phase_noise(record, m):
    """2 (white phase noise) or 1 (flicker phase noise) at averaging factor m."""
    n = max(m, 2)
    if record.count("phase") < 3 * n:
        return 1
    try:
        modified, allan = modified_allan(record, n)[0], overlapping_allan(record, n)[0]
    except VarnisError:
        return 1
    if not allan > 0.0:
        return 1
    alpha = raw.NoiseID(record.count("phase"), _RATIO_TEST, n, BANDWIDTH_FACTOR, (modified / allan) ** 2)
    return 2 if alpha == 2 else 1


def fill_unidentified(alphas):
    """Rows without an identification take the noise of the nearest smaller averaging
    factor that has one; rows before the first identification take the first one, and
    white frequency noise (0) when no row is identified."""
    known = [a for a in alphas if a is not None]
    last = known[0] if known else 0
    filled = []
    for a in alphas:
        last = a if a is not None else last
        filled.append(last)
    return filled


def _clamped(alpha, low, high):
    return min(max(alpha, low), high)


def _usable(edf):
    return edf if edf > 0.0 and math.isfinite(edf) else math.nan


# Degrees-of-freedom rules: (record, m, alpha) -> EDF, NaN where the export has none.
# N is the number of phase samples, k = (N - 1) // m + 1 the number of block ends
# that the non-overlapping forms use; T/tau = (N - 1) / m.

def allan_edf(record, m, alpha):
    """CalcDegFree(alpha, N, m); alpha clamped to 2..-2."""
    return _usable(raw.CalcDegFree(_clamped(alpha, -2, 2), record.count("phase"), m))


def block_allan_edf(record, m, alpha):
    """CalcDegFree(alpha, k, 1) of the block ends; alpha clamped to 2..-2."""
    return _usable(raw.CalcDegFree(_clamped(alpha, -2, 2), (record.count("phase") - 1) // m + 1, 1))


def modified_edf(record, m, alpha):
    """EDF(beta = alpha - 2, m, N); alpha clamped to 2..-2."""
    return _usable(raw.EDF(_clamped(alpha, -2, 2) - 2, m, record.count("phase")))


def hadamard_edf(record, m, alpha):
    """HadamardEDF(N, m, beta = alpha - 2); alpha clamped to 0..-4."""
    return _usable(raw.HadamardEDF(record.count("phase"), m, _clamped(alpha, -4, 0) - 2))


def block_hadamard_edf(record, m, alpha):
    """HadamardEDF(k, 1, beta = alpha - 2) of the block ends; alpha clamped to 0..-4."""
    return _usable(raw.HadamardEDF((record.count("phase") - 1) // m + 1, 1, _clamped(alpha, -4, 0) - 2))


def total_edf(record, m, alpha):
    """TotvarEDF(alpha, T/tau); alpha clamped to 0..-2."""
    return _usable(raw.TotvarEDF(_clamped(alpha, -2, 0), (record.count("phase") - 1) / m))


def modified_total_edf(record, m, alpha):
    """ModTotvarEDF(alpha, T/tau); alpha clamped to 2..-2."""
    return _usable(raw.ModTotvarEDF(_clamped(alpha, -2, 2), (record.count("phase") - 1) / m))


def hadamard_total_edf(record, m, alpha):
    """HadTotvarEDF(alpha, T/tau) with T the frequency record's length; alpha clamped
    to 0..-4."""
    return _usable(raw.HadTotvarEDF(_clamped(alpha, -4, 0), record.count("freq") / m))


def check_confidence(confidence):
    """The two-sided confidence level as a float in the range CalcInvChiSqr serves."""
    if isinstance(confidence, bool) or not isinstance(confidence, numbers.Real):
        raise TypeError(f"confidence must be a number between 0 and 1, not {type(confidence).__name__}")
    if not 0.0 < confidence < 1.0 - 2e-5:
        raise ValueError(f"confidence must lie between 0 and 0.99998, not {confidence}")
    return float(confidence)


def interval(deviation, edf, confidence):
    """(lower, upper) two-sided confidence limits of a deviation with edf degrees of
    freedom: deviation * sqrt(edf / chi2) at the two tails; NaN without an EDF."""
    if math.isnan(edf):
        return math.nan, math.nan
    tail = (1.0 - confidence) / 2.0
    chi2_high = raw.CalcInvChiSqr(tail, edf)
    chi2_low = raw.CalcInvChiSqr(1.0 - tail, edf)
    if not (chi2_high > 0.0 and chi2_low > 0.0):
        return math.nan, math.nan
    return deviation * math.sqrt(edf / chi2_high), deviation * math.sqrt(edf / chi2_low)
