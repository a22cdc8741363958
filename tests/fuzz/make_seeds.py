#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into tests/fuzz/corpus/<target>/.

Each seed is an input the harness decodes into one chosen call: byte 0 picks the export
from the target's table (read from the target's source, so reordering the table is
followed), and the bytes after it are laid out in the order fuzz::Input reads them. The
encoders below are the inverses of fuzz::Input's readers. The seeds aim at the paths
a fuzzer finds slowly: sound headers with gaps, windows that do not start at sample 1,
every type and mode value, the progress callback raising the stop flag.

Run it again (python3 tests/fuzz/make_seeds.py) after changing what a harness reads.
"""
import math
import os
import re
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
INT_MIN, INT_MAX = -2**31, 2**31 - 1
DBL_MAX = sys.float_info.max


class Seed:
    """Bytes that fuzz::Input decodes into the values written."""

    def __init__(self):
        self.data = bytearray()

    def byte(self, v):
        self.data.append(v & 0xFF)
        return self

    def u32(self, v):
        self.data += (v & 0xFFFFFFFF).to_bytes(4, "big")
        return self

    def u64(self, v):
        self.data += (v & 0xFFFFFFFFFFFFFFFF).to_bytes(8, "big")
        return self

    def flag(self, on):
        return self.byte(1 if on else 0)

    def integer(self, v, lo=-8, hi=64):
        if v == INT_MIN:
            return self.byte(0)
        if v == INT_MAX:
            return self.byte(1)
        if lo <= v <= hi:
            return self.byte(3).u32(v - lo)
        return self.byte(2).u32(v)

    def bounded(self, v, limit):
        return self.u32(v + limit)

    def real(self, x):
        if x == 0.0:
            return self.byte(0)
        if math.isnan(x):
            return self.byte(1)
        if x == math.inf:
            return self.byte(2)
        if x == -math.inf:
            return self.byte(3)
        if x == DBL_MAX:
            return self.byte(4)
        if x == -DBL_MAX:
            return self.byte(5)
        return self.byte(7).u64(struct.unpack(">Q", struct.pack(">d", x))[0])

    real_f = real

    def arm(self, stop_at_start=False, stop_after=None):
        """Progress::arm: the stop flag raised at the start, or after that many callbacks."""
        self.byte(0 if stop_at_start else 1)
        return self.byte(0 if stop_after is None else 2 * stop_after + 1)

    def record(self, samples, window=None, header=None, scale_exp=9, offset=False, smooth=True):
        """A data vector. samples: ints in -128..127 (steps of the scale, summed when
        smooth), None for a gap, or a float for any value. window: (first, last) within
        the record. header: (count, first, last) as any doubles."""
        n = len(samples)
        assert n <= 4096
        self.u32(n << 1)
        self.byte(scale_exp).byte(1 if offset else 0).flag(smooth)
        for s in samples:
            if s is None:
                self.byte(0)
            elif isinstance(s, float):
                self.byte(2).real(s)
            else:
                self.byte(3).byte(s + 128)
        if header is not None:
            self.byte(2)
            for value in header:
                self.byte(0).byte(0).real(value)  # header_value: any double
            return self
        if window is None:
            return self.byte(0)
        first, last = window
        assert 1 <= first and last <= n and first - 1 <= 255 and n - last <= 255
        return self.byte(1).byte(first - 1).byte(n - last)


def steps(n, seed, gaps=(), spread=40):
    """n small pseudo-random steps, with None at the 1-based positions in gaps."""
    out, state = [], seed * 2654435761 % 2**32 or 1
    for k in range(1, n + 1):
        state = (state * 1103515245 + 12345) % 2**31
        out.append(None if k in gaps else (state >> 8) % (2 * spread + 1) - spread)
    return out


# Records reused across exports: (samples, window or None).
PLAIN = (steps(48, 1), None)
GAPS = (steps(48, 2, gaps={1, 7, 8, 20, 48}), None)
WINDOW = (steps(64, 3, gaps={10, 11, 40}), (6, 57))
LONG = (steps(700, 4, gaps=set(range(50, 700, 97))), (3, 690))


def rec(s, which, **kw):
    samples, window = which
    return s.record(samples, window=window, **kw)


def window_length(which):
    samples, window = which
    return len(samples) if window is None else window[1] - window[0] + 1


def seeds_stability():
    out = {}
    out["CheckVarnis"] = [Seed()]
    for name, args in [("CalcPhaseSigma", 1), ("CalcPhaseStdDev", 1), ("CalcPhaseHadamardDev", 1),
                       ("CalcHadamardDev", 1)]:
        out[name] = [rec(Seed(), GAPS).arm().real(1.0), rec(Seed(), WINDOW).arm().real(2.5e-3)]
    for name in ["CalcFreqSigma", "CalcFreqStdDev", "CalcFreqHadamardDev"]:
        out[name] = [rec(Seed(), GAPS, smooth=False, offset=True).arm(),
                     rec(Seed(), WINDOW, smooth=False).arm()]
    for name, big in [("CalcPhaseOverlapSigma", 2100), ("CalcPhaseOverlapHadamardDev", 1400)]:
        out[name] = [rec(Seed(), GAPS).arm().real(1.0).integer(3, -4, big),
                     rec(Seed(), WINDOW).arm().real(0.1).integer(7, -4, big),
                     rec(Seed(), LONG).arm().real(1.0).integer(100, -4, big)]
    for name, big in [("CalcFreqOverlapSigma", 2100), ("CalcFreqModSigma", 1400),
                      ("CalcFreqOverlapHadamardDev", 1400)]:
        out[name] = [rec(Seed(), GAPS, smooth=False).arm().integer(2, -4, big),
                     rec(Seed(), WINDOW, smooth=False).arm().integer(5, -4, big)]
    out["CalcMean"] = [rec(Seed(), GAPS).arm().integer(0), rec(Seed(), WINDOW).arm().integer(1)]
    out["AddSigma"] = [Seed().real_f(1e-11).real_f(2e-11).real_f(0.0).real_f(3e-12).real_f(1e-10).byte(1),
                       Seed().real_f(1.0).real_f(math.nan).real_f(1.0).real_f(1.0).real_f(1.0).byte(0)]
    out["CalcPhaseModSigma"] = [
        rec(Seed(), GAPS).arm().real(4.0).integer(4, -4, 1400).byte(1).flag(True).byte(1),
        rec(Seed(), LONG).arm(stop_after=5).real(3.0).integer(3, -4, 1400).byte(1).flag(True).byte(1),
        rec(Seed(), WINDOW).arm(stop_at_start=True).real(2.0).integer(2, -4, 1400).byte(1).flag(False).byte(1),
    ]
    for name in ["CalcFastModSigma", "CalcGreenhallModSigma"]:
        out[name] = [rec(Seed(), PLAIN, offset=True).arm().real(8.0).integer(8, -4, 1400),
                     rec(Seed(), WINDOW).arm().real(3.0).integer(3, -4, 1400)]
    out["CalcMTIE"] = [rec(Seed(), GAPS).arm().integer(5, -4, 4200).flag(True),
                       rec(Seed(), LONG).arm(stop_after=4).integer(30, -4, 4200).flag(True),
                       rec(Seed(), WINDOW).arm().integer(1, -4, 4200).flag(False)]
    out["CalcFastMTIE"] = [rec(Seed(), PLAIN).arm().flag(False),
                           rec(Seed(), LONG).arm(stop_after=3).flag(False),
                           rec(Seed(), WINDOW).arm().flag(True)]
    out["TIErms"] = [rec(Seed(), GAPS).arm().integer(1, -4, 4200),
                     rec(Seed(), WINDOW).arm().integer(9, -4, 4200)]
    out["TotvarCalc"] = [rec(Seed(), GAPS).arm().real(1.0).integer(3, -4, 4200).integer(0),
                         rec(Seed(), WINDOW).arm().real(0.5).integer(10, -4, 4200).integer(0)]
    out["ModTotvarCalc"] = [rec(Seed(), PLAIN).arm().real(1.0).integer(2, -4, 1400).flag(True),
                            rec(Seed(), LONG).arm(stop_after=6).real(1.0).integer(5, -4, 1400).flag(True)]
    out["HadTotvarCalc"] = [rec(Seed(), GAPS, smooth=False).arm().integer(3, -4, 1400).flag(True),
                            rec(Seed(), LONG, smooth=False).arm(stop_after=6).integer(4, -4, 1400).flag(True)]
    for name in ["TotvarBias", "TotvarEDF", "ModTotvarEDF", "HadTotvarEDF"]:
        out[name] = [Seed().integer(alpha).real_f(ratio) for alpha, ratio in [(0, 10.0), (-2, 3.5), (-4, 2.0)]]
    for name in ["ModTotvarBias", "HadTotvarBias"]:
        out[name] = [Seed().integer(alpha) for alpha in (2, 0, -3)]
    return out


def seeds_conditioning():
    out = {}
    for name in ["ConvPhaseToFreq", "ConvFreqToPhase"]:
        out[name] = [rec(Seed(), GAPS).real(1.0).flag(True), rec(Seed(), WINDOW).real(10.0).flag(False)]
    tt = []
    for which, scale in [(GAPS, 1.0), (WINDOW, 0.001)]:
        s = rec(Seed(), which).flag(True)
        for k in range(window_length(which) + 3):
            s.byte(k)
        tt.append(s.real(scale).flag(True))
    out["ConvPhaseToFreqUsingTimetags"] = tt
    for name in ["AverageFreqData", "AveragePhaseData"]:
        out[name] = [rec(Seed(), GAPS).integer(3, -4, 4200), rec(Seed(), WINDOW).integer(7, -4, 4200)]
    for name in ["CalcFirstDiff", "CalcSecondDiff"]:
        out[name] = [rec(Seed(), GAPS).arm(), rec(Seed(), WINDOW).arm()]
    out["NormalizeData"] = [rec(Seed(), GAPS).real(1e-9).integer(mode, -1, 2) for mode in (0, 1)]
    out["ScaleData"] = [rec(Seed(), WINDOW).real(1e-9).real(2.0).integer(mode, -1, 2) for mode in (0, 1)]
    for name in ["CalcLinFreqDrift", "CalcLogFreqDrift", "CalcDiffusionFreqDrift", "CalcBisectionDrift",
                 "CalcThreePointDrift", "CalcFreqOffset", "MedDev"]:
        out[name] = [rec(Seed(), GAPS, smooth=False, offset=True), rec(Seed(), WINDOW)]
    out["CalcQuadraticDrift"] = [rec(Seed(), GAPS).real(1.0), rec(Seed(), WINDOW).real(60.0)]
    out["RemoveDiffusionFreqDrift"] = [rec(Seed(), GAPS).real(1e-9).real(1e-11).real(5.0)]
    out["RemoveFreqOffset"] = [rec(Seed(), WINDOW).real(1e-9).real(1e-11).integer(u) for u in (0, 1)]
    out["RemoveLinFreqDrift"] = [rec(Seed(), GAPS).real(1e-9).real(1e-12)]
    out["RemoveLogFreqDrift"] = [rec(Seed(), WINDOW).real(1e-9).real(0.5).real(1e-10)]
    out["RemoveQuadraticDrift"] = [rec(Seed(), GAPS).real(1e-9).real(1e-11).real(1e-13)]
    for name in ["CountGaps", "FindMedian"]:
        out[name] = [rec(Seed(), GAPS).arm().integer(0, -1, 2), rec(Seed(), WINDOW).arm().integer(1, -1, 2),
                     rec(Seed(), LONG).arm().integer(0, -1, 2)]
    out["FillGaps"] = [rec(Seed(), GAPS).integer(0, -1, 2), rec(Seed(), WINDOW).integer(1, -1, 2),
                       rec(Seed(), (steps(40, 5, gaps={1, 2, 3, 38, 39, 40}), None)).integer(1, -1, 2)]
    out["FillFloatGaps"] = [rec(Seed(), GAPS).integer(0, -1, 2), rec(Seed(), WINDOW).integer(1, -1, 2)]
    out["FindFreqOutliers"] = [rec(Seed(), GAPS, smooth=False).real_f(1.5).integer(1),
                               rec(Seed(), WINDOW, smooth=False).real_f(2.0).integer(0)]
    mt = []
    for which, n, nw, k, est, norm, log_form, gap_mode in [
            (GAPS, 48, 4, 3, 1, 1, 2, 0), (WINDOW, 50, 5, 4, 2, 2, 1, 1),
            (PLAIN, 40, 3, 1, 2, 3, 0, 1), (GAPS, 32, 6, 5, 1, 0, 2, 1)]:
        s = rec(Seed(), which).integer(n, -4, 4200).real_f(1.0).flag(True).byte(nw)  # NW = byte / 2
        mt.append(s.integer(k, -2, 12).integer(est, -1, 3).integer(norm, -1, 4).integer(0)
                  .integer(log_form, -1, 3).real_f(1.0).integer(gap_mode, -1, 2))
    out["MultiTaperSpectrumCalc"] = mt
    return out


def seeds_confidence():
    out = {}
    out["EDF"] = [Seed().integer(beta, -6, 2).integer(m).integer(n) for beta, m, n in [(0, 1, 100), (-2, 4, 50), (-4, 2, 9)]]
    out["CalcDegFree"] = [Seed().integer(a, -4, 4).integer(n).integer(m) for a, n, m in [(2, 100, 4), (1, 50, 3), (0, 20, 2), (-1, 30, 5), (-2, 40, 1)]]
    out["HadamardEDF"] = [Seed().integer(n).integer(m).integer(b, -8, 0) for n, m, b in [(60, 4, -2), (50, 2, -4), (40, 3, -6)]]
    out["CalcNormalProb"] = [Seed().real_f(z) for z in (0.0, 1.25, -3.5)]
    out["CalcChiSqrProb"] = [Seed().real_f(x).real_f(df) for x, df in [(3.0, 5.0), (12.5, 7.5), (0.5, 1.0)]]
    out["CalcInvChiSqr"] = [Seed().flag(True).byte(p).real_f(df) for p, df in [(25, 4.0), (230, 120.0)]] + \
        [Seed().flag(False).real_f(0.001).real_f(2.5)]
    out["CalcBias"] = [Seed().integer(n).integer(mu, -4, 4) for n, mu in [(10, -2), (16, 0), (5, 2)]]
    out["CalcBias1"] = [Seed().bounded(n, 100000).real_f(r).real_f(mu) for n, r, mu in [(10, 1.0, 1.0), (32, 0.3, 0.0), (2, 5.0, -2.0), (8, 0.5, -1.0)]]
    out["CalcBias2"] = [Seed().real_f(r).real_f(mu) for r, mu in [(0.5, 1.0), (1.0, 0.0), (3.0, -2.0)]]
    out["CalcBias3"] = [Seed().bounded(n, 100000).real_f(r).real_f(mu) for n, r, mu in [(8, 0.5, 1.0), (4, 2.0, -1.0)]]
    out["CalcStarB1"] = [rec(Seed(), GAPS).arm().integer(0, -1, 2).real(1.0).integer(2, -4, 4200),
                         rec(Seed(), WINDOW, smooth=False).arm().integer(1, -1, 2).real(1.0).integer(4, -4, 4200)]
    out["CalcHadamardB1"] = [Seed().bounded(n, 100000).integer(mu, -3, 5) for n, mu in [(10, -1), (20, 1), (5, 3)]]
    out["CalcRatio"] = [Seed().integer(a, -4, 4).bounded(n, 100000).real_f(b) for a, n, b in [(1, 10, 3.0), (1, 200, 3.0), (-1, 8, 0.0), (2, 4, 1.0)]]
    out["NoiseID"] = [Seed().bounded(n, 100000).integer(kind, -2, 11).bounded(m, 100000).real_f(b).real_f(x)
                      for n, kind, m, b, x in [(100, 0, 1, 3.0, 0.9), (50, 2, 8, 3.0, 0.6), (80, 4, 1, 3.0, 1.2), (60, 7, 1, 3.0, 0.5)]]
    dom = {"ConvDomain": [], "CalcDomain": []}
    for t in range(1, 8):
        for name, value in [("ConvDomain", 1e-22), ("CalcDomain", -100.0 if t == 4 else 1e-11)]:
            dom[name].append(Seed().real_f(0.0).real_f(value).real_f(1.0).real_f(1.0).real_f(1e7).real_f(1e3)
                             .integer(t, -1, 9).integer(t % 5 - 2, -4, 4).integer(1).byte(1))
    out.update(dom)
    gen = []
    for log2, beta, seed, add in [(6, 0.0, -5, 0), (8, -2.0, 1, 1), (5, -4.0, 70000, 0), (7, -1.0, -1, 0)]:
        gen.append(Seed().flag(True).byte(log2).real(0.5).integer(seed, -300000, 300000).real_f(1.0).real_f(beta)
                   .byte(1).byte(1).integer(add))
    out["GenNoise"] = gen
    sp = []
    for which, n, passes, window, units, seg_log2, gap_mode in [
            (GAPS, 48, 1, 2, 2, 1, 0), (WINDOW, 50, 2, 5, 0, 2, 1), (PLAIN, 40, 3, 3, 2, 0, 1),
            (GAPS, 32, 0, 1, 1, 3, 1), (WINDOW, 45, 1, 4, 2, 1, 0), (PLAIN, 48, 1, 0, 2, 4, 0)]:
        sp.append(rec(Seed(), which).integer(n, -4, 4200).real_f(1.0).integer(passes, -2, 5).integer(window, -2, 7)
                  .integer(units, -2, 6).real_f(1.0).flag(True).byte(seg_log2).integer(gap_mode, -1, 2))
    out["SpectrumCalc"] = sp
    out["AddPSD"] = [Seed().real_f(-100.0).real_f(-110.0).real_f(0.0).real_f(-95.0).real_f(-120.0).byte(1).integer(u, -2, 6) for u in (4, 0)]
    return out


def packed_date(s, y, m, d):
    return s.flag(False).byte(y - 1800).byte(m).byte(d)


def seeds_plot():
    out = {}
    out["FindMinMax"] = [rec(Seed(), GAPS).byte(1).integer(0), rec(Seed(), WINDOW).byte(1).integer(1)]
    out["FindPlotScale"] = [Seed().real(a).real(b) for a, b in [(-3.2e-9, 7.9e-9), (0.0, 1.0), (12.0, 12.5)]]
    out["RoundAxes"] = [Seed().real(a).real(b) for a, b in [(-3.2e-9, 7.9e-9), (100.0, 1234.0)]]
    out["BasScale"] = [Seed().real(a).real(b).integer(n, -4, 64) for a, b, n in [(0.0, 97.0, 6), (-5e-12, -1e-12, 5), (3.0, 3.2, 11)]]
    hist = []
    for which, nbins, zero_gaps in [(GAPS, 8, 0), (WINDOW, 12, 1)]:
        s = rec(Seed(), which).byte(nbins + 4).real_f(0.0).real_f(-2e-7)
        for j in range(nbins + 1):
            s.flag(True).byte(40)  # each edge 40e-9 above the last
        hist.append(s.integer(zero_gaps))
    out["HistoCalc"] = hist
    out["DateConv"] = [Seed().integer(m, -2, 14).integer(y, -10, 3000).byte(1) for m, y in [(2, 2000), (2, 1900), (12, 99), (7, 2024)]]
    for name in ["DateToJulian", "DayOfWeek"]:
        out[name] = [packed_date(Seed(), 2003, 9, 4), packed_date(Seed(), 1900, 3, 1), packed_date(Seed(), 2055, 2, 28)]
    out["BreakDate"] = [packed_date(Seed(), 2003, 9, 4)]
    out["DateToMJD"] = [Seed().integer(d, -2, 33).integer(m, -2, 14).flag(False).byte(y - 1850) for d, m, y in [(4, 9, 2003), (29, 2, 2000), (1, 1, 1858)]]
    out["JulianToDate"] = [Seed().u32(j) for j in (2451545, 1721426, 36525)]
    out["MJDToDate"] = [Seed().flag(False).integer(mjd, -20000, 120000) for mjd in (51544, 0, 88068)]
    out["MJDtoDOY"] = [Seed().u32(mjd) for mjd in (51544, 51603, 15079)]
    out["MJDtoGPS"] = [Seed().u32(mjd) for mjd in (44244, 52000)]
    out["MakeDate"] = [Seed().integer(m).integer(d).flag(False).integer(y, -10, 3000) for m, d, y in [(9, 4, 2003), (1, 1, 3), (12, 31, 100)]]
    return out


TARGETS = {
    "stability": seeds_stability,
    "conditioning": seeds_conditioning,
    "confidence": seeds_confidence,
    "plot": seeds_plot,
}


def table_of(target):
    """Export names in the order of the target's table."""
    with open(os.path.join(HERE, f"fuzz_{target}.cpp")) as f:
        source = f.read()
    body = source[source.index("fuzz::Entry table[] = {"):]
    return re.findall(r'^\s*\{"(\w+)",', body, re.M)


def main():
    total = 0
    for target, make in TARGETS.items():
        names = table_of(target)
        seeds = make()
        missing = sorted(set(names) - set(seeds))
        unknown = sorted(set(seeds) - set(names))
        if missing or unknown:
            sys.exit(f"fuzz_{target}: no seeds for {missing}; not in the table: {unknown}")
        folder = os.path.join(HERE, "corpus", f"varnis_fuzz_{target}")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, list_ in seeds.items():
            for i, s in enumerate(list_):
                data = bytes([names.index(name)]) + bytes(s.data)
                assert len(data) < 4096, (name, len(data))
                with open(os.path.join(folder, f"export{names.index(name):02d}-{i + 1}"), "wb") as f:
                    f.write(data)
                total += len(data)
        print(f"varnis_fuzz_{target}: {sum(len(v) for v in seeds.values())} seeds")
    print(f"{total} bytes in all")


if __name__ == "__main__":
    main()
