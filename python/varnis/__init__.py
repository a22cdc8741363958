"""Frequency-stability analysis with the Varnis library.

Sweeps over averaging times, one function per statistic, all with the same call::

    taus, devs, errs, ns = varnis.oadev(data, rate=1.0, data_type="phase", taus="octave")

``adev``, ``oadev``, ``mdev``, ``tdev``, ``hdev``, ``ohdev``, ``totdev``, ``mtotdev``,
``ttotdev``, ``htotdev``, ``mtie``, ``tierms``, and from the companion library ``pdev``
(parabolic), ``theo1`` and ``theoh`` take phase (seconds) or fractional frequency data
as a NumPy array, with NaN for a missing sample and 0.0 an ordinary value. The result
also carries, per row, the degrees of freedom (``edf``), a confidence interval
(``ci_lower``, ``ci_upper``) and the identified power-law noise (``alpha``);
``varnis.plot(result)`` draws it. The averaging factors of a sweep run on a pool of
threads.

Beyond the sweeps: ``three_cornered_hat(ab, bc, ca, ...)`` gives each of three clocks'
deviation from their pairwise records, ``dynamic_adev(data, ..., window=, step=)`` the
Allan deviation in a sliding window (``plot_dynamic`` draws its heat map), and
``noise_id(data, ...)`` the noise type at each factor by the lag-1 autocorrelation.

Beneath: ``varnis.raw.<Export>`` is every export of the library as declared in
varnis.h, ``varnis.rawx.<Export>`` every export of its companion library VarnisX as
declared in varnisx.h (pointer arguments take NumPy arrays), ``varnis.data_vector``
builds the libraries' data vector, and ``print_progress``, ``no_progress`` and
``StopFlag`` serve the exports that report progress and can be stopped.

The libraries are found through the environment variables ``VARNIS_LIBRARY`` and
``VARNISX_LIBRARY`` (paths), then inside the package (pip install), beside it
(``build/lib`` for the build tree's ``build/python``, the library folder for
``cmake --install``), then by the system's loader.
"""
from ._dynamic import DynamicResult, dynamic_adev
from ._hat import HatResult, three_cornered_hat
from ._library import (ProgressCallback, StabilityTable, StopFlag, VarnisError, library_path,
                       no_progress, print_progress, raw, rawx, x_library_path)
from ._noise_id import NoiseIdResult, noise_id
from ._plot import plot, plot_dynamic
from ._records import data_vector
from ._statistics import (STATISTICS, adev, hdev, htotdev, mdev, mtie, mtotdev, oadev, ohdev, pdev,
                          tdev, theo1, theoh, tierms, totdev, ttotdev)
from ._sweep import Statistic, SweepResult, sweep

__all__ = ["adev", "oadev", "mdev", "tdev", "hdev", "ohdev", "totdev", "mtotdev", "ttotdev",
           "htotdev", "mtie", "tierms", "pdev", "theo1", "theoh", "three_cornered_hat", "HatResult",
           "dynamic_adev", "DynamicResult", "noise_id", "NoiseIdResult", "plot", "plot_dynamic",
           "SweepResult", "Statistic", "sweep", "STATISTICS", "VarnisError", "raw", "rawx",
           "data_vector", "library_path", "x_library_path", "ProgressCallback", "StabilityTable",
           "StopFlag", "print_progress", "no_progress"]
