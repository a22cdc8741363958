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


def plot_dynamic(result, *, ax=None, cmap="viridis"):
    """Draws a dynamic Allan deviation (varnis.dynamic_adev(...)) as a heat map: the
    windows' middle times across, the averaging times up on a log axis, each cell
    coloured by the log of its deviation, with a labelled colour bar; cells without a
    term stay blank. ax: the Matplotlib axes to draw into (default: a new figure);
    cmap: the colour map. Returns ax."""
    import matplotlib.pyplot as plt
    from matplotlib.colors import LogNorm

    if ax is None:
        _, ax = plt.subplots()
    devs = np.ma.masked_invalid(np.where(result.devs > 0.0, result.devs, np.nan))
    mesh = ax.pcolormesh(_edges(result.times, log=False), _edges(result.taus, log=True), devs.T,
                         norm=LogNorm(), cmap=cmap, shading="flat")
    ax.set_yscale("log")
    ax.set_xlabel("time of the window's middle (s)")
    ax.set_ylabel("tau (s)")
    ax.set_title(f"Dynamic Allan deviation, windows of {result.window} samples")
    ax.figure.colorbar(mesh, ax=ax, label="Overlapping Allan deviation")
    return ax


def _edges(centres, log):
    """Cell edges around the centres: halfway between neighbours (geometrically on a log
    axis), the outer ones as far out as the inner ones."""
    c = np.log(centres) if log else np.asarray(centres, dtype=np.float64)
    if c.size == 1:
        edges = np.array([c[0] - 0.5, c[0] + 0.5]) if not log else np.array([c[0] - 0.35, c[0] + 0.35])
    else:
        middle = (c[1:] + c[:-1]) / 2.0
        edges = np.concatenate([[2 * c[0] - middle[0]], middle, [2 * c[-1] - middle[-1]]])
    return np.exp(edges) if log else edges
