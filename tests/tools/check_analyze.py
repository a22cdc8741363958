"""Runs varnis-analyze on a generated data file and checks its output against direct
calls of the library's exports (the Python package's raw bindings) on the same data.
Usage: check_analyze.py PROGRAM CASE"""
import csv
import ctypes
import math
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import numpy as np
import varnis
from varnis import raw

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


def direct(statistic, phase, tau0, m):
    """(value, terms) of one statistic by a direct call on the conditioned phase."""
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
        terms = raw.ModTotvarCalc(ptr(phase), ref, tau0, m, ctypes.byref(stop), 0, quiet)
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
    assert f"Gaps found: {gaps}\n" in done.stdout, done.stdout
    n = int(phase[0])
    rows = list(csv.DictReader(table.open()))
    factors = sorted({int(r["m"]) for r in rows})
    expected_factors = [2 ** i for i in range(40) if n - 2 * 2 ** i >= 1]
    assert factors == expected_factors, (factors, expected_factors)
    tail = 0.025 if confidence == 95 else (1 - 0.6827) / 2
    seen = set()
    for r in rows:
        m, statistic = int(r["m"]), r["statistic"]
        seen.add(statistic)
        value, terms = direct(statistic, phase, tau0, m)
        assert int(r["terms"]) == terms, (statistic, m, r["terms"], terms)
        assert math.isclose(float(r["value"]), value, rel_tol=1e-14), (statistic, m, r["value"], value)
        assert math.isclose(float(r["tau"]), m * tau0, rel_tol=1e-15)
        if r["edf"]:
            edf, lo, hi = float(r["edf"]), float(r["lower"]), float(r["upper"])
            chi_high = raw.CalcInvChiSqr(tail, edf)
            chi_low = raw.CalcInvChiSqr(1 - tail, edf)
            assert math.isclose(lo, value * math.sqrt(edf / chi_high), rel_tol=1e-6), (statistic, m)
            assert math.isclose(hi, value * math.sqrt(edf / chi_low), rel_tol=1e-6), (statistic, m)
            assert lo < value < hi
        if statistic == "oadev":
            alpha = int(r["noise_alpha"])
            assert -4 <= alpha <= 2
            edf = raw.CalcDegFree(max(-2, min(2, alpha)), n, m)
            if edf > 0:
                assert math.isclose(float(r["edf"]), edf, rel_tol=1e-7), (m, r["edf"], edf)
            # The printed table shows the same value to four digits.
            assert f"{value:.3e}" in done.stdout
    assert seen == {"oadev", "mdev", "tdev", "ohdev", "totdev", "mtotdev", "mtie", "tierms"}, seen

    root = ElementTree.parse(plot).getroot()  # raises on XML that is not well-formed
    assert root.tag == "{http://www.w3.org/2000/svg}svg"
    plotted = sum(1 for r in rows if r["statistic"] in ("oadev", "mdev", "ohdev", "totdev", "mtotdev")
                  and float(r["value"]) > 0)
    assert len(root.findall(".//{http://www.w3.org/2000/svg}circle")) == plotted
    return done


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
    x = 1e-3 + rng.normal(0.0, 1e-10, 10 ** 6)
    write_records(data, x)
    table = WORK / "stopped.csv"
    program = subprocess.Popen([PROGRAM, "-t", "1.0", "-p", str(data), "-o", "skip", "--csv", str(table)],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    time.sleep(0.5)
    program.send_signal(signal.SIGINT)
    stdout, stderr = program.communicate(timeout=120)
    assert program.returncode == 130, (program.returncode, stderr)
    assert "Stopped by the user" in stdout
    # The rows that were reported are complete: they agree with uninterrupted calls.
    samples = np.array([float(line) for line in data.read_text().split()])
    phase, _ = conditioned(samples, "phase", 1.0)
    rows = list(csv.DictReader(table.open()))
    for r in rows:
        value, terms = direct(r["statistic"], phase, 1.0, int(r["m"]))
        assert (int(r["terms"]), float(r["value"])) == (terms, value), r
    assert not rows or int(rows[-1]["m"]) < 2 ** 18  # it did stop early
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
elif CASE == "help":
    done = run("--help")
    assert "usage: varnis-analyze" in done.stdout and "--plot" in done.stdout
    done = run("-o", "skip", "-q", expect=2)
    assert "unknown argument" in done.stderr
else:
    raise SystemExit(f"unknown case {CASE}")
print(f"{CASE}: ok")
