#!/usr/bin/env python3
"""Theo1 octave sweep: the library against direct evaluations of the definition in NumPy.

Theo1 at an even factor m of phase x_1 .. x_N (tau = 0.75 m tau0):
  sum_{i=1}^{N-m} sum_{d=0}^{m/2-1} [(x_i - x_{i-d+m/2}) + (x_{i+m} - x_{i+d+m/2})]^2 / (m/2 - d)
  / (0.75 (N - m) (m tau0)^2).
Two NumPy evaluations of that double sum, both vectorised: over the windows i for each
d (the faster one), and over d for each window i (the order in which the sum is
written). Both are also the oracle the library's results are checked against here.
The sweep is every power of two from 16 to N - 1; times are the best of a few runs in
this process; the machine's load is printed with them.

usage: theo1_numpy_ratio.py LIBVARNISX [N ...]   (default N: 10000, and 100000 for the
library alone)"""
import ctypes
import os
import sys
import time

import numpy as np


def theo1_over_windows(x, m, tau0=1.0):
    """For each d, the vector over the windows i."""
    n, h = len(x) - m, m // 2
    total = 0.0
    for d in range(h):
        a = (x[0:n] - x[h - d:h - d + n]) + (x[m:m + n] - x[h + d:h + d + n])
        total += np.dot(a, a) / (h - d)
    return np.sqrt(total / (0.75 * n * (m * tau0) ** 2))


def theo1_over_offsets(x, m, tau0=1.0):
    """For each window i, the vector over d: the sum in the order it is written."""
    n, h = len(x) - m, m // 2
    d = np.arange(h)
    weights = 1.0 / (h - d)
    total = 0.0
    for i in range(n):
        a = (x[i] - x[i - d + h]) + (x[i + m] - x[i + d + h])
        total += np.dot(a * a, weights)
    return np.sqrt(total / (0.75 * n * (m * tau0) ** 2))


def octave_factors(N):
    return [m for m in (2 ** k for k in range(4, 40)) if m <= N - 1]


class Library:
    def __init__(self, path):
        lib = ctypes.CDLL(path)
        D, I = ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_int)
        lib.CalcTheo1Sweep.argtypes = [D, ctypes.c_double, I, ctypes.c_int, D, I, I, ctypes.c_int,
                                       ctypes.c_void_p]
        self.lib, self.D, self.I = lib, D, I

    def sweep(self, x, factors):
        v = np.concatenate([[len(x), 1.0, len(x)], x])
        f = np.asarray(factors, dtype=np.int32)
        devs = np.zeros(len(f))
        rows = self.lib.CalcTheo1Sweep(v.ctypes.data_as(self.D), 1.0, f.ctypes.data_as(self.I), len(f),
                                       devs.ctypes.data_as(self.D), None, None, 0, None)
        if rows != len(f):
            raise RuntimeError(f"CalcTheo1Sweep returned {rows}")
        return devs


def best_time(run, repeats):
    best, result = float("inf"), None
    for _ in range(repeats):
        t = time.perf_counter()
        result = run()
        best = min(best, time.perf_counter() - t)
    return best, result


def main():
    library = Library(sys.argv[1])
    sizes = [int(a) for a in sys.argv[2:]] or [10000]
    rng = np.random.default_rng(1)
    print(f"load average {os.getloadavg()[0]:.2f} {os.getloadavg()[1]:.2f} on {os.cpu_count()} cores")
    for N in sizes:
        # White frequency noise on a time offset of 1 ms.
        x = 1e-3 + np.cumsum(rng.standard_normal(N)) * 1e-12
        factors = octave_factors(N)
        t_lib, devs = best_time(lambda: library.sweep(x, factors), 5)
        t_win, ref = best_time(lambda: [theo1_over_windows(x, m) for m in factors], 3)
        t_off, ref2 = best_time(lambda: [theo1_over_offsets(x, m) for m in factors], 1)
        worst = max(max(abs(a / b - 1) for a, b in zip(devs, ref)),
                    max(abs(a / b - 1) for a, b in zip(devs, ref2)))
        print(f"Theo1 octave sweep, N = {N}, factors {factors[0]} .. {factors[-1]}:")
        print(f"  library CalcTheo1Sweep           {t_lib * 1e3:10.2f} ms")
        print(f"  NumPy, vectorised over windows   {t_win * 1e3:10.2f} ms   ratio {t_win / t_lib:8.1f}")
        print(f"  NumPy, vectorised over d         {t_off * 1e3:10.2f} ms   ratio {t_off / t_lib:8.1f}")
        print(f"  largest relative difference from NumPy: {worst:.1e}")
    x = 1e-3 + np.cumsum(rng.standard_normal(100000)) * 1e-12
    t_big, _ = best_time(lambda: library.sweep(x, octave_factors(100000)), 1)
    print(f"library octave sweep of 100000 samples: {t_big:.2f} s")
    print(f"load average {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
