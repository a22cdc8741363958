"""The caller's samples as the data vectors a sweep hands to the library.

The library reads a sample of exactly 0.0 as a gap; the sweeps read NaN as a gap and
0.0 as a value. A record is made to say that to the library by
- dropping the gaps at both ends (the window starts and ends on a measured sample, so
  none of the library's end rules for 0.0 applies),
- writing every gap as 0.0, and
- writing every 0.0 that is a value as a marker far below the resolution of every
  other sample: smaller than a 2^-100th of the smallest nonzero magnitude, so that a
  difference, sum or extreme that involves it rounds to what it gives with 0.0, and
  every statistic gets the terms and the value it has with a true zero.
"""
import ctypes
import numbers

import numpy as np

from ._library import NULL_CALLBACK, VarnisError, raw

DATA_TYPES = ("phase", "freq")


def as_samples(data):
    """data as a one-dimensional float64 array (not copied when it is one already).
    Refuses text, booleans, complex numbers and objects (TypeError), other than
    one-dimensional or empty data and infinities (ValueError). NaN is kept."""
    if isinstance(data, (str, bytes)):
        raise TypeError("data must be an array of numbers, not text")
    x = np.asarray(data)
    if x.dtype.kind not in "fiu":
        raise TypeError(f"data must be real numbers; got an array of {x.dtype}")
    if x.ndim != 1:
        raise ValueError(f"data must be one-dimensional; got an array of shape {x.shape}")
    if x.size == 0:
        raise ValueError("data is empty")
    x = x.astype(np.float64, copy=False)
    if not np.isfinite(x.min() + x.max()) and np.isinf(x).any():
        where = int(np.flatnonzero(np.isinf(x))[0])
        raise ValueError(f"data holds an infinite value (sample {where}); mark a missing sample with NaN")
    return x


def data_vector(samples, first=None, last=None):
    """A data vector as the library takes it: a float64 array of the count N, the first
    and last 1-based sample of the analysis window (default: the whole record), then the
    samples. NaN samples become 0.0, the library's mark of a gap; a 0.0 stays 0.0."""
    x = as_samples(samples)
    n = x.size
    first = 1 if first is None else first
    last = n if last is None else last
    if not 1 <= first <= last <= n:
        raise ValueError(f"the window {first}..{last} is not inside the samples 1..{n}")
    v = np.empty(n + 3)
    v[:3] = (n, first, last)
    np.copyto(v[3:], x)
    v[3:][np.isnan(x)] = 0.0
    return v


def zero_marker(samples):
    """The value that stands for a 0.0 sample that is a value: below a 2^-100th of the
    smallest nonzero magnitude, and a normal number where that is possible."""
    nonzero = np.abs(samples[samples != 0.0])
    smallest = nonzero.min() if nonzero.size else 1.0
    return max(smallest * 2.0**-100, np.finfo(np.float64).tiny)


def _vector(samples, gaps):
    """Data vector of the samples with every gap 0.0 and every value 0.0 marked."""
    n = samples.size
    v = np.empty(n + 3)
    v[:3] = (n, 1, n)
    x = v[3:]
    np.copyto(x, samples)
    if gaps is not None:
        x[gaps] = 0.0
    _mark_zero_values(x, gaps)
    return v


def _mark_zero_values(x, gaps):
    zeros = x == 0.0
    if not zeros.any():
        return
    if gaps is not None:
        zeros[: gaps.size] &= ~gaps
    if zeros.any():
        x[zeros] = zero_marker(x)


def _checked(export, code):
    if code < 0:
        raise VarnisError(export, code)
    return code


