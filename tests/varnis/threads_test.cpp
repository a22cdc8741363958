// Routines that keep no state give, on several threads at once over different data,
// exactly the results they give on one thread. (SpectrumCalc and
// MultiTaperSpectrumCalc keep working values in library-wide storage and are not for
// concurrent use; GenNoise's shared sequence has its own test.)
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "test_support.h"
#include "varnis.h"

namespace {

void quiet(int, const char*) {}

// Every result of one pass of a routine over one record, bit for bit.
using Results = std::vector<double>;
using Routine = std::function<Results(const std::vector<double>&)>;

Results one(int r, double v) { return {static_cast<double>(r), v}; }

const std::vector<std::pair<const char*, Routine>>& routines() {
    static const std::vector<std::pair<const char*, Routine>> list = {
        {"CalcPhaseSigma", [](const auto& x) { double s = 0; return one(CalcPhaseSigma(x.data(), &s, 1.0), s); }},
        {"CalcPhaseOverlapSigma", [](const auto& x) { double s = 0; return one(CalcPhaseOverlapSigma(x.data(), &s, 1.0, 7), s); }},
        {"CalcFreqOverlapSigma", [](const auto& x) { double s = 0; return one(CalcFreqOverlapSigma(x.data(), &s, 5), s); }},
        {"CalcPhaseStdDev", [](const auto& x) { double s = 0; return one(CalcPhaseStdDev(x.data(), &s, 1.0), s); }},
        {"CalcMean", [](const auto& x) { double s = 0; return one(CalcMean(x.data(), &s, 0), s); }},
        {"CalcPhaseModSigma", [](const auto& x) {
             double s = 0;
             int stop = 0;
             return one(CalcPhaseModSigma(x.data(), &s, 4.0, 4, &stop, 1, quiet), s);
         }},
        {"CalcFastModSigma", [](const auto& x) { double s = 0; return one(CalcFastModSigma(x.data(), &s, 8.0, 8), s); }},
        {"CalcGreenhallModSigma", [](const auto& x) { double s = 0; return one(CalcGreenhallModSigma(x.data(), &s, 8.0, 8), s); }},
        {"CalcFreqModSigma", [](const auto& x) { double s = 0; return one(CalcFreqModSigma(x.data(), &s, 6), s); }},
        {"CalcPhaseOverlapHadamardDev", [](const auto& x) { double s = 0; return one(CalcPhaseOverlapHadamardDev(x.data(), &s, 1.0, 3), s); }},
        {"CalcFreqOverlapHadamardDev", [](const auto& x) { double s = 0; return one(CalcFreqOverlapHadamardDev(x.data(), &s, 3), s); }},
        {"CalcMTIE", [](const auto& x) {
             auto copy = x;  // the header is rewritten during the call
             double s = 0;
             int stop = 0;
             return one(CalcMTIE(copy.data(), &s, 9, &stop, 1, quiet), s);
         }},
        {"CalcFastMTIE", [](const auto& x) {
             std::vector<float> points(16), values(16);
             std::vector<int> factors(16);
             VarnisStabilityTable t{};
             t.numPoints = points.data();
             t.value = values.data();
             t.avgFactor = factors.data();
             Results r{static_cast<double>(CalcFastMTIE(x.data(), &t, 0, quiet))};
             r.insert(r.end(), values.begin(), values.end());
             return r;
         }},
        {"TIErms", [](const auto& x) { double s = 0; return one(TIErms(x.data(), &s, 3), s); }},
        {"TotvarCalc", [](const auto& x) { double s = 0; return one(TotvarCalc(x.data(), &s, 1.0, 5, 0), s); }},
        {"ModTotvarCalc", [](const auto& x) {
             double s = 0;
             int stop = 0;
             return one(ModTotvarCalc(x.data(), &s, 1.0, 4, &stop, 1, quiet), s);
         }},
        {"HadTotvarCalc", [](const auto& x) {
             double s = 0;
             int stop = 0;
             return one(HadTotvarCalc(x.data(), &s, 4, &stop, 1, quiet), s);
         }},
        {"CalcStarB1", [](const auto& x) { return Results{CalcStarB1(x.data(), 0, 1.0, 2)}; }},
        {"FindMedian", [](const auto& x) { double s = 0; return one(FindMedian(x.data(), 0, &s), s); }},
        {"MedDev", [](const auto& x) { float s = 0; return one(MedDev(x.data(), &s), s); }},
        {"CalcLogFreqDrift", [](const auto& x) {
             double a = 0, b = 0, c = 0, d = 0;
             const int r = CalcLogFreqDrift(x.data(), &a, &b, &c, &d);
             return Results{static_cast<double>(r), a, b, c, d};
         }},
        {"CalcQuadraticDrift", [](const auto& x) {
             double a = 0, b = 0, c = 0, d = 0;
             const int r = CalcQuadraticDrift(x.data(), 1.0, &a, &b, &c, &d);
             return Results{static_cast<double>(r), a, b, c, d};
         }},
        {"FillGaps", [](const auto& x) {
             auto copy = x;
             Results r{static_cast<double>(FillGaps(copy.data(), 0))};
             r.insert(r.end(), copy.begin(), copy.end());
             return r;
         }},
        {"ConvPhaseToFreq", [](const auto& x) {
             std::vector<double> y(x.size() + 3);
             Results r{static_cast<double>(ConvPhaseToFreq(x.data(), y.data(), 1.0, 1))};
             r.insert(r.end(), y.begin(), y.end());
             return r;
         }},
        {"HistoCalc", [](const auto& x) {
             double lo = 0, hi = 0, top = 0;
             FindMinMax(x.data(), &lo, &hi, 0);
             std::vector<float> edges(11), counts(10);
             for (int j = 0; j <= 10; ++j) edges[j] = static_cast<float>(lo + (hi - lo) * j / 10);
             Results r{static_cast<double>(HistoCalc(x.data(), edges.data(), counts.data(), &top, 10, 0)), top};
             r.insert(r.end(), counts.begin(), counts.end());
             return r;
         }},
        {"statistics", [](const auto& x) {
             const int n = static_cast<int>(x[0]);
             return Results{CalcDegFree(n % 5 - 2, n, 3), HadamardEDF(n, 2, -3), CalcInvChiSqr(0.3f, n % 90 + 1.5f),
                            CalcBias1(n % 50 + 2, 0.5f, 0.3f), CalcRatio(1, n % 200 + 2, 3.0f),
                            static_cast<double>(DateToJulian(20000000 + n)), static_cast<double>(MJDtoDOY(n * 7))};
         }},
    };
    return list;
}

// Different records per thread: lengths, noise and gaps differ.
std::vector<double> record(int t) {
    auto x = testing_support::power_law_phase(1500 + 97 * static_cast<std::size_t>(t), -2.0 + 0.5 * (t % 3),
                                              100 + static_cast<std::uint64_t>(t), 1e-9);
    for (std::size_t k = 11 + static_cast<std::size_t>(t); k < x.size(); k += 131) x[k] = 0.0;
    return testing_support::make_vector(x);
}

bool same_bits(const Results& a, const Results& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(Threads, StatelessRoutinesGiveTheSingleThreadedResultsWhenRunConcurrently) {
    constexpr int kThreads = 4;
    std::vector<std::vector<double>> data;
    for (int t = 0; t < kThreads; ++t) data.push_back(record(t));
    const auto& list = routines();

    // Expected results, one thread.
    std::vector<std::vector<Results>> expected(kThreads);
    for (int t = 0; t < kThreads; ++t)
        for (const auto& [name, routine] : list) {
            expected[t].push_back(routine(data[t]));
            // No routine refuses these records (refusals are negative).
            EXPECT_GE(expected[t].back().front(), 0.0) << name << " on record " << t;
        }

    // Every thread runs every routine a few times on its own record, all at once.
    std::vector<std::vector<Results>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int pass = 0; pass < 3; ++pass) {
                got[t].clear();
                for (const auto& [name, routine] : list) got[t].push_back(routine(data[t]));
            }
        });
    for (auto& th : threads) th.join();

    for (int t = 0; t < kThreads; ++t)
        for (std::size_t i = 0; i < list.size(); ++i)
            EXPECT_TRUE(same_bits(expected[t][i], got[t][i])) << list[i].first << " on thread " << t;
}

}  // namespace
