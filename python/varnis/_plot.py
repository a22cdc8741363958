"""Sigma-tau plots of sweep results with Matplotlib, imported only when plotting."""
import numpy as np


def plot(result, *, ax=None, label=None, **errorbar_options):
    """Draws a sweep result (varnis.oadev(...) and the others) as a log-log sigma-tau
    plot, the confidence interval of each row as its error bar (rows without one get
    none). ax: the Matplotlib axes to draw into (default: a new figure); label: the
    legend text (default: the statistic's name); further keyword arguments go to
    ax.errorbar. Call again with the same ax to overlay several statistics. Returns ax."""
    import matplotlib.pyplot as plt

    if ax is None:
        _, ax = plt.subplots()
    taus, devs = result.taus, result.devs
    below = np.nan_to_num(devs - result.ci_lower, nan=0.0)
    above = np.nan_to_num(result.ci_upper - devs, nan=0.0)
    options = {"marker": "o", "markersize": 4, "capsize": 3}
    options.update(errorbar_options)
    ax.errorbar(taus, devs, yerr=np.vstack([below, above]), label=label or result.statistic, **options)
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("tau (s)")
    unit = f" ({result.unit})" if result.unit else ""
    ylabel = f"{result.title}{unit}"
    ax.set_ylabel(ylabel if ax.get_ylabel() in ("", ylabel) else "Deviation")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend()
    return ax
