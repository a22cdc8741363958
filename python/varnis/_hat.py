"""The three-cornered hat: the instability of each of three clocks from their three
pairwise comparisons, with no reference clock."""
from dataclasses import dataclass

import numpy as np

from ._statistics import STATISTICS
from ._sweep import SweepResult, sweep

CLOCKS = ("A", "B", "C")


@dataclass(frozen=True, repr=False)
class HatResult:
    """The rows of three_cornered_hat: ``taus`` (seconds) and ``m`` per row;
    ``variances`` (rows x 3, clocks A, B, C), which can come out negative for a clock
    much more stable than the others; ``devs``, their square roots (NaN where a variance
    is not positive); ``pairs``, the three pairwise sweeps AB, BC, CA over the same rows
    (with their terms, EDF and intervals); ``statistic``, ``title``, ``unit``,
    ``data_type`` and ``rate``. ``a``, ``b`` and ``c`` are the columns of devs."""
    taus: np.ndarray
    m: np.ndarray
    variances: np.ndarray
    devs: np.ndarray
    pairs: tuple
    statistic: str
    title: str
    unit: str
    data_type: str
    rate: float

    a = property(lambda self: self.devs[:, 0])
    b = property(lambda self: self.devs[:, 1])
    c = property(lambda self: self.devs[:, 2])

    def __repr__(self):
        rows = [f"  tau={t:<12.6g} " + " ".join(f"{clock}={d:<12.6g}" for clock, d in zip(CLOCKS, devs))
                for t, devs in zip(self.taus, self.devs)]
        return f"<three-cornered hat of {self.statistic}, {len(self.taus)} rows\n" + "\n".join(rows) + ">"


def _rows(result, keep):
    """The sweep result restricted to the rows of the factors in keep."""
    chosen = np.isin(result.m, keep)
    columns = {name: getattr(result, name)[chosen] for name in ("m", "edf", "ci_lower", "ci_upper", "alpha")}
    others = {name: getattr(result, name) for name in ("statistic", "title", "unit", "data_type", "rate",
                                                       "confidence")}
    return SweepResult(*(column[chosen] for column in result), **columns, **others)


def three_cornered_hat(ab, bc, ca, rate=1.0, data_type="phase", taus="octave", *, statistic="oadev",
                       confidence=0.683, workers=None, zero_is_gap=False):
    """Each clock's deviation from the three pairwise records of clocks A, B and C:
    ab (A - B), bc (B - C) and ca (C - A), phase (seconds) or fractional frequency.

    Every pair is swept with the chosen statistic (the name of a sweep function, such as
    "oadev", "mdev", "ohdev", "pdev", "theo1"; any but "mtie", whose square is no
    variance), and at each factor all three have, with V the square of the deviation,

        V_A = (V_AB + V_CA - V_BC) / 2,  V_B = (V_AB + V_BC - V_CA) / 2,
        V_C = (V_BC + V_CA - V_AB) / 2.

    The pairs' noise must be independent between clocks. The records may differ in
    length; the rows are the factors all three sweeps have. rate, data_type, taus,
    confidence, workers and zero_is_gap apply to each pair as in the sweeps.

    Returns a HatResult (taus, m, variances, devs, pairs). Raises what the sweeps raise,
    ValueError for an unknown statistic or when the three sweeps share no factor.
    """
    if statistic not in STATISTICS or statistic == "mtie":
        names = ", ".join(name for name in STATISTICS if name != "mtie")
        raise ValueError(f"statistic must be one of {names}; not {statistic!r}")
    chosen = STATISTICS[statistic]
    swept = [sweep(chosen, data, rate, data_type, taus, confidence=confidence, workers=workers,
                   zero_is_gap=zero_is_gap) for data in (ab, bc, ca)]
    common = np.intersect1d(np.intersect1d(swept[0].m, swept[1].m), swept[2].m)
    if common.size == 0:
        raise ValueError("the three pairwise records share no averaging factor")
    pairs = tuple(_rows(result, common) for result in swept)
    v_ab, v_bc, v_ca = (pair.devs**2 for pair in pairs)
    variances = 0.5 * np.column_stack([v_ab + v_ca - v_bc, v_ab + v_bc - v_ca, v_bc + v_ca - v_ab])
    devs = np.sqrt(np.where(variances > 0.0, variances, np.nan))
    return HatResult(pairs[0].taus, common, variances, devs, pairs, chosen.name, chosen.title, chosen.unit,
                     data_type, pairs[0].rate)
