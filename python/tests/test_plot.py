"""varnis.plot draws sweep results with Matplotlib's Agg backend; Matplotlib is
imported only for plotting."""
import io
import subprocess
import sys

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


def test_dynamic_allan_deviation_draws_as_a_heat_map():
    rng = np.random.default_rng(5)
    # White frequency noise that steps up tenfold half way.
    phase = np.cumsum(np.r_[rng.normal(0.0, 1e-12, 2000), rng.normal(0.0, 1e-11, 2000)])
    dynamic = varnis.dynamic_adev(phase, rate=10.0, window=400, step=100)
    ax = varnis.plot_dynamic(dynamic)
    (mesh,) = ax.collections
    cells = np.reshape(mesh.get_array(), dynamic.devs.T.shape)  # taus up, windows across
    np.testing.assert_allclose(cells.data, dynamic.devs.T)
    assert ax.get_yscale() == "log"
    colours = mesh.to_rgba(cells)
    # Windows before and after the step are drawn in different colours.
    assert not np.allclose(colours[0, 0], colours[0, -1])
    assert ax.figure.axes[1].get_ylabel() == "Overlapping Allan deviation"
    png = io.BytesIO()
    ax.figure.savefig(png, format="png")
    assert png.getvalue().startswith(b"\x89PNG")


def test_importing_the_package_leaves_matplotlib_alone():
    code = "import sys, varnis; assert 'matplotlib' not in sys.modules"
    subprocess.run([sys.executable, "-c", code], check=True)
