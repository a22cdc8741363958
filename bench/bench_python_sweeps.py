"""Octave sweeps of 10^6 phase samples with the varnis Python package, as two ratios:
- the sweep from Python over the same library calls made from C++ (sweep_calls.cpp),
  with the same number of threads: the Python package's cost of its own, in processor
  time (which waiting for other programs does not inflate);
- a straightforward vectorised NumPy evaluation of the same statistic over the sweep
  from Python: in elapsed time with the package's default threads, and in processor
  time with one thread.
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
REPEATS = 15
NUMPY_REPEATS = 3


def seconds(call):
    """(elapsed, processor) seconds of one call."""
    start, start_cpu = time.perf_counter(), time.process_time()
    call()
    return time.perf_counter() - start, time.process_time() - start_cpu


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
    worst_overhead, least_speedup = 0.0, float("inf")
    print(f"{SAMPLES} phase samples, octave sweeps; load average {os.getloadavg()[0]:.2f} at the start")
    print("python/c++: processor time; numpy/python: elapsed with the default threads, and "
          "processor time with one thread")
    print(f"{'statistic':<9} {'threads':>7} {'python s':>9} {'c++ s':>9} {'python/c++':>10}"
          f" {'numpy s':>9} {'numpy/python':>12} {'(1 thread)':>10}")
    for index, name in enumerate(STATISTICS):
        sweep = getattr(varnis, name)
        runs = sorted({1, threads})
        for workers in runs:
            result = sweep(phase, workers=workers)
            rows = calls.sweep_calls(phase.ctypes.data, SAMPLES, index, workers, out.ctypes.data)
            np.testing.assert_allclose(out[0:2 * rows:2], result.devs, rtol=1e-12)
            np.testing.assert_allclose(out[1:2 * rows:2], result.ci_upper, rtol=1e-6)
        np.testing.assert_allclose(numpy_sweep(name, phase), result.devs, rtol=1e-9)
        # Alternating runs, so that every contender sees the same load; the best of each.
        contenders = {"numpy": lambda: numpy_sweep(name, phase)}
        for workers in runs:
            contenders[("python", workers)] = lambda w=workers: sweep(phase, workers=w)
            contenders[("c++", workers)] = lambda w=workers: calls.sweep_calls(
                phase.ctypes.data, SAMPLES, index, w, out.ctypes.data)
        best = {}
        for repeat in range(REPEATS):
            for key, call in contenders.items():
                if key != "numpy" or repeat < NUMPY_REPEATS:
                    best[key] = np.minimum(best.get(key, (np.inf, np.inf)), seconds(call))
        for workers in runs:
            python, c_calls = best[("python", workers)][1], best[("c++", workers)][1]
            line = f"{name:<9} {workers:>7} {python:>9.4f} {c_calls:>9.4f} {python / c_calls:>10.3f}"
            worst_overhead = max(worst_overhead, python / c_calls)
            if workers == threads:
                elapsed = best["numpy"][0] / best[("python", workers)][0]
                one_thread = best["numpy"][1] / best[("python", 1)][1]
                line += f" {best['numpy'][0]:>9.4f} {elapsed:>12.1f} {one_thread:>10.1f}"
                least_speedup = min(least_speedup, elapsed)
            print(line, flush=True)
    print(f"load average {os.getloadavg()[0]:.2f} at the end")
    print(f"largest python/c++ {worst_overhead:.3f} (target at most 1.2); "
          f"smallest numpy/python {least_speedup:.1f} (target at least 10)")


if __name__ == "__main__":
    main()
