"""Octave sweeps of 10^6 phase samples with the varnis Python package, as two ratios:
- the sweep from Python over the same library calls made from C++ (sweep_calls.cpp),
  with the same number of threads (the Python package's cost of its own);
- a straightforward vectorised NumPy evaluation of the same statistic over the sweep
  from Python with its default threads (how much faster the package is).
Times are the best of several alternating runs in this one process; the load average
is printed with them, since other work on the machine moves every figure.

usage: bench_python_sweeps.py BUILD_DIR"""
import ctypes
import os
import sys
import time
from pathlib import Path

import numpy as np

BUILD = Path(sys.argv[1]).resolve()
SOURCE = Path(__file__).resolve().parents[1]
os.environ.setdefault("VARNIS_LIBRARY", str(BUILD / "lib" / "libvarnis.so"))
sys.path[:0] = [str(BUILD / "python"), str(SOURCE / "python" / "tests")]

import numpy_oracle  # noqa: E402
import varnis  # noqa: E402

SAMPLES = 10**6
STATISTICS = ("oadev", "mdev", "ohdev", "totdev")  # in the order of sweep_calls.cpp
REPEATS = 5


def best_seconds(call, repeats):
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        call()
        best = min(best, time.perf_counter() - start)
    return best


def numpy_sweep(name, phase):
    limit = varnis.STATISTICS[name].limit(phase.size)
    evaluate = getattr(numpy_oracle, name)
    return [evaluate(phase, 1.0, m)[0] for m in 2 ** np.arange(int(np.log2(limit)) + 1)]


def main():
    calls = ctypes.CDLL(str(BUILD / "lib" / "libvarnis_sweep_calls.so"))
    calls.sweep_calls.restype = ctypes.c_int
    calls.sweep_calls.argtypes = [ctypes.c_void_p, ctypes.c_long, ctypes.c_int, ctypes.c_int, ctypes.c_void_p]
    # A clock's phase: 1 ms offset, white frequency noise with some white phase noise.
    rng = np.random.default_rng(19)
    phase = 1e-3 + np.cumsum(rng.normal(0.0, 1e-11, SAMPLES)) + rng.normal(0.0, 1e-12, SAMPLES)
    out = np.zeros(2 * 64)
    threads = os.cpu_count() or 1
    print(f"{SAMPLES} phase samples, octave sweeps; load average {os.getloadavg()[0]:.2f} at the start")
    print(f"{'statistic':<9} {'threads':>7} {'python s':>9} {'c++ s':>9} {'python/c++':>10}"
          f" {'numpy s':>9} {'numpy/python':>12}")
    for index, name in enumerate(STATISTICS):
        sweep = getattr(varnis, name)
        for workers in sorted({1, threads}):
            result = sweep(phase, workers=workers)
            rows = calls.sweep_calls(phase.ctypes.data, SAMPLES, index, workers, out.ctypes.data)
            np.testing.assert_allclose(out[0:2 * rows:2], result.devs, rtol=1e-12)
            np.testing.assert_allclose(out[1:2 * rows:2], result.ci_upper, rtol=1e-6)
            python = c_calls = float("inf")
            for _ in range(REPEATS):  # alternating, so both see the same load
                python = min(python, best_seconds(lambda: sweep(phase, workers=workers), 1))
                c_calls = min(c_calls, best_seconds(
                    lambda: calls.sweep_calls(phase.ctypes.data, SAMPLES, index, workers, out.ctypes.data), 1))
            line = f"{name:<9} {workers:>7} {python:>9.4f} {c_calls:>9.4f} {python / c_calls:>10.3f}"
            if workers == threads:
                numpy_seconds = best_seconds(lambda: numpy_sweep(name, phase), 2)
                np.testing.assert_allclose(numpy_sweep(name, phase), result.devs, rtol=1e-9)
                line += f" {numpy_seconds:>9.4f} {numpy_seconds / python:>12.1f}"
            print(line, flush=True)
    print(f"load average {os.getloadavg()[0]:.2f} at the end")


if __name__ == "__main__":
    main()
