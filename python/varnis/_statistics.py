"""The stability statistics as sweeps over averaging factors, each through the
libraries' exports (Varnis; the parabolic deviation, Theo1 and TheoH from VarnisX).
Phase statistics take frequency data integrated once with ConvFreqToPhase; the Hadamard
total deviation takes phase data differenced once with ConvPhaseToFreq."""
import math

from . import _confidence as confidence
from . import _theo as theo
from ._library import NULL_CALLBACK, raw, rawx
from ._records import modified_allan, overlapping_allan, value_and_terms
from ._sweep import Statistic, sweep

SQRT3 = math.sqrt(3.0)


def _adev(record, m):
    return value_and_terms(raw.CalcPhaseSigma, m, record.decimated(m), m * record.tau0)


def _mdev(record, m):
    return modified_allan(record, m)


def _tdev(record, m):
    deviation, terms = modified_allan(record, m)
    return m * record.tau0 * deviation / SQRT3, terms


def _hdev(record, m):
    return value_and_terms(raw.CalcPhaseHadamardDev, m, record.decimated(m), m * record.tau0)


def _ohdev(record, m):
    return value_and_terms(raw.CalcPhaseOverlapHadamardDev, m, record.vector("phase"), record.tau0, m)


def _totdev(record, m):
    return value_and_terms(raw.TotvarCalc, m, record.vector("phase"), record.tau0, m, 0)


def _mtotdev(record, m):
    return value_and_terms(raw.ModTotvarCalc, m, record.vector("bridged phase"), record.tau0, m,
                           None, 0, NULL_CALLBACK)


def _ttotdev(record, m):
    deviation, terms = _mtotdev(record, m)
    return m * record.tau0 * deviation / SQRT3, terms


def _htotdev(record, m):
    return value_and_terms(raw.HadTotvarCalc, m, record.vector("freq"), m, None, 0, NULL_CALLBACK)


def _mtie(record, m):
    phase = record.vector("phase")
    value, samples = value_and_terms(raw.CalcMTIE, m, phase, m, None, 0, NULL_CALLBACK)
    return value, samples - m  # the number of windows


def _tierms(record, m):
    return value_and_terms(raw.TIErms, m, record.vector("phase"), m)


def _pdev(record, m):
    return value_and_terms(rawx.CalcParabolicDev, m, record.vector("phase"), record.tau0, m)


