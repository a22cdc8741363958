"""Runs varnis-analyze on a generated data file and checks its output against direct
calls of the library's exports (the Python package's raw bindings) on the same data.
Usage: check_analyze.py PROGRAM CASE"""
import csv
import ctypes
import math
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import numpy as np
import varnis
from varnis import raw, rawx

PROGRAM, CASE = sys.argv[1], sys.argv[2]
WORK = Path(tempfile.mkdtemp(prefix="analyze_"))
D = ctypes.POINTER(ctypes.c_double)


def ptr(vector):
    return vector.ctypes.data_as(D)


def write_records(path, values):
    # The capture program's record: "%20.15e" and CR LF.
    path.write_bytes(b"".join(b"%20.15e\r\n" % v for v in values))


def run(*arguments, stdin="", expect=0):
    done = subprocess.run([PROGRAM, *arguments], input=stdin, capture_output=True, text=True, timeout=120)
    assert done.returncode == expect, (done.returncode, done.stdout, done.stderr)
    return done


def conditioned(samples, kind, tau0):
    """The record the program analyses, through the same exports: frequencies, the
    linear frequency drift fitted and removed, integrated back to phase."""
    v = varnis.data_vector(samples)
    if kind == "phase":
        gaps = raw.CountGaps(ptr(v), 0)
        y = np.zeros(v.size)
        assert raw.ConvPhaseToFreq(ptr(v), ptr(y), tau0, 1) >= 0
        y = y[: int(y[0]) + 3]
    else:
        gaps = raw.CountGaps(ptr(v), 1)
        y = v.copy()
    b, s, var = ctypes.c_double(), ctypes.c_double(), ctypes.c_double()
    assert raw.CalcLinFreqDrift(ptr(y), ctypes.byref(b), ctypes.byref(s), ctypes.byref(var)) >= 2
    raw.RemoveLinFreqDrift(ptr(y), b.value, s.value)
    p = np.zeros(int(y[0]) + 4)
    assert raw.ConvFreqToPhase(ptr(y), ptr(p), tau0, 0) >= 0
    return p[: int(p[0]) + 3], gaps


def recorded(samples, kind, tau0):
    """The phase as recorded: MTIE and TIE rms use it (frequency data: integrated)."""
    v = varnis.data_vector(samples)
    if kind == "phase":
        return v
    p = np.zeros(v.size + 1)
    assert raw.ConvFreqToPhase(ptr(v), ptr(p), tau0, 0) >= 0
    return p[: int(p[0]) + 3]


