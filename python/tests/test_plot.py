"""varnis.plot draws sweep results with Matplotlib's Agg backend."""
import io

import matplotlib
import numpy as np

import varnis

matplotlib.use("Agg")


def test_plot_draws_rows_with_their_intervals_as_error_bars():
    phase = np.cumsum(np.random.default_rng(4).normal(0.0, 1e-12, 4096))
    allan = varnis.oadev(phase, taus=[1, 2, 4, 8, 16])
    ax = varnis.plot(allan)
    ax = varnis.plot(varnis.mtie(phase), ax=ax, label="MTIE")  # no interval: no bars
    assert (ax.get_xscale(), ax.get_yscale()) == ("log", "log")
    line, caps, (bars,) = ax.containers[0].lines
    np.testing.assert_array_equal(line.get_xdata(), allan.taus)
    np.testing.assert_array_equal(line.get_ydata(), allan.devs)
    spans = np.array([segment[:, 1] for segment in bars.get_segments()])
    np.testing.assert_allclose(spans, np.c_[allan.ci_lower, allan.ci_upper], rtol=1e-12)
    assert [t.get_text() for t in ax.get_legend().get_texts()] == ["oadev", "MTIE"]
    assert ax.get_ylabel() == "Deviation"  # two statistics
    assert varnis.plot(allan).get_ylabel() == "Overlapping Allan deviation"
    png = io.BytesIO()
    ax.figure.savefig(png, format="png")
    assert png.getvalue().startswith(b"\x89PNG")