STATISTICS = {s.name: s for s in (
    Statistic("adev", "Allan deviation", "phase", _adev, lambda n: (n - 1) // 2,
              confidence.block_allan_edf),
    Statistic("oadev", "Overlapping Allan deviation", "phase", lambda r, m: overlapping_allan(r, m),
              lambda n: (n - 1) // 2, confidence.allan_edf),
    Statistic("mdev", "Modified Allan deviation", "phase", _mdev, lambda n: n // 3,
              confidence.modified_edf),
    Statistic("tdev", "Time deviation", "phase", _tdev, lambda n: n // 3, confidence.modified_edf,
              unit="s"),
    Statistic("hdev", "Hadamard deviation", "phase", _hdev, lambda n: (n - 1) // 3,
              confidence.block_hadamard_edf, hadamard_noise=True),
    Statistic("ohdev", "Overlapping Hadamard deviation", "phase", _ohdev, lambda n: (n - 1) // 3,
              confidence.hadamard_edf, hadamard_noise=True),
    Statistic("totdev", "Total deviation", "phase", _totdev, lambda n: (n - 1) // 2,
              confidence.total_edf),
    Statistic("mtotdev", "Modified total deviation", "bridged phase", _mtotdev, lambda n: n // 3,
              confidence.modified_total_edf),
    Statistic("ttotdev", "Time total deviation", "bridged phase", _ttotdev, lambda n: n // 3,
              confidence.modified_total_edf, unit="s"),
    Statistic("htotdev", "Hadamard total deviation", "freq", _htotdev, lambda n: n // 3,
              confidence.hadamard_total_edf, hadamard_noise=True),
    Statistic("mtie", "MTIE", "phase", _mtie, lambda n: n - 1, serial=True, unit="s"),
    Statistic("tierms", "TIE rms", "phase", _tierms, lambda n: n - 1, unit="s"),
    Statistic("pdev", "Parabolic deviation", "phase", _pdev, lambda n: (n - 1) // 2),
    Statistic("theo1", "Theo1 deviation", "phase", None, theo.theo1_limit,
              compute_sweep=theo.theo1_sweep, factor_rule=theo.theo1_factors,
              tau_per_factor=theo.THEO1_TAU),
    Statistic("theoh", "TheoH deviation", "phase", None, theo.theoh_limit, theo.theoh_edf(confidence.allan_edf),
              compute_sweep=theo.theoh_sweep, factor_rule=theo.theoh_factors),
)}

# What each function computes, its limit, its gaps and its EDF (N phase samples,
# F frequency samples, T/tau = (N - 1) / m).
SUMMARIES = {
    "adev": """Allan deviation (non-overlapping): CalcPhaseSigma on every m-th phase sample
    (the ends of consecutive blocks of m intervals), tau = m / rate. Terms that touch a
    gap are skipped. m up to (N - 1) / 2. EDF: CalcDegFree(alpha, k, 1) of the
    k = (N - 1) // m + 1 block ends.""",
    "oadev": """Overlapping Allan deviation: CalcPhaseOverlapSigma. Terms that touch a gap
    are skipped. m up to (N - 1) / 2. EDF: CalcDegFree(alpha, N, m).""",
    "mdev": """Modified Allan deviation: CalcPhaseModSigma. Second differences that touch
    a gap are left out of their term; a term without any is skipped. m up to N / 3.
    EDF: EDF(alpha - 2, m, N).""",
    "tdev": """Time deviation, tau * mdev / sqrt(3), in seconds: CalcPhaseModSigma, with
    the gaps, limit and EDF of mdev.""",
    "hdev": """Hadamard deviation (non-overlapping): CalcPhaseHadamardDev on every m-th
    phase sample, tau = m / rate. Terms that touch a gap are skipped. m up to
    (N - 1) / 3. EDF: HadamardEDF(k, 1, alpha - 2) of the k = (N - 1) // m + 1 block
    ends (phase noise counted as white frequency noise).""",
    "ohdev": """Overlapping Hadamard deviation: CalcPhaseOverlapHadamardDev. Terms that
    touch a gap are skipped. m up to (N - 1) / 3. EDF: HadamardEDF(N, m, alpha - 2)
    (phase noise counted as white frequency noise).""",
    "totdev": """Total deviation: TotvarCalc (the record extended by reflection at both
    ends). Terms that touch a gap or its reflection are skipped. m up to (N - 1) / 2,
    where its EDF is defined. EDF: TotvarEDF(alpha, T/tau) (phase noise counted as
    white frequency noise).""",
    "mtotdev": """Modified total deviation: ModTotvarCalc. It reads every sample as a
    value, so gaps are first bridged by straight lines in the phase (FillGaps, on a copy
    made only when there are gaps). m up to N / 3. Costs about N * 9m steps per factor.
    EDF: ModTotvarEDF(alpha, T/tau), none below T/tau = 3.""",
    "ttotdev": """Time total deviation, tau * mtotdev / sqrt(3), in seconds: ModTotvarCalc,
    with the gaps, limit, cost and EDF of mtotdev.""",
    "htotdev": """Hadamard total deviation: HadTotvarCalc on the frequency (phase data are
    differenced once with ConvPhaseToFreq). Gaps are filled by the export (the mean of
    the two neighbours, else the last value). m up to F / 3. Costs about F * 9m steps per
    factor. EDF: HadTotvarEDF(alpha, F/m) (phase noise counted as white frequency
    noise).""",
    "mtie": """Maximum time interval error, in seconds: CalcMTIE, the largest peak-to-peak
    phase excursion over the windows of m + 1 samples; gaps inside a window are ignored.
    ns counts the windows. m up to N - 1. No EDF: edf, ci_lower and ci_upper are NaN.
    The export rewrites the data vector's header while it runs, so the factors run one
    at a time.""",
    "tierms": """Root-mean-square time interval error, in seconds: TIErms, the rms of the
    phase differences at lag m; pairs that touch a gap are skipped. m up to N - 1.
    No EDF: edf, ci_lower and ci_upper are NaN.""",
    "pdev": """Parabolic deviation (PDEV), the deviation of counters that average by
    linear regression: VarnisX CalcParabolicDev; m = 1 gives the overlapping Allan
    deviation. Terms that touch a gap are skipped. m up to (N - 1) / 2. No EDF of it is
    published in the libraries: edf, ci_lower and ci_upper are NaN.""",
    "theo1": """Theo1 deviation: VarnisX CalcTheo1Sweep, every factor in one call (the work
    is shared: about N times the largest factor in all). Theo1 is defined at even
    factors m >= 10, at tau = 0.75 m / rate, up to m = N - 1 (tau = 0.75 (N - 1) / rate).
    Here m is the Theo1 factor: "octave" gives m = 16, 32, 64, ... (tau 12, 24, 48, ...
    sampling intervals), "decade" m = 10, 20, 40, 100, ..., "all" every even m; times in
    seconds must each be 0.75 m / rate for an even m. Gaps inside the record are bridged
    by straight lines in the phase. No EDF of it is in the libraries: edf, ci_lower and
    ci_upper are NaN; alpha is identified at the factor nearest the row's tau.""",
    "theoh": """TheoH deviation: VarnisX CalcTheoHSweep, every factor in one call. A row
    at m <= N / 10 (the switch-over, a tenth of the record) is the overlapping Allan
    deviation at m, with its gaps and EDF (CalcDegFree(alpha, N, m)). A row beyond it is
    TheoBR, Theo1 with its bias removed for this record, at the even Theo1 factor
    nearest 4 m / 3: its tau, 0.75 times that factor, may differ from m / rate by up to
    0.75 / rate, and taus holds the row's own tau; factors that would repeat a TheoBR
    row's Theo1 factor are dropped. TheoBR rows need N >= 90, bridge gaps by straight
    lines, reach m = 0.75 (N - 1) and cost about N * (4 m / 3) steps for the sweep (at
    least N * 0.13 N for the bias removal); no EDF of TheoBR is in the libraries, so
    those rows have NaN edf and intervals.""",
}

COMMON = """
    Parameters
    ----------
    data : one-dimensional array of phase (seconds) or fractional frequency samples;
        NaN marks a missing sample.
    rate : samples per second (the sampling interval tau0 is 1 / rate).
    data_type : "phase" or "freq". The statistic is computed on the kind it is defined
        on, the other kind converted once with the library's conversion.
    taus : "octave" (m = 1, 2, 4, ...), "decade" (m = 1, 2, 4, 10, 20, 40, ...), "all"
        (every m up to the limit) or a sequence of times in seconds: m = tau * rate must
        be a whole number; duplicates and factors beyond the limit are dropped, and the
        rows come in ascending order.
    confidence : two-sided confidence level of ci_lower and ci_upper (default 0.683).
    workers : threads that run the averaging factors (default: one per processor).
    zero_is_gap : False (default): 0.0 is a measured value, as any other. True: 0.0
        marks a gap like NaN (the library's own convention), except at the first sample
        of phase data, its origin.

    Gaps at the ends of the record are dropped; N and F count the samples between them.

    Returns
    -------
    SweepResult, which unpacks as ``taus, devs, errs, ns`` (NumPy arrays; errs =
    devs / sqrt(ns)) and carries per row ``m``, ``edf``, ``ci_lower``, ``ci_upper`` and
    ``alpha``. Rows with a single term are kept. ``alpha`` is the dominant power-law noise
    at each factor. Where the phase decimated by m keeps at least 32 points (m up to
    (N - 1) / 31) it is named by the lag-1 autocorrelation (VarnisX CalcLag1NoiseID,
    as varnis.noise_id). Beyond, it is named by NoiseID from the block averages of the
    frequency (the B1 test), phase noise split into white and flicker by the
    modified-to-Allan ratio (the R(n) test); a factor with fewer than 4 block averages
    takes the noise of the factor before it. Where either names flicker-walk noise, the
    Hadamard statistics ask the Hadamard test whether it is random-run noise. The EDF
    takes that alpha. The interval is deviation * sqrt(edf / chi2) at the two tails,
    chi2 from CalcInvChiSqr.

    Raises
    ------
    TypeError, ValueError: data, rate, data_type, taus or an option unusable (the
        message says why), or a record too short for any row.
    VarnisError: the library refused an averaging factor (e.g. no usable term between
        gaps); it names the export, the factor and the code.
    """


def _sweep_function(statistic):
    def function(data, rate=1.0, data_type="phase", taus="octave", *, confidence=0.683,
                 workers=None, zero_is_gap=False):
        return sweep(statistic, data, rate, data_type, taus, confidence=confidence,
                     workers=workers, zero_is_gap=zero_is_gap)

    function.__name__ = function.__qualname__ = statistic.name
    function.__doc__ = SUMMARIES[statistic.name] + "\n" + COMMON
    return function


(adev, oadev, mdev, tdev, hdev, ohdev, totdev, mtotdev, ttotdev, htotdev, mtie, tierms, pdev, theo1,
 theoh) = (_sweep_function(statistic) for statistic in STATISTICS.values())
