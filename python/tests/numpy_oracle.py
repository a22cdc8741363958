"""Straightforward vectorised NumPy evaluations of the stability statistics, from their
definitions: the oracle of the tests and the baseline of the benchmark. Each takes phase
samples x (seconds) or, for htotdev, frequency samples y, with NaN for a gap (a term
that touches one drops out through NaN), and returns (deviation, number of terms)."""
import numpy as np

SQRT3 = np.sqrt(3.0)


def _rms(terms, normalisation):
    used = terms[~np.isnan(terms)]
    return np.sqrt(np.sum(used**2) / (normalisation * used.size)), used.size


def oadev(x, tau0, m):
    d = (x[2 * m:] - x[m:-m]) - (x[m:-m] - x[:-2 * m])
    return _rms(d, 2 * (m * tau0) ** 2)


def adev(x, tau0, m):
    return oadev(x[::m], m * tau0, 1)


def mdev(x, tau0, m):
    # Each term sums the second differences i = s .. s+m-1 that have no gap.
    d = x[2 * m:] - 2 * x[m:-m] + x[:-2 * m]
    valid = ~np.isnan(d)
    sums = np.concatenate([[0.0], np.cumsum(np.where(valid, d, 0.0))])
    counts = np.concatenate([[0], np.cumsum(valid)])
    s = sums[m:] - sums[:-m]
    s[counts[m:] - counts[:-m] == 0] = np.nan
    return _rms(s, 2 * m**2 * (m * tau0) ** 2)


def tdev(x, tau0, m):
    deviation, n = mdev(x, tau0, m)
    return m * tau0 * deviation / SQRT3, n


def ohdev(x, tau0, m):
    d = (x[3 * m:] - x[:-3 * m]) - 3 * (x[2 * m:-m] - x[m:-2 * m])
    return _rms(d, 6 * (m * tau0) ** 2)


def hdev(x, tau0, m):
    return ohdev(x[::m], m * tau0, 1)


def totdev(x, tau0, m):
    # The record reflected through its end points: x*[1-j] = 2 x[1] - x[1+j] and
    # x*[M+j] = 2 x[M] - x[M-j] for j = 1 .. M-2; centres 2 .. M-1.
    M = x.size
    left = 2 * x[0] - x[M - 2:0:-1]
    right = 2 * x[-1] - x[-2:0:-1]
    ext = np.concatenate([left, x, right])  # x*[w] at ext[w + M - 3]
    a, b, c = (ext[M - 1 + shift: 2 * M - 3 + shift] for shift in (-m, 0, m))
    return _rms((c - b) - (b - a), 2 * (m * tau0) ** 2)


def _reflected_second_differences(z, m):
    """Mean square of the 6m second differences of m-sample averages of the
    subsequence z (3m samples) with its half-average slope removed and reflected."""
    z = z - z[0]  # a constant changes nothing below, and an offset costs precision
    h, g = z.size // 2, (z.size + 1) // 2
    slope = (np.mean(z[g:g + h]) - np.mean(z[:h])) / g
    z = z - slope * np.arange(z.size)
    ext = np.concatenate([z[::-1], z, z[::-1]])
    sums = np.concatenate([[0.0], np.cumsum(ext)])
    window = sums[m:] - sums[:-m]  # window[l] = sum of ext[l .. l+m-1]
    l = np.arange(6 * m)
    d = (window[l] - 2 * window[l + m] + window[l + 2 * m]) / m
    return np.sum(d**2) / (6 * m)


def mtotdev(x, tau0, m):
    terms = [_reflected_second_differences(x[s:s + 3 * m], m) for s in range(x.size - 3 * m + 1)]
    return np.sqrt(np.mean(terms) / (2 * (m * tau0) ** 2)), len(terms)


def ttotdev(x, tau0, m):
    deviation, n = mtotdev(x, tau0, m)
    return m * tau0 * deviation / SQRT3, n


def htotdev(y, m):
    terms = [_reflected_second_differences(y[s:s + 3 * m], m) for s in range(y.size - 3 * m + 1)]
    return np.sqrt(np.mean(terms) / 6), len(terms)


def mtie(x, m):
    windows = np.lib.stride_tricks.sliding_window_view(x, m + 1)
    return np.max(np.nanmax(windows, axis=1) - np.nanmin(windows, axis=1)), windows.shape[0]


def tierms(x, m):
    return _rms(x[m:] - x[:-m], 1.0)


def pdev(x, tau0, m):
    if m == 1:
        return oadev(x, tau0, 1)
    # Terms i = 0 .. N - 2m - 1: sum over k of ((m - 1) / 2 - k) (x[i+k] - x[i+k+m]).
    d = x[:-m] - x[m:]
    weights = (m - 1) / 2.0 - np.arange(m)
    terms = np.correlate(d, weights, "valid")[: x.size - 2 * m]
    used = terms[~np.isnan(terms)]
    return np.sqrt(72.0 * np.sum(used**2) / (used.size * m**4 * (m * tau0) ** 2)), used.size


def theo1(x, tau0, m):
    # Windows i = 0 .. N - m - 1, lags d = 0 .. m/2 - 1, 0-based indices.
    n, h = x.size - m, m // 2
    i = np.arange(n)
    total = sum(np.sum(((x[i] - x[i - d + h]) + (x[i + m] - x[i + d + h])) ** 2) / (h - d) for d in range(h))
    return np.sqrt(total / (0.75 * n * (m * tau0) ** 2)), n


def theobr_ratio(x):
    """Mean of AVAR(9 + 3i) / Theo1^2(12 + 4i), i = 0 .. N // 30 - 3."""
    ratios = [(oadev(x, 1.0, 9 + 3 * i)[0] / theo1(x, 1.0, 12 + 4 * i)[0]) ** 2 for i in range(x.size // 30 - 2)]
    return np.mean(ratios)


def theoh(x, tau0, m, ratio=None):
    """(deviation, terms, tau in sampling intervals) of TheoH at factor m: the Allan
    deviation up to N // 10, TheoBR at the even Theo1 factor nearest 4 m / 3 beyond."""
    if m <= x.size // 10:
        return oadev(x, tau0, m) + (m,)
    ratio = theobr_ratio(x) if ratio is None else ratio
    factor = 2 * int(np.floor(2 * m / 3 + 0.5))
    deviation, windows = theo1(x, tau0, factor)
    return np.sqrt(ratio) * deviation, windows, 0.75 * factor


def lag1_alpha(z, data_type):
    """alpha and its estimate by the lag-1 autocorrelation of the decimated (phase) or
    averaged (frequency) series z, differenced until r1 / (1 + r1) < 0.25, at most twice."""
    for differences in range(3):
        c = z - z.mean()
        r1 = np.sum(c[:-1] * c[1:]) / np.sum(c**2)
        delta = r1 / (1 + r1)
        if delta < 0.25 or differences == 2:
            break
        z = np.diff(z)
    order = delta + differences
    estimate = 2 - 2 * order if data_type == "phase" else -2 * order
    return int(min(max(np.floor(estimate + 0.5), -4), 2)), estimate


def power_law_phase(rng, n, alpha):
    """Phase samples of power-law noise: white noise fractionally integrated so that the
    phase spectrum goes as f^(alpha - 2) (alpha 2 white phase ... -4 random-run)."""
    d = (2.0 - alpha) / 2.0
    k = np.arange(1, n)
    impulse = np.concatenate([[1.0], np.cumprod((k - 1 + d) / k)])
    size = 1 << (2 * n - 1).bit_length()
    return np.fft.irfft(np.fft.rfft(impulse, size) * np.fft.rfft(rng.normal(size=n), size), size)[:n]
