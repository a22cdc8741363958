// Every export that keeps no state gives, on several threads at once over different
// data, exactly the results it gives on one thread. Only GenNoise keeps library-wide
// state: its generator sequence is shared by all callers, and the last test here
// checks that concurrent calls take whole stretches of it.
// A check reads the exports of varnis.h so that an export added without a case here fails.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "varnis.h"

namespace {

void quiet(int, const char*) {}

// Every result of one call of a routine on one record, bit for bit; the first element
// is the routine's return value.
using Results = std::vector<double>;
using Record = std::vector<double>;

struct Case {
    const char* name;
    std::function<Results(const Record&)> run;
    // False where a negative return is an ordinary result (a noise type, a drift).
    bool negative_is_refusal = true;
};

Results one(double r, double v) { return {r, v}; }

template <class T>
Results with(double r, const std::vector<T>& values) {
    Results out{r};
    out.insert(out.end(), values.begin(), values.end());
    return out;
}

// Whole numbers that differ between the records, for the routines without a record.
int count_of(const Record& x) { return static_cast<int>(x[0]); }
int pick(const Record& x, int modulus) { return count_of(x) % modulus; }

std::vector<float> as_floats(const Record& x) {
    std::vector<float> f(x.begin(), x.end());
    return f;
}

template <class F>
Results four_outputs(F call) {
    double a = 0, b = 0, c = 0, d = 0;
    const int r = call(&a, &b, &c, &d);
    return {static_cast<double>(r), a, b, c, d};
}

Results in_place(const Record& x, const std::function<double(double*)>& call) {
    auto copy = x;
    const double r = call(copy.data());
    return with(r, copy);
}

const std::vector<Case>& cases() {
    static const std::vector<Case> list = {
        // Presence check
        {"CheckVarnis", [](const Record&) { return Results{static_cast<double>(CheckVarnis())}; }},

        // Allan deviation family
        {"CalcPhaseSigma", [](const Record& x) { double s = 0; return one(CalcPhaseSigma(x.data(), &s, 1.0), s); }},
        {"CalcFreqSigma", [](const Record& x) { double s = 0; return one(CalcFreqSigma(x.data(), &s), s); }},
        {"CalcPhaseOverlapSigma", [](const Record& x) { double s = 0; return one(CalcPhaseOverlapSigma(x.data(), &s, 1.0, 7), s); }},
        {"CalcFreqOverlapSigma", [](const Record& x) { double s = 0; return one(CalcFreqOverlapSigma(x.data(), &s, 5), s); }},
        {"CalcPhaseStdDev", [](const Record& x) { double s = 0; return one(CalcPhaseStdDev(x.data(), &s, 1.0), s); }},
        {"CalcFreqStdDev", [](const Record& x) { double s = 0; return one(CalcFreqStdDev(x.data(), &s), s); }},
        {"CalcMean", [](const Record& x) { double s = 0; return one(CalcMean(x.data(), &s, 0), s); }},
        {"AddSigma", [](const Record& x) {
             const std::vector<float> five(x.begin() + 3, x.begin() + 8);
             return Results{AddSigma(five.data())};
         }},

        // Modified Allan and time deviation
        {"CalcPhaseModSigma", [](const Record& x) {
             double s = 0;
             int stop = 0;
             return one(CalcPhaseModSigma(x.data(), &s, 4.0, 4, &stop, 1, quiet), s);
         }},
        {"CalcFastModSigma", [](const Record& x) { double s = 0; return one(CalcFastModSigma(x.data(), &s, 8.0, 8), s); }},
        {"CalcGreenhallModSigma", [](const Record& x) { double s = 0; return one(CalcGreenhallModSigma(x.data(), &s, 8.0, 8), s); }},
        {"CalcFreqModSigma", [](const Record& x) { double s = 0; return one(CalcFreqModSigma(x.data(), &s, 6), s); }},

        // Hadamard deviation family
        {"CalcPhaseHadamardDev", [](const Record& x) { double s = 0; return one(CalcPhaseHadamardDev(x.data(), &s, 1.0), s); }},
        {"CalcHadamardDev", [](const Record& x) { double s = 0; return one(CalcHadamardDev(x.data(), &s, 2.0), s); }},
        {"CalcFreqHadamardDev", [](const Record& x) { double s = 0; return one(CalcFreqHadamardDev(x.data(), &s), s); }},
        {"CalcPhaseOverlapHadamardDev", [](const Record& x) { double s = 0; return one(CalcPhaseOverlapHadamardDev(x.data(), &s, 1.0, 3), s); }},
        {"CalcFreqOverlapHadamardDev", [](const Record& x) { double s = 0; return one(CalcFreqOverlapHadamardDev(x.data(), &s, 3), s); }},

        // Time interval error
        {"CalcMTIE", [](const Record& x) {
             auto copy = x;  // the header is rewritten during the call
             double s = 0;
             int stop = 0;
             return one(CalcMTIE(copy.data(), &s, 9, &stop, 1, quiet), s);
         }},
        {"CalcFastMTIE", [](const Record& x) {
             std::vector<float> points(16), values(16);
             std::vector<int> factors(16);
             VarnisStabilityTable t{};
             t.numPoints = points.data();
             t.value = values.data();
             t.avgFactor = factors.data();
             Results r = with(CalcFastMTIE(x.data(), &t, 0, quiet), values);
             r.insert(r.end(), points.begin(), points.end());
             r.insert(r.end(), factors.begin(), factors.end());
             return r;
         }},
        {"TIErms", [](const Record& x) { double s = 0; return one(TIErms(x.data(), &s, 3), s); }},

        // Total variance family
        {"TotvarCalc", [](const Record& x) { double s = 0; return one(TotvarCalc(x.data(), &s, 1.0, 5, 0), s); }},
        {"ModTotvarCalc", [](const Record& x) {
             double s = 0;
             int stop = 0;
             return one(ModTotvarCalc(x.data(), &s, 1.0, 4, &stop, 1, quiet), s);
         }},
        {"HadTotvarCalc", [](const Record& x) {
             double s = 0;
             int stop = 0;
             return one(HadTotvarCalc(x.data(), &s, 4, &stop, 1, quiet), s);
         }},
        {"TotvarBias", [](const Record& x) { return Results{TotvarBias(pick(x, 5) - 2, count_of(x) / 10.0f)}; }},
        {"TotvarEDF", [](const Record& x) { return Results{TotvarEDF(-pick(x, 3), count_of(x) / 10.0f)}; }},
        {"ModTotvarBias", [](const Record& x) { return Results{ModTotvarBias(pick(x, 5) - 2)}; }},
        {"ModTotvarEDF", [](const Record& x) { return Results{ModTotvarEDF(pick(x, 5) - 2, count_of(x) / 10.0f)}; }},
        {"HadTotvarBias", [](const Record& x) { return Results{HadTotvarBias(-pick(x, 5))}; }},
        {"HadTotvarEDF", [](const Record& x) { return Results{HadTotvarEDF(-pick(x, 5), count_of(x) / 10.0f)}; }},

        // Equivalent degrees of freedom
        {"CalcDegFree", [](const Record& x) { return Results{CalcDegFree(pick(x, 5) - 2, count_of(x), 3)}; }},
        {"EDF", [](const Record& x) { return Results{EDF(-pick(x, 5), pick(x, 4) + 1, count_of(x))}; }},
        {"HadamardEDF", [](const Record& x) { return Results{HadamardEDF(count_of(x), 2, -2 - pick(x, 5))}; }},

        // Chi-square and normal distributions
        {"CalcNormalProb", [](const Record& x) { return Results{CalcNormalProb((pick(x, 7) - 3) * 0.37f)}; }},
        {"CalcChiSqrProb", [](const Record& x) { return Results{CalcChiSqrProb(pick(x, 30) + 0.5f, pick(x, 20) + 1.0f)}; }},
        {"CalcInvChiSqr", [](const Record& x) { return Results{CalcInvChiSqr(0.3f, pick(x, 90) + 1.5f)}; }},

        // Bias functions and noise identification
        {"CalcBias", [](const Record& x) { return Results{CalcBias(pick(x, 40) + 2, pick(x, 5) - 2)}; }},
        {"CalcBias1", [](const Record& x) { return Results{CalcBias1(pick(x, 50) + 2, 0.5f, pick(x, 5) * 0.9f - 1.8f)}; }},
        {"CalcBias2", [](const Record& x) { return Results{CalcBias2(0.1f * pick(x, 30), pick(x, 5) * 0.9f - 1.8f)}; }},
        {"CalcBias3", [](const Record& x) { return Results{CalcBias3(pick(x, 50) + 2, 0.5f, pick(x, 5) * 0.9f - 1.8f)}; }},
        {"CalcStarB1", [](const Record& x) { return Results{CalcStarB1(x.data(), 0, 1.0, 2)}; }},
        {"CalcHadamardB1", [](const Record& x) { return Results{CalcHadamardB1(pick(x, 60) + 2, pick(x, 5) - 1)}; }},
        {"CalcRatio", [](const Record& x) { return Results{CalcRatio(pick(x, 5) - 2, pick(x, 200) + 2, 3.0f)}; }},
        {"NoiseID",
         [](const Record& x) { return Results{static_cast<double>(NoiseID(count_of(x), pick(x, 10), 4, 3.0f, 0.6f))}; },
         false},

        // Domain conversion
        {"ConvDomain", [](const Record& x) {
             float out = 0;
             return one(ConvDomain(1e-22f, &out, 1.0f, 1.0f, 1e7f, 1e3f, pick(x, 7) + 1, pick(x, 5) - 2, 1), out);
         }},
        {"CalcDomain", [](const Record& x) {
             const int type = pick(x, 7) + 1, alpha = pick(x, 5) - 2;
             float level = 0, h = 0;
             ConvDomain(3e-23f, &level, 10.0f, 2.0f, 5e6f, 1e3f, type, alpha, 1);
             return one(CalcDomain(&h, level, 10.0f, 2.0f, 5e6f, 1e3f, type, alpha, 1), h);
         }},

        // Periodogram spectrum (AddPSD only)
        {"AddPSD", [](const Record& x) {
             std::vector<float> five(5);
             for (int i = 0; i < 5; ++i) five[i] = static_cast<float>(-100.0 + x[3 + i] * 1e9);
             return Results{AddPSD(five.data(), 4), AddPSD(five.data(), 0)};
         },
         false},

        // Spectra: the levels and frequencies written, for windows, passes, gap modes
        // and estimators that differ between the records.
        {"SpectrumCalc", [](const Record& x) {
             std::vector<float> re(1024 + 3), im(1024);
             const int r = SpectrumCalc(x.data(), re.data(), im.data(), 1.0f, 1000, 1 + pick(x, 3), pick(x, 6),
                                        2, 1.0f, 4, pick(x, 2));
             Results out = with(r, re);
             out.insert(out.end(), im.begin(), im.end());
             return out;
         }},
        {"MultiTaperSpectrumCalc", [](const Record& x) {
             std::vector<float> spectrum(1023), frequencies(1023);
             const int r = MultiTaperSpectrumCalc(x.data(), spectrum.data(), frequencies.data(), 1.0f, 600, 3.5f, 5,
                                                  1 + pick(x, 2), 1, 0, 2, 1.0f, 0);
             Results out = with(r, spectrum);
             out.insert(out.end(), frequencies.begin(), frequencies.end());
             return out;
         }},

        // Phase and frequency conversion and averaging
        {"AverageFreqData", [](const Record& x) { return in_place(x, [](double* d) { return AverageFreqData(d, 3); }); }},
        {"AveragePhaseData", [](const Record& x) { return in_place(x, [](double* d) { return AveragePhaseData(d, 4); }); }},
        {"CalcFirstDiff", [](const Record& x) { double s = 0; return one(CalcFirstDiff(x.data(), &s), s); }},
        {"CalcSecondDiff", [](const Record& x) { double s = 0; return one(CalcSecondDiff(x.data(), &s), s); }},
        {"ConvFreqToPhase", [](const Record& x) {
             std::vector<double> phase(x.size() + 4);
             return with(ConvFreqToPhase(x.data(), phase.data(), 1.0, 1), phase);
         }},
        {"ConvPhaseToFreq", [](const Record& x) {
             std::vector<double> y(x.size() + 3);
             return with(ConvPhaseToFreq(x.data(), y.data(), 1.0, 1), y);
         }},
        {"ConvPhaseToFreqUsingTimetags", [](const Record& x) {
             std::vector<double> y(x.size() + 3), tags(x.size() + 3);
             for (std::size_t k = 3; k < tags.size(); ++k) tags[k] = static_cast<double>(k) + 0.25 * static_cast<double>(k % 3);
             double mean_tau = 0;
             Results r = with(ConvPhaseToFreqUsingTimetags(x.data(), y.data(), tags.data(), 0.5, &mean_tau, 1), y);
             r.push_back(mean_tau);
             return r;
         }},
        {"NormalizeData", [](const Record& x) { return in_place(x, [](double* d) { return NormalizeData(d, 3e-10, 0); }); }},
        {"ScaleData", [](const Record& x) { return in_place(x, [](double* d) { return ScaleData(d, 1e-9, 2.5, 1); }); }},

        // Drift and offset estimation and removal
        {"CalcLinFreqDrift", [](const Record& x) {
             return four_outputs([&](double* a, double* b, double* c, double*) { return CalcLinFreqDrift(x.data(), a, b, c); });
         }},
        {"CalcFreqOffset", [](const Record& x) {
             return four_outputs([&](double* a, double* b, double* c, double*) { return CalcFreqOffset(x.data(), a, b, c); });
         }},
        {"CalcLogFreqDrift", [](const Record& x) {
             return four_outputs([&](double* a, double* b, double* c, double* d) { return CalcLogFreqDrift(x.data(), a, b, c, d); });
         }},
        {"CalcDiffusionFreqDrift", [](const Record& x) {
             return four_outputs([&](double* a, double* b, double* c, double* d) {
                 return CalcDiffusionFreqDrift(x.data(), a, b, c, d);
             });
         }},
        {"CalcQuadraticDrift", [](const Record& x) {
             double a = 0, b = 0, c = 0, d = 0;
             const int r = CalcQuadraticDrift(x.data(), 1.0, &a, &b, &c, &d);
             return Results{static_cast<double>(r), a, b, c, d};
         }},
        {"CalcBisectionDrift", [](const Record& x) { return in_place(x, [](double* d) { return CalcBisectionDrift(d); }); },
         false},
        {"CalcThreePointDrift", [](const Record& x) { return in_place(x, [](double* d) { return CalcThreePointDrift(d); }); },
         false},
        {"RemoveLinFreqDrift", [](const Record& x) { return in_place(x, [](double* d) { return RemoveLinFreqDrift(d, 1e-10, 3e-13); }); }},
        {"RemoveFreqOffset", [](const Record& x) { return in_place(x, [](double* d) { return RemoveFreqOffset(d, 2e-10, 1e-12, 1); }); }},
        {"RemoveLogFreqDrift", [](const Record& x) { return in_place(x, [](double* d) { return RemoveLogFreqDrift(d, 1e-11, 0.02, 1e-10); }); }},
        {"RemoveDiffusionFreqDrift", [](const Record& x) {
             return in_place(x, [](double* d) { return RemoveDiffusionFreqDrift(d, 1e-10, 2e-12, 5.0); });
         }},
        {"RemoveQuadraticDrift", [](const Record& x) {
             return in_place(x, [](double* d) { return RemoveQuadraticDrift(d, 1e-9, 2e-11, 3e-14); });
         }},

        // Gaps, outliers and robust statistics
        {"CountGaps", [](const Record& x) { return Results{static_cast<double>(CountGaps(x.data(), 1))}; }},
        {"FillGaps", [](const Record& x) { return in_place(x, [](double* d) { return FillGaps(d, 0); }); }},
        {"FillFloatGaps", [](const Record& x) {
             auto f = as_floats(x);
             return with(FillFloatGaps(f.data(), 1), f);
         }},
        {"FindFreqOutliers", [](const Record& x) { return in_place(x, [](double* d) { return FindFreqOutliers(d, 1.5f, 1); }); }},
        {"FindMedian", [](const Record& x) {
             double below = 0, above = 0;
             auto short_window = x;  // under 100 samples the median is taken another way
             short_window[1] = 20;
             short_window[2] = 90;
             const int r = FindMedian(x.data(), 0, &above) + FindMedian(short_window.data(), 1, &below);
             return Results{static_cast<double>(r), above, below};
         }},
        {"MedDev", [](const Record& x) { float s = 0; return one(MedDev(x.data(), &s), s); }},

        // Plot scaling
        {"FindMinMax", [](const Record& x) {
             double lo = 0, hi = 0;
             return Results{static_cast<double>(FindMinMax(x.data(), &lo, &hi, 0)), lo, hi};
         }},
        {"HistoCalc", [](const Record& x) {
             double lo = 0, hi = 0, top = 0;
             FindMinMax(x.data(), &lo, &hi, 0);
             std::vector<float> edges(11), counts(10);
             for (int j = 0; j <= 10; ++j) edges[j] = static_cast<float>(lo + (hi - lo) * j / 10);
             Results r = with(HistoCalc(x.data(), edges.data(), counts.data(), &top, 10, 0), counts);
             r.push_back(top);
             return r;
         }},
        {"FindPlotScale", [](const Record& x) {
             double lo = 0, hi = 0;
             return Results{static_cast<double>(FindPlotScale(x[4], x[4] + std::fabs(x[5]) + 1e-9, &lo, &hi)), lo, hi};
         }},
        {"BasScale", [](const Record& x) {
             double start = 0, step = 0;
             return Results{static_cast<double>(BasScale(x[4], x[4] + std::fabs(x[5]) + 1e-9, 4 + pick(x, 5), &start, &step)),
                            start, step};
         }},
        {"RoundAxes", [](const Record& x) {
             double lo = x[4], hi = x[4] + std::fabs(x[5]) + 1e-9, tick = 0;
             RoundAxes(&lo, &hi, &tick);
             return Results{0.0, lo, hi, tick};
         }},

        // Date and time conversion
        {"MakeDate", [](const Record& x) {
             return Results{static_cast<double>(MakeDate(pick(x, 12) + 1, pick(x, 28) + 1, 1990 + pick(x, 30)))};
         }},
        {"BreakDate", [](const Record& x) {
             int m = 0, d = 0, y = 0;
             BreakDate(20000000 + count_of(x) * 37, &m, &d, &y);
             return Results{0.0, static_cast<double>(m), static_cast<double>(d), static_cast<double>(y)};
         }},
        {"DayOfWeek", [](const Record& x) { return Results{static_cast<double>(DayOfWeek(20030900 + pick(x, 28) + 1))}; }},
        {"DateToJulian", [](const Record& x) { return Results{static_cast<double>(DateToJulian(20000000 + count_of(x)))}; }},
        {"JulianToDate", [](const Record& x) { return Results{static_cast<double>(JulianToDate(2451545 + count_of(x) * 11))}; }},
        {"DateToMJD", [](const Record& x) {
             return Results{static_cast<double>(DateToMJD(pick(x, 28) + 1, pick(x, 12) + 1, 1950 + pick(x, 100)))};
         }},
        {"MJDToDate", [](const Record& x) {
             int d = 0, m = 0, y = 0;
             MJDToDate(40000 + count_of(x) * 13, &d, &m, &y);
             return Results{0.0, static_cast<double>(d), static_cast<double>(m), static_cast<double>(y)};
         }},
        {"MJDtoDOY", [](const Record& x) { return Results{static_cast<double>(MJDtoDOY(50000 + count_of(x) * 3))}; }},
        {"MJDtoGPS", [](const Record& x) { return Results{static_cast<double>(MJDtoGPS(50000 + count_of(x) * 3))}; }},
        {"DateConv", [](const Record& x) {
             int month = pick(x, 12) + 1, days = 0, year = 1995 + pick(x, 20), weekday = 0, yearday = 0, mjd = 0;
             const int r = DateConv(&month, &days, &year, &weekday, &yearday, &mjd);
             return Results{static_cast<double>(r), static_cast<double>(days), static_cast<double>(weekday),
                            static_cast<double>(yearday), static_cast<double>(mjd)};
         }},
    };
    return list;
}

// The one export that keeps library-wide state (see the head of this file).
const std::set<std::string> kStateful = {"GenNoise"};

// The names of every export declared in the public header, from the build's listing
// of its exports: a first line naming the columns, then one export a line, its name
// before the first tab.
std::set<std::string> declared_exports() {
    std::ifstream listing(VARNIS_EXPORTS_LISTING);
    EXPECT_TRUE(listing.is_open()) << VARNIS_EXPORTS_LISTING;
    std::set<std::string> names;
    std::string line;
    std::getline(listing, line);
    while (std::getline(listing, line)) names.insert(line.substr(0, line.find('\t')));
    return names;
}

TEST(Threads, EveryExportHasAThreadCaseOrIsNamedAsStateful) {
    std::set<std::string> covered(kStateful);
    for (const auto& c : cases()) EXPECT_TRUE(covered.insert(c.name).second) << c.name << " appears twice";
    const auto declared = declared_exports();
    EXPECT_EQ(declared.size(), 92u);
    for (const auto& name : declared) EXPECT_TRUE(covered.count(name)) << name << " has no thread case";
    for (const auto& name : covered) EXPECT_TRUE(declared.count(name)) << name << " is not an export";
}

// Different records per thread: lengths, noise and gaps differ.
Record record(int t) {
    auto x = testing_support::power_law_phase(1500 + 97 * static_cast<std::size_t>(t), -2.0 + 0.5 * (t % 3),
                                              100 + static_cast<std::uint64_t>(t), 1e-9);
    for (std::size_t k = 11 + static_cast<std::size_t>(t); k < x.size(); k += 131) x[k] = 0.0;
    return testing_support::make_vector(x);
}

bool same_bits(const Results& a, const Results& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(Threads, StatelessRoutinesGiveTheSingleThreadedResultsWhenRunConcurrently) {
    constexpr int kThreads = 4, kPasses = 2;
    std::vector<Record> data;
    for (int t = 0; t < kThreads; ++t) data.push_back(record(t));
    const auto& list = cases();

    // Expected results, one thread.
    std::vector<std::vector<Results>> expected(kThreads);
    for (int t = 0; t < kThreads; ++t)
        for (const auto& c : list) {
            expected[t].push_back(c.run(data[t]));
            // No routine refuses these records (refusals are -1 or -2).
            const double r = expected[t].back().front();
            if (c.negative_is_refusal) EXPECT_GE(r, 0.0) << c.name << " on record " << t;
            else EXPECT_NE(r, -1.0) << c.name << " on record " << t;
        }
    // The records differ enough that most routines give each thread its own result.
    int distinct = 0;
    for (std::size_t i = 0; i < list.size(); ++i) distinct += !same_bits(expected[0][i], expected[1][i]);
    EXPECT_GT(distinct, static_cast<int>(list.size()) * 3 / 4);

    // Every thread runs every routine a few times on its own record, all at once.
    std::vector<std::vector<Results>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int pass = 0; pass < kPasses; ++pass)
                for (const auto& c : list) got[t].push_back(c.run(data[t]));
        });
    for (auto& th : threads) th.join();

    for (int t = 0; t < kThreads; ++t)
        for (std::size_t k = 0; k < got[t].size(); ++k)
            EXPECT_TRUE(same_bits(expected[t][k % list.size()], got[t][k]))
                << list[k % list.size()].name << " on thread " << t << ", pass " << k / list.size();
}

