#!/usr/bin/env python3
"""The short table that ends `./run.sh bench`: for each stability routine with a speed
target, its cost in streaming passes per averaging factor (the median over the octave
factors at 10^6 samples), before and after the vectorised kernels, and the target.
The sweep rows give one whole octave sweep of the routine at 10^4 samples in streaming
passes of that record; their target is half the time before.

Usage: summary.py BENCHMARK_OUTPUT.json ...  (Google Benchmark's JSON output)
"""
import json
import os
import statistics
import sys

# Medians measured before the change, with these benchmark programs and yardstick on
# the library as it was at commit BEFORE_COMMIT, built as shipped then (-O2 -g); the
# better of two runs, at a load average of 5 to 8.
BEFORE_COMMIT = "7bce527"
BEFORE = {
    "CalcPhaseOverlapSigma": 10.81,
    "CalcFreqOverlapSigma": 21.71,
    "CalcPhaseOverlapHadamardDev": 15.36,
    "CalcFreqOverlapHadamardDev": 19.36,
    "TIErms": 7.24,
    "CalcPhaseStdDev": 14.1,
    "CalcFreqStdDev": 11.74,
    "CalcPhaseModSigma": 19.61,
    "CalcFastModSigma": 16.46,
    "CalcGreenhallModSigma": 22.34,
    "CalcFreqModSigma": 29.02,
    "TotvarCalc": 58.73,
    "CalcMTIE": 356.4,
    "ModTotvarCalcSweep": 3.909e5,
    "HadTotvarCalcSweep": 4.434e5,
}

# routine (benchmark name without BM_), target: the largest median allowed, or
# "half" for the sweeps (at most half the time before).
TARGETS = [
    ("CalcPhaseOverlapSigma", 3),
    ("CalcFreqOverlapSigma", 3),
    ("CalcPhaseOverlapHadamardDev", 3),
    ("CalcFreqOverlapHadamardDev", 3),
    ("TIErms", 3),
    ("CalcPhaseStdDev", 3),
    ("CalcFreqStdDev", 3),
    ("CalcPhaseModSigma", 5),
    ("CalcFastModSigma", 5),
    ("CalcGreenhallModSigma", 5),
    ("CalcFreqModSigma", 5),
    ("TotvarCalc", 5),
    ("CalcMTIE", 8),
    ("ModTotvarCalcSweep", "half"),
    ("HadTotvarCalcSweep", "half"),
]


def medians(paths):
    """Median streaming passes over the factors of each benchmark family."""
    by_routine = {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        for bench in data.get("benchmarks", []):
            if "streaming_passes" not in bench or bench.get("run_type") == "aggregate":
                continue
            routine = bench["name"].split("/")[0].removeprefix("BM_")
            by_routine.setdefault(routine, []).append(bench["streaming_passes"])
    return {r: statistics.median(v) for r, v in by_routine.items()}


def main(paths):
    after = medians(paths)
    load = ", ".join(f"{x:.2f}" for x in os.getloadavg())
    print()
    print("Streaming passes per averaging factor, median over the octave factors at 10^6")
    print("samples; the sweep rows: one octave sweep at 10^4 samples, in streaming passes")
    print(f"of that record. Load average now: {load}.")
    if BEFORE_COMMIT:
        print(f"before: recorded, measured before the change at commit {BEFORE_COMMIT};")
        print("after: measured in this run.")
    print()
    print(f"{'routine':32} {'before':>9} {'after':>9}  target")
    for routine, target in TARGETS:
        before = BEFORE.get(routine)
        now = after.get(routine)
        if target == "half":
            limit = before / 2 if before else None
            shown = f"<= {limit:.4g} (half of before)" if limit else "<= half of before"
        else:
            limit = target
            shown = f"<= {limit}"
        verdict = "" if now is None or limit is None else ("met" if now <= limit else "MISSED")
        print(f"{routine:32} {number(before)} {number(now)}  {shown:28} {verdict}")


def number(value):
    return f"{value:9.4g}" if value is not None else f"{'-':>9}"


if __name__ == "__main__":
    main(sys.argv[1:])
