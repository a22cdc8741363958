"""Frequency-stability analysis with the Varnis library.

Sweeps over averaging times, one function per statistic, all with the same call::

    taus, devs, errs, ns = varnis.oadev(data, rate=1.0, data_type="phase", taus="octave")

``adev``, ``oadev``, ``mdev``, ``tdev``, ``hdev``, ``ohdev``, ``totdev``, ``mtotdev``,
``ttotdev``, ``htotdev``, ``mtie`` and ``tierms`` take phase (seconds) or fractional
frequency data as a NumPy array, with NaN for a missing sample and 0.0 an ordinary value.
The result also carries, per row, the degrees of freedom (``edf``), a confidence
interval (``ci_lower``, ``ci_upper``) and the identified power-law noise (``alpha``);
``varnis.plot(result)`` draws it. The averaging factors of a sweep run on a pool of
threads.

Beneath: ``varnis.raw.<Export>`` is every export of the library as declared in
varnis.h (pointer arguments take NumPy arrays), ``varnis.data_vector`` builds the
library's data vector, and ``print_progress``, ``no_progress`` and ``StopFlag`` serve
the exports that report progress and can be stopped.

The library is found through the environment variable ``VARNIS_LIBRARY`` (a path),
then inside the package (pip install), beside it (``build/lib`` for the build tree's
``build/python``, the library folder for ``cmake --install``), then by the system's
loader.
"""
from ._library import (ProgressCallback, StabilityTable, StopFlag, VarnisError, library_path,
                       no_progress, print_progress, raw)
from ._plot import plot
from ._records import data_vector
from ._statistics import (STATISTICS, adev, hdev, htotdev, mdev, mtie, mtotdev, oadev, ohdev,
                          tdev, tierms, totdev, ttotdev)
from ._sweep import Statistic, SweepResult, sweep

__all__ = ["adev", "oadev", "mdev", "tdev", "hdev", "ohdev", "totdev", "mtotdev", "ttotdev",
           "htotdev", "mtie", "tierms", "plot", "SweepResult", "Statistic", "sweep", "STATISTICS",
           "VarnisError", "raw", "data_vector", "library_path", "ProgressCallback",
           "StabilityTable", "StopFlag", "print_progress", "no_progress"]