// GenNoise draws all its Gaussian values under one lock, in pairs, so calls of any
// even length from several threads at once cut the one sequence into whole, adjacent
// stretches. Threads here ask for different lengths and spectra; afterwards each call
// is placed in the sequence by its first value (the first filter coefficient is 1, so
// it is the first draw for every beta), the places must tile the sequence without
// gap or overlap, and replaying the calls in that order on one thread must give the
// same values bit for bit.
TEST(Threads, ConcurrentGenNoiseCallsTileOneSequence) {
    struct Call {
        int count;
        float beta;
        std::vector<double> values;
        std::size_t start = 0;  // position in the sequence, in draws
    };
    constexpr int kThreads = 4, kCallsEach = 6, kUnit = 64;
    const int counts[kThreads] = {64, 128, 256, 512};
    const float betas[kThreads] = {0.0f, -1.0f, -2.0f, -4.0f};

    int seed = -4711;
    std::vector<double> opening(kUnit);
    ASSERT_EQ(GenNoise(kUnit, opening.data(), 1.0f, 0.0f, &seed, 0), kUnit);  // reseeds
    std::vector<std::vector<Call>> calls(kThreads);
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; ++t)
        pool.emplace_back([&, t] {
            for (int c = 0; c < kCallsEach; ++c) {
                Call call{counts[t], betas[t], std::vector<double>(static_cast<std::size_t>(counts[t])), 0};
                int s = 1;
                if (GenNoise(call.count, call.values.data(), 1.0f, call.beta, &s, 0) == call.count)
                    calls[t].push_back(std::move(call));
            }
        });
    for (auto& th : pool) th.join();

    // The white sequence after the opening call, in units of the shortest length.
    std::size_t total = 0;
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(calls[t].size(), static_cast<std::size_t>(kCallsEach));
        total += static_cast<std::size_t>(counts[t]) * kCallsEach;
    }
    seed = -4711;
    ASSERT_EQ(GenNoise(kUnit, opening.data(), 1.0f, 0.0f, &seed, 0), kUnit);
    std::vector<double> white(total);
    for (std::size_t at = 0; at < total; at += kUnit)
        ASSERT_EQ(GenNoise(kUnit, white.data() + at, 1.0f, 0.0f, &seed, 0), kUnit);

    std::vector<Call*> order;
    for (auto& list : calls)
        for (auto& call : list) {
            std::size_t best = total;
            for (std::size_t at = 0; at < total; at += kUnit)
                if (std::fabs(call.values[0] - white[at]) <= 1e-9 * std::fabs(white[at])) best = at;
            ASSERT_LT(best, total) << "a call's first value is not the start of a stretch";
            call.start = best;
            order.push_back(&call);
        }
    std::sort(order.begin(), order.end(), [](const Call* a, const Call* b) { return a->start < b->start; });
    std::size_t next = 0;
    for (const Call* call : order) {
        ASSERT_EQ(call->start, next) << "stretches overlap or leave a gap";
        next += static_cast<std::size_t>(call->count);
    }
    ASSERT_EQ(next, total);

    seed = -4711;
    ASSERT_EQ(GenNoise(kUnit, opening.data(), 1.0f, 0.0f, &seed, 0), kUnit);
    for (const Call* call : order) {
        std::vector<double> again(call->values.size());
        ASSERT_EQ(GenNoise(call->count, again.data(), 1.0f, call->beta, &seed, 0), call->count);
        EXPECT_TRUE(same_bits(again, call->values)) << "the call of " << call->count << " values at " << call->start;
    }
}

}  // namespace