class Record:
    """One sweep's record: the samples validated and made into a data vector once, in
    the kind the caller gave; the other kind, when a statistic needs it, converted once
    with the library's own conversion. Workers only read the vectors."""

    def __init__(self, data, rate, data_type, zero_is_gap):
        if data_type not in DATA_TYPES:
            raise ValueError(f"data_type must be 'phase' or 'freq', not {data_type!r}")
        if isinstance(rate, bool) or not isinstance(rate, numbers.Real):
            raise TypeError(f"rate must be a number of samples per second, not {type(rate).__name__}")
        if not (np.isfinite(rate) and rate > 0):
            raise ValueError(f"rate must be a positive number of samples per second, not {rate}")
        if not isinstance(zero_is_gap, bool):
            raise TypeError("zero_is_gap must be True or False")
        self.rate = float(rate)
        self.tau0 = 1.0 / self.rate
        self.data_type = data_type
        x = as_samples(data)
        self.offset = 0  # samples dropped before the first that is no gap
        gaps = np.isnan(x) if np.isnan(x.min()) else None
        if zero_is_gap:
            zeros = x == 0.0
            zeros[0] &= data_type == "freq"  # a phase record may start at its origin, 0.0
            gaps = zeros if gaps is None else gaps | zeros
        if gaps is not None:
            kept = np.flatnonzero(~gaps)
            if kept.size == 0:
                raise ValueError("every sample of data is a gap")
            self.offset = int(kept[0])
            x, gaps = x[kept[0]: kept[-1] + 1], gaps[kept[0]: kept[-1] + 1]
            if not gaps.any():
                gaps = None
        self._vectors = {data_type: _vector(x, gaps)}
        self._gaps = {data_type: gaps}
        self.memo = {}  # values computed once per sweep, by (statistic, averaging factor)

    def count(self, kind):
        """Number of samples of the record in the kind 'phase' or 'freq'."""
        n = int(self._vectors[self.data_type][0])
        return n + (kind == "phase") - (self.data_type == "phase")

    def prepare(self, kind):
        """Makes the vector of the kind 'phase', 'freq' or 'bridged phase' (the phase
        with its gaps bridged by straight lines) unless it is there."""
        if kind in self._vectors:
            return
        if kind == "bridged phase":
            self._vectors[kind] = self._bridged_phase()
        elif kind == "phase":
            self._vectors[kind], self._gaps[kind] = self._phase_from_freq()
        else:
            self._vectors[kind], self._gaps[kind] = self._freq_from_phase()

    def gap_free(self, kind):
        """Whether the vector of the kind holds no gap (after prepare)."""
        return self._gaps[kind] is None

    def vector(self, kind):
        self.prepare(kind)
        return self._vectors[kind]

    def _phase_from_freq(self):
        freq, freq_gaps = self._vectors["freq"], self._gaps["freq"]
        n = int(freq[0])
        phase = np.zeros(n + 4)
        _checked("ConvFreqToPhase", raw.ConvFreqToPhase(freq, phase, self.tau0, 0))
        # A frequency gap makes the phase sample before it a gap; the phase starts at
        # its origin, 0.0, and may come back to 0.0 anywhere: those are values.
        gaps = None
        if freq_gaps is not None:
            gaps = np.zeros(n + 1, dtype=bool)
            gaps[:n] = freq_gaps
        _mark_zero_values(phase[3:], gaps)
        return phase, gaps

    def _freq_from_phase(self):
        phase = self._vectors["phase"]
        n = int(phase[0])
        freq = np.zeros(n + 3)
        # keep_zeros: a frequency of exactly 0.0 is written as the library's marker.
        _checked("ConvPhaseToFreq", raw.ConvPhaseToFreq(phase, freq, self.tau0, 1))
        freq = freq[: n + 2]
        gaps = freq[3:] == 0.0
        return freq, gaps if gaps.any() else None

    def _bridged_phase(self):
        phase = self.vector("phase")
        if self._gaps["phase"] is None:
            return phase
        bridged = phase.copy()
        # Frequency mode: both ends are measured samples, and the phase mode would cut
        # out a run of gaps right after the first sample instead of bridging it.
        _checked("FillGaps", raw.FillGaps(bridged, 1))
        return bridged

    def decimated(self, m):
        """Data vector of every m-th phase sample (the phase at the ends of the blocks
        of m intervals), ending at its last sample that is not a gap."""
        phase = self.vector("phase")
        if m == 1:
            return phase
        samples = phase[3::m]
        k = samples.size
        while samples[k - 1] == 0.0:  # the first sample is never a gap
            k -= 1
        v = np.empty(k + 3)
        v[:3] = (k, 1, k)
        v[3:] = samples[:k]
        return v


def value_and_terms(export, m, vector, *args):
    """(value, count) of a call of export (a bound function of the library, such as
    raw.CalcPhaseSigma) that writes one double after its data vector; VarnisError
    naming the export and the averaging factor m when it refuses."""
    out = ctypes.c_double()
    code = export(vector, ctypes.byref(out), *args)
    if code < 0:
        raise VarnisError(export.__name__, code, m)
    return out.value, code


def _memoised(record, key, compute):
    if key not in record.memo:
        record.memo[key] = compute()
    return record.memo[key]


def overlapping_allan(record, m):
    """(overlapping Allan deviation, terms) of the record's phase at factor m."""
    return _memoised(record, ("oadev", m), lambda: value_and_terms(
        raw.CalcPhaseOverlapSigma, m, record.vector("phase"), record.tau0, m))


def modified_allan(record, m):
    """(modified Allan deviation, terms) of the record's phase at factor m; gaps are
    honoured, and no progress is reported (a null callback is skipped)."""
    return _memoised(record, ("mdev", m), lambda: value_and_terms(
        raw.CalcPhaseModSigma, m, record.vector("phase"), m * record.tau0, m, None, 0, NULL_CALLBACK))