def longest_factor(n, theoh_limit=1e9):
    """The last averaging factor of a record of n phase samples: while the Allan
    deviation has a term, or TheoH a TheoBR row within its cost limit (samples times
    the largest Theo1 factor of the sweep, the bias removal's 12 + 4 (n / 30 - 3) included)."""
    allan = (n - 1) // 2
    if n < 90 or n * max(2 * ((4 * (n // 10 + 1) + 3) // 6), 12 + 4 * (n // 30 - 3)) > theoh_limit:
        return allan
    theo1 = min(theoh_limit // n, n - 1)
    return max(allan, int((6 * (theo1 // 2) + 2) // 4))


def theoh(phase, tau0, factors):
    """{m: (value, terms, tau)} of TheoH by one direct CalcTheoHSweep of the factors."""
    afs = np.array(factors, dtype=np.intc)
    devs, taus, terms = np.zeros(afs.size), np.zeros(afs.size), np.zeros(afs.size, dtype=np.intc)
    assert rawx.CalcTheoHSweep(phase, tau0, afs, afs.size, 0, devs, taus, terms, None, None, 0,
                               varnis.no_progress) == afs.size
    return {int(m): (v, int(t), tau) for m, v, t, tau in zip(afs, devs, terms, taus)}


def direct(statistic, phase, tau0, m, recorded_phase=None):
    """(value, terms) of one statistic by a direct call on the conditioned phase (MTIE
    and TIE rms: on the recorded phase)."""
    if statistic in ("mtie", "tierms"):
        phase = recorded_phase
    out = ctypes.c_double()
    stop = ctypes.c_int(0)
    quiet = varnis.ProgressCallback(lambda percent, text: None)
    ref = ctypes.byref(out)
    n = int(phase[0])
    if statistic == "oadev":
        terms = raw.CalcPhaseOverlapSigma(ptr(phase), ref, tau0, m)
    elif statistic in ("mdev", "tdev"):
        terms = raw.CalcPhaseModSigma(ptr(phase), ref, m * tau0, m, ctypes.byref(stop), 0, quiet)
        if statistic == "tdev":
            return m * tau0 * out.value / math.sqrt(3.0), terms
    elif statistic == "ohdev":
        terms = raw.CalcPhaseOverlapHadamardDev(ptr(phase), ref, tau0, m)
    elif statistic == "totdev":
        terms = raw.TotvarCalc(ptr(phase), ref, tau0, m, 0)
    elif statistic == "mtotdev":
        # It takes 0.0 as a value: on a record with gaps the variances of the gap-free
        # stretches are pooled by their subsequence counts.
        x = phase[3:]
        gap = (x == 0.0) & (np.arange(1, n + 1) != 1) & (np.arange(1, n + 1) != n)
        if not gap.any():
            terms = raw.ModTotvarCalc(ptr(phase), ref, tau0, m, ctypes.byref(stop), 0, quiet)
        else:
            edges = np.flatnonzero(np.diff(np.concatenate(([1], gap.astype(int), [1]))))
            pooled, terms = 0.0, 0
            for start, end in zip(edges[0::2], edges[1::2]):  # stretches x[start:end]
                if end - start < 3 * m:
                    continue
                count = raw.ModTotvarCalc(ptr(varnis.data_vector(x[start:end])), ref, tau0, m,
                                          ctypes.byref(stop), 0, quiet)
                if count > 0:
                    pooled, terms = pooled + count * out.value ** 2, terms + count
            return math.sqrt(pooled / terms), terms
    elif statistic == "pdev":
        terms = rawx.CalcParabolicDev(ptr(phase), ref, tau0, m)
    elif statistic == "theoh":
        return theoh(phase, tau0, [m])[m][:2]
    elif statistic == "mtie":
        copy = phase.copy()
        assert raw.CalcMTIE(ptr(copy), ref, m, ctypes.byref(stop), 0, quiet) == n
        terms = n - m
    else:
        terms = raw.TIErms(ptr(phase), ref, m)
    return out.value, terms


def check_against_library(samples, kind, tau0, confidence, extra=()):
    data = WORK / "run 1.dat"  # a blank in the name, as capture file names may have
    write_records(data, samples)
    # The records hold 16 digits: the program analyses the values as they read back.
    samples = np.array([float(line) for line in data.read_text().split()])
    table, plot = WORK / "table.csv", WORK / "plot.svg"
    flag = "-p" if kind == "phase" else "-f"
    done = run("-t", repr(tau0), flag, str(data), "-o", "auto1", "-o", "skip",
               "--csv", str(table), "--plot", str(plot), *extra)
    phase, gaps = conditioned(samples, kind, tau0)
    as_recorded = recorded(samples, kind, tau0)
    assert f"Gaps found: {gaps}\n" in done.stdout, done.stdout
    n = int(phase[0])
    rows = list(csv.DictReader(table.open()))
    factors = sorted({int(r["m"]) for r in rows})
    expected_factors = [2 ** i for i in range(40) if 2 ** i <= longest_factor(n)]
    assert factors == expected_factors, (factors, expected_factors)
    # TheoH, every row of it as one direct sweep; beyond the Allan deviation's last
    # term (n - 2m >= 1) it is the only statistic.
    theoh_rows = theoh(phase, tau0, [int(r["m"]) for r in rows if r["statistic"] == "theoh"])
    assert {int(r["m"]) for r in rows if n - 2 * int(r["m"]) < 1} <= set(theoh_rows)
    assert all(r["statistic"] == "theoh" for r in rows if n - 2 * int(r["m"]) < 1)
    tail = 0.025 if confidence == 95 else (1 - 0.6827) / 2
    seen = set()
    for r in rows:
        m, statistic = int(r["m"]), r["statistic"]
        seen.add(statistic)
        tau = m * tau0
        if statistic == "theoh":
            value, terms, tau = theoh_rows[m]
            assert (r["edf"] == "") == (m > n // 10), (m, r)  # no EDF for the TheoBR rows
        else:
            value, terms = direct(statistic, phase, tau0, m, as_recorded)
        assert int(r["terms"]) == terms, (statistic, m, r["terms"], terms)
        assert math.isclose(float(r["value"]), value, rel_tol=1e-14), (statistic, m, r["value"], value)
        assert math.isclose(float(r["tau"]), tau, rel_tol=1e-15)
        if r["edf"]:
            edf, lo, hi = float(r["edf"]), float(r["lower"]), float(r["upper"])
            chi_high = raw.CalcInvChiSqr(tail, edf)
            chi_low = raw.CalcInvChiSqr(1 - tail, edf)
            assert math.isclose(lo, value * math.sqrt(edf / chi_high), rel_tol=1e-6), (statistic, m)
            assert math.isclose(hi, value * math.sqrt(edf / chi_low), rel_tol=1e-6), (statistic, m)
            assert lo < value < hi
        if statistic == "oadev" and r["noise_alpha"]:
            alpha = int(r["noise_alpha"])
            assert -4 <= alpha <= 2
            # The degrees of freedom count the samples behind the terms.
            edf = raw.CalcDegFree(max(-2, min(2, alpha)), terms + 2 * m, m)
            if r["edf"]:
                assert math.isclose(float(r["edf"]), edf, rel_tol=1e-7), (m, r["edf"], edf)
            # The printed table shows the same value to four digits.
            assert f"{value:.3e}" in done.stdout
    assert seen == {"oadev", "mdev", "tdev", "ohdev", "totdev", "mtotdev", "pdev", "theoh", "mtie", "tierms"}, seen

    root = ElementTree.parse(plot).getroot()  # raises on XML that is not well-formed
    assert root.tag == "{http://www.w3.org/2000/svg}svg"
    plotted = sum(1 for r in rows if r["statistic"] in ("oadev", "mdev", "ohdev", "totdev", "mtotdev", "pdev", "theoh")
                  and float(r["value"]) > 0)
    assert len(root.findall(".//{http://www.w3.org/2000/svg}circle")) == plotted
    return done


def check_report_page(page, sections):
    """The report page: well-formed, self-contained (no script, nothing loaded from
    elsewhere, links only within), with the sections in order; returns its root."""
    import html.parser
    import re
    text = page.read_text(encoding="utf-8")
    root = ElementTree.fromstring(text)

    class Links(html.parser.HTMLParser):
        def handle_starttag(self, tag, attrs):
            assert tag not in ("script", "link", "img", "iframe", "object", "embed"), tag
            for name, value in attrs:
                if name in ("src", "href", "xlink:href", "data", "action"):
                    assert value.startswith("#"), (tag, name, value)
    Links().feed(text)
    assert not re.search(r"url\((?!#)|@import", text)
    ids = [e.get("id") for e in root.iter("{http://www.w3.org/1999/xhtml}h2")]
    assert ids == sections, ids
    return root


def screenshot(page, name, coloured_at_least=20000):
    """Renders the page in headless Chromium from disk; the picture, kept as name in
    ANALYZE_SCREENSHOT_DIR, must not be blank: plotted curves and text."""
    import os
    shots = Path(os.environ.get("ANALYZE_SCREENSHOT_DIR", WORK))
    shot = shots / name
    shot.unlink(missing_ok=True)
    subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    f"--user-data-dir={WORK / 'browser'}", f"--screenshot={shot}", "--window-size=1200,3200",
                    page.as_uri()], capture_output=True, timeout=120, check=True)
    pixels = subprocess.run(["pngtopnm", str(shot)], capture_output=True, check=True).stdout
    width, height = map(int, pixels.split(b"\n")[1].split())
    body = np.frombuffer(pixels[-width * height * 3:], dtype=np.uint8).reshape(height, width, 3)
    coloured = np.count_nonzero((body.max(axis=2) - body.min(axis=2)) > 60)
    dark = np.count_nonzero(body.max(axis=2) < 100)
    assert coloured > coloured_at_least and dark > 20000, (coloured, dark)


rng = np.random.default_rng(12)
if CASE == "handoff_phase":
    # White phase noise on a large offset with a frequency offset, as a counter gives.
    k = np.arange(2000)
    x = 1e-3 + 5e-9 * k + rng.normal(0.0, 1e-10, k.size)
    done = check_against_library(x, "phase", 1.0, 68)
    assert "White PM" in done.stdout
    assert "Frequency offset removed:" in done.stdout
elif CASE == "frequency_95":
    y = 1e-9 + 1e-14 * np.arange(1500) + rng.normal(0.0, 1e-11, 1500)
    done = check_against_library(y, "frequency", 0.5, 95, ("--confidence", "95"))
    assert "Confidence intervals: 95 %" in done.stdout
elif CASE == "gaps":
    x = 1e-6 + np.cumsum(rng.normal(0.0, 1e-11, 1200))
    x[[100, 101, 102, 640]] = 0.0
    done = check_against_library(x, "phase", 1.0, 68)
    assert "Gaps found: 4" in done.stdout
elif CASE == "interrupt":
    import signal
    import time
    data = WORK / "long.dat"
    x = 1e-3 + rng.normal(0.0, 1e-10, 10 ** 5)
    write_records(data, x)
    table = WORK / "stopped.csv"
    # Every averaging factor of 10^5 samples: far more work than the half second.
    program = subprocess.Popen([PROGRAM, "-t", "1.0", "-p", str(data), "-o", "skip", "--taus", "all",
                                "--csv", str(table)], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    time.sleep(0.5)
    program.send_signal(signal.SIGINT)
    stdout, stderr = program.communicate(timeout=120)
    assert program.returncode == 130, (program.returncode, stderr)
    assert "Stopped by the user" in stdout
    # The rows that were reported are complete: they agree with uninterrupted calls.
    samples = np.array([float(line) for line in data.read_text().split()])
    phase, _ = conditioned(samples, "phase", 1.0)
    as_recorded = recorded(samples, "phase", 1.0)
    rows = list(csv.DictReader(table.open()))
    factors = sorted({int(r["m"]) for r in rows})
    assert factors == list(range(1, len(factors) + 1)), factors[:5]  # whole rows, in order
    for r in rows[:: max(1, len(rows) // 200)]:
        value, terms = direct(r["statistic"], phase, 1.0, int(r["m"]), as_recorded)
        assert (int(r["terms"]), float(r["value"])) == (terms, value), r
    assert not rows or int(rows[-1]["m"]) < 49999  # it did stop early
elif CASE == "bad_line":
    bad = WORK / "bad.dat"
    bad.write_bytes(b"1.0e-09\r\n2.0e-09\r\n\r\n# note\r\n3,0e-09\r\n")
    done = run("-t", "1.0", "-p", str(bad), "-o", "auto1", "-o", "skip", expect=1)
    assert "line 5" in done.stderr and "3,0e-09" in done.stderr, done.stderr
    # Without skip the program waits for Enter, also after an error.
    done = run("-t", "1.0", "-p", str(bad), "-o", "auto1", stdin="\n", expect=1)
    assert "Press Enter" in done.stdout
    # The hand-off alone writes the plot and the table beside a good data file.
    good = WORK / "good.dat"
    write_records(good, 1e-3 + rng.normal(0.0, 1e-10, 300))
    done = run("-t", "1.0", "-p", str(good), "-o", "auto1", "-o", "skip")
    ElementTree.parse(str(good) + ".svg")
    assert (WORK / "good.dat.csv").read_text().startswith("statistic,m,tau,")
    assert f"Plot written to {good}.svg" in done.stdout
    # The printed table is also kept beside the data file, as printed.
    text = (WORK / "good.dat.txt").read_text()
    assert text.startswith(f"Data file: {good}\n") and "Gaps found: 0" in text, text
    assert done.stdout.startswith(text), (text, done.stdout)
    assert f"Printed table written to {good}.txt" in done.stdout
elif CASE == "choices":
    # A frequency offset and drift, and two gaps. MTIE and TIE rms are those of the
    # phase as recorded whatever drift model is removed before the deviations.
    k = np.arange(3000)
    data = WORK / "choices.dat"
    x = 1e-3 + 2e-8 * k + 1e-15 * k ** 2 + rng.normal(0.0, 1e-10, k.size)
    x[[700, 701]] = 0.0
    write_records(data, x)
    samples = np.array([float(line) for line in data.read_text().split()])
    as_recorded = recorded(samples, "phase", 1.0)
    for drift in ("none", "offset", "linear", "quadratic", "log", "diffusion"):
        table = WORK / f"{drift}.csv"
        done = run("-p", str(data), "-o", "skip", "--drift", drift, "--taus", "decade", "--csv", str(table))
        assert "Drift removed: " + ("none" if drift == "none" else "") in done.stdout, done.stdout[:600]
        rows = list(csv.DictReader(table.open()))
        assert sorted({int(r["m"]) for r in rows}) == [1, 2, 4, 10, 20, 40, 100, 200, 400, 1000, 2000]
        for r in rows:
            if r["statistic"] in ("mtie", "tierms") or drift == "none":
                value, terms = direct(r["statistic"], as_recorded, 1.0, int(r["m"]), as_recorded)
                assert (int(r["terms"]), float(r["value"])) == (terms, value), (drift, r)
    assert "Gaps found: 2" in run("-p", str(data), "-o", "skip").stdout
    # The cost limit of the modified total deviation, stated: (3000 - 3m + 1) m <= 6000.
    table = WORK / "limited.csv"
    done = run("-p", str(data), "-o", "skip", "--mtotdev-limit", "6000", "--csv", str(table))
    assert "cost limit (N - 3m + 1) m <= 6e+03 with N = 3000; computed up to m = 2, skipped beyond" in done.stdout
    assert [r["m"] for r in csv.DictReader(table.open()) if r["statistic"] == "mtotdev"] == ["1", "2"]
    # Readings of 0 taken as values: no gaps.
    assert "Gaps found: 0" in run("-p", str(data), "-o", "skip", "--zeros", "value").stdout
elif CASE == "failures":
    # Each refused file: a message naming the file and the line, status 1, no outputs.
    for content, message in ((b"1e-9\r\n1.000000000000000e+300\r\n", "line 2: the value 1.000000000000000e+300 is too large"),
                             (b"1e-9\r\n2e-9\r\ninf\r\n", "line 3: not a finite number")):
        bad = WORK / "bad.dat"
        bad.write_bytes(content)
        done = run("-p", str(bad), "-o", "auto1", "-o", "skip", expect=1)
        assert f"{bad}: {message}" in done.stderr, done.stderr
        assert not (WORK / "bad.dat.csv").exists() and not (WORK / "bad.dat.html").exists()
    # Values whose variances overflow: named with the averaging factor, status 1, and
    # no number that is not finite, nor a noise type for it, in any output.
    big = WORK / "big.dat"
    write_records(big, (1e-3 + rng.normal(0.0, 1e-3, 500)) * 1e156)
    table = WORK / "big.csv"
    done = run("-p", str(big), "-o", "skip", "--drift", "none", "--csv", str(table), expect=1)
    assert f"{big}: Overlapping Allan deviation at m = 1 is not a finite number" in done.stderr, done.stderr
    for text in (done.stdout, table.read_text()):
        assert "nan" not in text.lower() and "inf" not in text.lower(), text
    # A reading that was no number is a gap.
    gap = WORK / "gap.dat"
    write_records(gap, 1e-3 + rng.normal(0.0, 1e-10, 100))
    gap.write_bytes(gap.read_bytes().replace(b"\r\n", b"\r\nnan\r\n", 1))
    assert "Gaps found: 1" in run("-p", str(gap), "-o", "skip").stdout
elif CASE == "report":
    data = WORK / "report run.dat"
    k = np.arange(5000)
    x = 1e-3 + 5e-9 * k + np.cumsum(rng.normal(0.0, 1e-11, k.size)) + rng.normal(0.0, 2e-10, k.size)
    x[[100, 101, 2500]] = 0.0
    write_records(data, x)
    done = run("-t", "1.0", "-p", str(data), "-o", "auto1", "-o", "skip")
    page = Path(f"{data}.html")
    assert f"Report written to {page}" in done.stdout
    root = check_report_page(page, ["summary", "records", "residual", "sigma-tau", "dynamic", "time-error",
                                    "spectrum", "tables"])
    text = page.read_text(encoding="utf-8")
    charts = root.findall(".//{http://www.w3.org/2000/svg}svg")
    assert len(charts) == 7, len(charts)
    spectrum = charts[6]
    assert len(spectrum.findall(".//{http://www.w3.org/2000/svg}polyline")) == 2  # periodogram, multitaper
    assert "baseline-shift=\"super\"" in text and "(s)" in text and "(Hz)" in text
    assert "http-equiv" not in text  # refreshes only while following
    # The dynamic Allan deviation: a cell per window and octave factor (runs of one
    # colour in a row drawn as one), labelled axes with units and a colour bar.
    heat = charts[4]
    labels = "".join(heat.itertext())
    assert "Averaging time \u03c4 (s)" in labels and "since the first reading (s)" in labels
    assert "Overlapping Allan deviation \u03c3(\u03c4) (s/s)" in labels
    fills = [r.get("fill") for r in heat.iter("{http://www.w3.org/2000/svg}rect")]
    assert len(set(fills)) > 20, len(set(fills))
    screenshot(page, "analyze_report.png")
elif CASE == "follow":
    import signal
    import time
    data = WORK / "live.dat"
    data.write_bytes(b"")
    samples = 1e-3 + rng.normal(0.0, 1e-10, 2000)
    records = [b"%20.15e\r\n" % v for v in samples]
    # The writer appends 50 records at a time, the last one in two halves, as a
    # reader may meet a record the capture program is writing.
    (WORK / "records").write_bytes(b"|".join(records))
    writer = subprocess.Popen([sys.executable, "-c", """
import sys, time
records = open(sys.argv[2], 'rb').read().split(b'|')
with open(sys.argv[1], 'ab', buffering=0) as out:
    for i in range(0, len(records), 50):
        chunk = b''.join(records[i:i + 50])
        out.write(chunk[:-10]); time.sleep(0.05); out.write(chunk[-10:]); time.sleep(0.1)
""", str(data), str(WORK / "records")], stdin=subprocess.DEVNULL)
    page, table = WORK / "live.html", WORK / "live.csv"
    program = subprocess.Popen([PROGRAM, "-p", str(data), "-o", "skip", "--follow", "0.2", "--report", str(page),
                                "--csv", str(table)], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def analysed():
        """The number of values behind the last CSV written (oadev at m = 1: n - 2 terms)."""
        try:
            rows = [r for r in csv.DictReader(table.open()) if r["statistic"] == "oadev" and r["m"] == "1"]
        except OSError:
            return 0
        return int(rows[0]["terms"]) + 2 if rows else 0

    seen = set()
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and analysed() < len(records):
        seen.add(analysed())
        time.sleep(0.05)
    writer.wait(timeout=60)
    assert analysed() == len(records), analysed()
    assert len(seen - {0}) >= 3, seen  # it followed the file as it grew
    program.send_signal(signal.SIGINT)
    stdout, stderr = program.communicate(timeout=60)
    assert program.returncode == 0, (program.returncode, stderr)
    assert "Stopped following" in stdout and stderr == "", stderr
    # The outputs are whole and are those of the whole file.
    root = ElementTree.parse(page).getroot()
    assert root.find(".//{http://www.w3.org/1999/xhtml}meta[@http-equiv='refresh']") is not None
    phase, _ = conditioned(np.array([float(r) for r in records]), "phase", 1.0)
    rows = list(csv.DictReader(table.open()))
    for r in rows:
        if r["statistic"] == "oadev":
            value, terms = direct("oadev", phase, 1.0, int(r["m"]))
            assert (int(r["terms"]), float(r["value"])) == (terms, value), r
    assert not list(WORK.glob("*.tmp*"))  # no temporary file left behind
elif CASE == "hat":
    # Three clocks of white frequency noise, 1, 2 and 4 parts in 10^12 at 1 s, compared
    # in pairs; each pairwise file carries an offset and a frequency offset of its own.
    levels = np.array([1e-12, 2e-12, 4e-12])
    n = 20000
    clocks = [np.cumsum(rng.normal(0.0, level, n)) for level in levels]
    paths = [WORK / f"{name}.dat" for name in ("AB", "BC", "CA")]
    for p, (i, j) in zip(paths, ((0, 1), (1, 2), (2, 0))):
        write_records(p, 1e-6 * (i + 1) + 3e-10 * np.arange(n) + clocks[i] - clocks[j])
    table, page, plot = WORK / "hat.csv", WORK / "hat.html", WORK / "hat.svg"
    done = run("--hat", *map(str, paths), "-o", "skip", "--csv", str(table), "--report", str(page),
               "--plot", str(plot), "--hat-statistic", "mdev")
    assert "Variance: Modified Allan deviation" in done.stdout, done.stdout
    pairs = [conditioned(np.array([float(v) for v in p.read_text().split()]), "phase", 1.0)[0] for p in paths]
    rows = list(csv.DictReader(table.open()))
    assert sorted({int(r["m"]) for r in rows}) == [2 ** i for i in range(13)]  # up to n / 3
    variances, pair_variances = np.zeros(3), np.zeros(3)
    for r in rows:
        m = int(r["m"])
        terms = rawx.CalcThreeCorneredHat(pairs[0], pairs[1], pairs[2], 1.0, m, 1, variances, pair_variances)
        series = "A B C AB BC CA".split().index(r["series"])
        want = (variances if series < 3 else pair_variances)[series % 3]
        assert int(r["terms"]) == terms and float(r["variance"]) == want, (r, want)
        assert r["deviation"] == ("" if want <= 0 else repr(math.sqrt(want))), r
        # The known clocks recovered while the averages are many: white frequency noise
        # has the modified Allan deviation sigma sqrt(R / tau), R = 1/2 for long tau.
        if series < 3 and m in (8, 16, 32):
            expected = levels[series] * math.sqrt(0.5 / m)
            assert abs(float(r["deviation"]) / expected - 1) < 0.15, (r, expected)
    check_report_page(page, ["summary", "sigma-tau", "tables"])
    screenshot(page, "analyze_hat_report.png", coloured_at_least=2000)  # lines on white
    ElementTree.parse(plot)
    # Files that cannot be one hat: a message naming them and status 1, nothing written.
    short = WORK / "short.dat"
    short.write_text("".join(paths[2].read_text().splitlines(keepends=True)[:-1]))
    table.unlink()
    done = run("--hat", str(paths[0]), str(paths[1]), str(short), "-o", "skip", "--csv", str(table), expect=1)
    assert f"same length" in done.stderr and f"{short} has {n - 1} values" in done.stderr, done.stderr
    done = run("-t", "1,1,10", "--hat", *map(str, paths), "-o", "skip", "--csv", str(table), expect=1)
    assert f"one rate: {paths[0]} every 1 s, {paths[1]} every 1 s, {paths[2]} every 10 s" in done.stderr
    assert not table.exists()
elif CASE == "help":
    done = run("--help")
    assert "usage: varnis-analyze" in done.stdout and "--plot" in done.stdout
    done = run("-o", "skip", "-q", expect=2)
    assert "unknown argument" in done.stderr
else:
    raise SystemExit(f"unknown case {CASE}")
shutil.rmtree(WORK)  # kept only when a check failed, for a look
print(f"{CASE}: ok")
