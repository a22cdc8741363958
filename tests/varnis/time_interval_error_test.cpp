// Time interval error: CalcMTIE against a full rescan of every window, CalcFastMTIE
// against the scan of every offset within each half window, and TIErms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"
#include "varnis.h"

using testing_support::make_vector;

namespace {

// One progress call, with the window the vector's header showed at the time.
struct Call {
    int percent;
    std::string text;
    double first, last;
    bool operator==(const Call&) const = default;
};

// The callbacks are plain C functions: they record into this state.
struct Recorder {
    std::vector<Call> calls;
    const double* watched = nullptr;  // vector whose header is recorded
    int* stop = nullptr;
    long stop_at = -1;  // raise the stop flag during this call (0-based)
} recorder;

void record(int percent, const char* text) {
    const double first = recorder.watched ? recorder.watched[1] : 0.0;
    const double last = recorder.watched ? recorder.watched[2] : 0.0;
    recorder.calls.push_back({percent, text, first, last});
    if (recorder.stop && static_cast<long>(recorder.calls.size()) - 1 == recorder.stop_at)
        *recorder.stop = 1;
}

void start_recording(const double* watched, int* stop, long stop_at) {
    recorder = Recorder{};
    recorder.watched = watched;
    recorder.stop = stop;
    recorder.stop_at = stop_at;
}

struct MtieRun {
    double mtie = 0.0;
    int result = 0;
    std::vector<Call> calls;
};

// The exhaustive scan: every window rescanned from its first to its last sample,
// progress and stop after each window, and the header showing the current window.
MtieRun rescan_mtie(const std::vector<double>& v, int m, bool progress, long stop_at) {
    MtieRun run;
    const long n = static_cast<long>(v[0]);
    const long first = static_cast<long>(v[1]), last = static_cast<long>(v[2]);
    const long span = last - first - m;
    const long step = span / 100;
    const char* title = "Calculating MTIE";
    auto call = [&](int percent, const char* text, double f, double l) {
        run.calls.push_back({percent, text, f, l});
        return static_cast<long>(run.calls.size()) - 1 == stop_at;
    };
    bool stop = false;
    if (progress) stop = call(0, title, v[1], v[2]);
    long reported = 0;
    for (long s = first; m >= 0 && s <= last - m; ++s) {
        bool any = false;
        double lo = 0.0, hi = 0.0;
        for (long k = s; k <= s + m; ++k) {
            const double x = v[static_cast<std::size_t>(k + 2)];
            if (x == 0.0 && k != 1 && k != n) continue;
            if (!any || x > hi) hi = x;
            if (!any || x < lo) lo = x;
            any = true;
        }
        if (hi - lo >= run.mtie) run.mtie = hi - lo;
        if (progress && s - reported >= step) {
            const int percent = span == 0 ? 100 : static_cast<int>(100.0 * s / span + 0.5);
            stop = call(percent, title, static_cast<double>(s), static_cast<double>(s + m)) || stop;
            reported = s;
        }
        if (stop) break;
    }
    if (progress) call(0, "", static_cast<double>(first), static_cast<double>(last));
    run.result = static_cast<int>(last - first + 1);
    return run;
}

MtieRun library_mtie(std::vector<double>& v, int m, bool progress, long stop_at) {
    MtieRun run;
    int stop = 0;
    start_recording(v.data(), &stop, stop_at);
    run.result = CalcMTIE(v.data(), &run.mtie, m, &stop, progress ? 1 : 0, record);
    run.calls = recorder.calls;
    return run;
}

// Phase noise with a large offset, gaps at random places and zeros at both ends.
std::vector<double> gappy_record(std::mt19937_64& rng, std::size_t count) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double beta = testing_support::noise_betas()[rng() % 5];
    auto x = testing_support::power_law_phase(count, beta, rng(), 1e-9);
    const double gap_share = u(rng) * 0.4;
    for (auto& s : x) {
        s += 1e-3;
        if (u(rng) < gap_share) s = 0.0;
    }
    if (u(rng) < 0.5) x.front() = 0.0;
    if (u(rng) < 0.5) x.back() = 0.0;
    return x;
}

TEST(CalcMTIE, AgreesWithRescanOnRandomGappyRecords) {
    std::mt19937_64 rng(2024);
    for (int trial = 0; trial < 300; ++trial) {
        const std::size_t count = 2 + rng() % 400;
        const auto x = gappy_record(rng, count);
        const long n = static_cast<long>(count);
        const long first = 1 + static_cast<long>(rng() % static_cast<unsigned long>(n));
        const long last = first + static_cast<long>(rng() % static_cast<unsigned long>(n - first + 1));
        auto v = make_vector(x, first, last);
        const long M = last - first + 1;
        const int spans[] = {0, 1, 2, static_cast<int>(rng() % static_cast<unsigned long>(M)),
                             static_cast<int>(M - 1), static_cast<int>(M), -1};
        for (int m : spans) {
            const bool progress = rng() % 4 != 0;
            const long stop_at = rng() % 3 == 0 ? static_cast<long>(rng() % 150) : -1;
            const auto expected = rescan_mtie(v, m, progress, stop_at);
            const auto header = v;
            const auto got = library_mtie(v, m, progress, stop_at);
            ASSERT_EQ(got.result, expected.result) << trial << " m=" << m;
            ASSERT_EQ(got.mtie, expected.mtie) << trial << " m=" << m;
            ASSERT_EQ(got.calls, expected.calls) << trial << " m=" << m;
            ASSERT_EQ(v, header) << trial << " m=" << m;  // header and samples as they were
        }
    }
}

TEST(CalcMTIE, StopFlagSetBeforeTheCallScansOneWindow) {
    auto v = make_vector({1, 2, 9, 4, 5, 1}, 2, 6);
    int stop = 1;
    double mtie = -1;
    start_recording(v.data(), &stop, -1);
    EXPECT_EQ(CalcMTIE(v.data(), &mtie, 1, &stop, 0, record), 5);
    EXPECT_EQ(mtie, 7.0);  // only the window 2 .. 3
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(v[1], 2.0);
    EXPECT_EQ(v[2], 6.0);
}

TEST(CalcMTIE, LinearRampAndWholeWindow) {
    std::vector<double> ramp;
    for (int k = 1; k <= 50; ++k) ramp.push_back(-2.5e-9 * k + 1e-3);
    auto v = make_vector(ramp);
    double mtie = 0;
    EXPECT_EQ(CalcMTIE(v.data(), &mtie, 7, nullptr, 0, nullptr), 50);
    EXPECT_NEAR(mtie, 2.5e-9 * 7, 1e-18);  // offset 1e-3: a few units of 2e-19

    // m = M - 1: one window, the whole analysis window, reported as complete.
    start_recording(v.data(), nullptr, -1);
    EXPECT_EQ(CalcMTIE(v.data(), &mtie, 49, nullptr, 1, record), 50);
    EXPECT_NEAR(mtie, 2.5e-9 * 49, 1e-18);
    ASSERT_EQ(recorder.calls.size(), 3u);
    EXPECT_EQ(recorder.calls[1], (Call{100, "Calculating MTIE", 1.0, 50.0}));
    EXPECT_EQ(recorder.calls[2], (Call{0, "", 1.0, 50.0}));
}

TEST(CalcMTIE, ZerosCountOnlyAtTheVectorsEnds) {
    double mtie = -1;
    auto start = make_vector({0, 5, 6, 7});
    EXPECT_EQ(CalcMTIE(start.data(), &mtie, 1, nullptr, 0, nullptr), 4);
    EXPECT_EQ(mtie, 5.0);  // sample 1 is a value
    auto end = make_vector({5, 6, 0});
    EXPECT_EQ(CalcMTIE(end.data(), &mtie, 1, nullptr, 0, nullptr), 3);
    EXPECT_EQ(mtie, 6.0);  // so is sample N
    auto inner = make_vector({1, 0, 3, 3});
    EXPECT_EQ(CalcMTIE(inner.data(), &mtie, 1, nullptr, 0, nullptr), 4);
    EXPECT_EQ(mtie, 0.0);  // every window with the gap holds one value
    auto window = make_vector({0, 5, 6, 7}, 2, 4);
    EXPECT_EQ(CalcMTIE(window.data(), &mtie, 2, nullptr, 0, nullptr), 3);
    EXPECT_EQ(mtie, 2.0);  // sample 1 lies outside the window
}

TEST(CalcMTIE, SpansWithoutWindowAndBadHeaders) {
    auto v = make_vector({1, 2, 4});
    double mtie = -1;
    EXPECT_EQ(CalcMTIE(v.data(), &mtie, 3, nullptr, 0, nullptr), 3);
    EXPECT_EQ(mtie, 0.0);
    mtie = -1;
    EXPECT_EQ(CalcMTIE(v.data(), &mtie, -1000000000, nullptr, 0, nullptr), 3);
    EXPECT_EQ(mtie, 0.0);

    // A header that is not whole is put back as whole numbers.
    auto fractional = make_vector({1, 2, 4, 8});
    fractional[1] = 1.7;
    fractional[2] = 3.2;
    EXPECT_EQ(CalcMTIE(fractional.data(), &mtie, 1, nullptr, 0, nullptr), 3);
    EXPECT_EQ(mtie, 2.0);
    EXPECT_EQ(fractional[1], 1.0);
    EXPECT_EQ(fractional[2], 3.0);

    std::vector<double> overrun = {3, 1, 5, 1, 2, 3};
    mtie = -1;
    EXPECT_EQ(CalcMTIE(overrun.data(), &mtie, 1, nullptr, 0, nullptr), -1);
    EXPECT_EQ(mtie, 0.0);
    EXPECT_EQ(overrun[2], 5.0);
    EXPECT_EQ(CalcMTIE(nullptr, &mtie, 1, nullptr, 0, nullptr), -1);
}

struct FastTable {
    explicit FastTable(std::size_t rows) : points(rows, -1.0f), values(rows, -1.0f), factors(rows, -1) {
        table.count = -7;
        table.numPoints = points.data();
        table.value = values.data();
        table.avgFactor = factors.data();
        table.callerMember2 = &sentinel;
        table.callerMember11 = &sentinel;
    }
    std::vector<float> points, values;
    std::vector<int> factors;
    int sentinel = 0;
    VarnisStabilityTable table{};
};

struct FastRun {
    int result = 0;
    int count = 0;
    std::vector<float> points, values;
    std::vector<int> factors;
    std::vector<Call> calls;
};

// The doubling scheme as first described: at each level, position r takes the larger
// and smaller of itself and each of the `half` positions after it.
FastRun per_offset_fast_mtie(const std::vector<double>& v, bool first_row_only) {
    FastRun run;
    const long first = static_cast<long>(v[1]), last = static_cast<long>(v[2]);
    const long M = last - first + 1;
    const char* title = "Calculating MTIE";
    run.calls.push_back({0, title, 0, 0});
    std::vector<float> hi, lo;
    for (long r = 0; r < M; ++r) hi.push_back(static_cast<float>(v[static_cast<std::size_t>(first + r + 2)]));
    lo = hi;
    for (int i = 1; (1L << i) <= M; ++i) {
        const long m = (1L << i) - 1, half = 1L << (i - 1), positions = M - m;
        const long step = positions / 100;
        long reported = 0;
        for (long r = 0; r < positions; ++r) {
            for (long t = 1; t <= half; ++t) {
                const auto a = static_cast<std::size_t>(r), b = static_cast<std::size_t>(r + t);
                hi[a] = std::max(hi[a], hi[b]);
                lo[a] = std::min(lo[a], lo[b]);
            }
            if (r - reported >= step) {
                run.calls.push_back({static_cast<int>(r * 100 / positions), title, 0, 0});
                reported = r;
            }
        }
        float value = 0.0f;
        for (long r = 0; r < positions; ++r) {
            const auto a = static_cast<std::size_t>(r);
            value = std::max(value, hi[a] - lo[a]);
        }
        run.values.push_back(value);
        run.points.push_back(static_cast<float>(positions));
        run.factors.push_back(static_cast<int>(m));
        run.count = i;
        if (first_row_only) break;
    }
    run.calls.push_back({0, "", 0, 0});
    run.result = run.count;
    return run;
}

FastRun library_fast_mtie(const std::vector<double>& v, bool first_row_only) {
    FastTable t(32);
    start_recording(nullptr, nullptr, -1);
    FastRun run;
    run.result = CalcFastMTIE(v.data(), &t.table, first_row_only ? 1 : 0, record);
    run.count = t.table.count;
    for (int r = 0; r < run.count; ++r) {
        run.points.push_back(t.points[static_cast<std::size_t>(r)]);
        run.values.push_back(t.values[static_cast<std::size_t>(r)]);
        run.factors.push_back(t.factors[static_cast<std::size_t>(r)]);
    }
    EXPECT_EQ(t.table.callerMember2, &t.sentinel);
    EXPECT_EQ(t.table.callerMember11, &t.sentinel);
    EXPECT_EQ(t.table.callerMember3, nullptr);
    run.calls = recorder.calls;
    return run;
}

TEST(CalcFastMTIE, AgreesWithPerOffsetScan) {
    std::mt19937_64 rng(77);
    for (int trial = 0; trial < 40; ++trial) {
        const std::size_t count = 2 + rng() % (trial < 30 ? 300 : 4000);
        const auto x = gappy_record(rng, count);  // zeros are plain values here
        const long n = static_cast<long>(count);
        const long first = 1 + static_cast<long>(rng() % static_cast<unsigned long>(n));
        const long last = first + static_cast<long>(rng() % static_cast<unsigned long>(n - first + 1));
        const auto v = make_vector(x, first, last);
        for (bool only_first : {false, true}) {
            const auto expected = per_offset_fast_mtie(v, only_first);
            const auto got = library_fast_mtie(v, only_first);
            ASSERT_EQ(got.result, expected.result) << trial;
            ASSERT_EQ(got.count, expected.count == 0 ? -7 : expected.count) << trial;
            ASSERT_EQ(got.values, expected.values) << trial;
            ASSERT_EQ(got.points, expected.points) << trial;
            ASSERT_EQ(got.factors, expected.factors) << trial;
            ASSERT_EQ(got.calls, expected.calls) << trial;
        }
    }
}

TEST(CalcFastMTIE, RowsForEightAndNineSamples) {
    auto eight = make_vector({1, 3, 2, 8, 5, 4, 7, 6});
    const auto a = library_fast_mtie(eight, false);
    EXPECT_EQ(a.result, 3);
    EXPECT_EQ(a.factors, (std::vector<int>{1, 3, 7}));
    EXPECT_EQ(a.points, (std::vector<float>{7, 5, 1}));
    EXPECT_EQ(a.values, (std::vector<float>{6, 7, 7}));

    auto nine = make_vector({1, 3, 2, 8, 5, 4, 7, 6, 0});
    const auto b = library_fast_mtie(nine, false);
    EXPECT_EQ(b.result, 3);
    EXPECT_EQ(b.points, (std::vector<float>{8, 6, 2}));
    EXPECT_EQ(b.values, (std::vector<float>{6, 7, 8}));  // 0.0 is a value

    const auto c = library_fast_mtie(eight, true);
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(c.factors, (std::vector<int>{1}));
    EXPECT_EQ(c.values, (std::vector<float>{6}));  // largest neighbour step, 2 -> 8
}

TEST(CalcFastMTIE, RowsFollowTheDoublePrecisionScanWithinFloatRounding) {
    const auto x = testing_support::power_law_phase(3000, -2.0, 9, 1e-9);
    auto v = make_vector(x, 101, 2900);
    const auto rows = library_fast_mtie(v, false);
    ASSERT_EQ(rows.result, 11);
    double largest = 0;
    for (double s : x) largest = std::max(largest, std::fabs(s));
    const double float_step = largest * std::ldexp(1.0, -23);  // rounding of two samples
    for (int r = 0; r < rows.result; ++r) {
        double mtie = 0;
        const int m = rows.factors[static_cast<std::size_t>(r)];
        ASSERT_EQ(CalcMTIE(v.data(), &mtie, m, nullptr, 0, nullptr), 2800);
        EXPECT_NEAR(rows.values[static_cast<std::size_t>(r)], mtie, 1e-6 * mtie + float_step);
    }
}

TEST(CalcFastMTIE, ShortWindowsAndRefusals) {
    auto one = make_vector({4, 5, 6}, 2, 2);
    const auto r = library_fast_mtie(one, false);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.count, -7);  // count not written
    EXPECT_EQ(r.calls, (std::vector<Call>{{0, "Calculating MTIE", 0, 0}, {0, "", 0, 0}}));

    FastTable t(4);
    std::vector<double> overrun = {3, 1, 9, 1, 2, 3};
    start_recording(nullptr, nullptr, -1);
    EXPECT_EQ(CalcFastMTIE(overrun.data(), &t.table, 0, record), -1);
    auto v = make_vector({1, 2, 3, 4});
    EXPECT_EQ(CalcFastMTIE(v.data(), nullptr, 0, record), -1);
    t.table.value = nullptr;
    EXPECT_EQ(CalcFastMTIE(v.data(), &t.table, 0, record), -1);
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(t.table.count, -7);
}

TEST(TIErms, PairRules) {
    double tie = -1;
    std::vector<double> ramp;
    for (int k = 1; k <= 30; ++k) ramp.push_back(4e-9 * k + 2e-3);
    auto r = make_vector(ramp, 3, 28);
    EXPECT_EQ(TIErms(r.data(), &tie, 5), 21);
    EXPECT_NEAR(tie, 2e-8, 1e-18);

    auto leading = make_vector({0, 2, 4});
    EXPECT_EQ(TIErms(leading.data(), &tie, 1), 2);  // first pair keeps x[first] = 0
    EXPECT_DOUBLE_EQ(tie, 2.0);
    auto trailing = make_vector({1, 2, 0});
    EXPECT_EQ(TIErms(trailing.data(), &tie, 1), 2);  // last pair keeps x[last] = 0
    EXPECT_DOUBLE_EQ(tie, std::sqrt(2.5));
    auto inner = make_vector({1, 0, 3, 4});
    EXPECT_EQ(TIErms(inner.data(), &tie, 1), 1);  // (1, 0) is not excused, (0, 3) neither
    EXPECT_DOUBLE_EQ(tie, 1.0);
    // The excuses belong to the window's ends: a zero at sample 2 of a window 2..4.
    auto window = make_vector({7, 0, 3, 4}, 2, 4);
    EXPECT_EQ(TIErms(window.data(), &tie, 1), 2);
    EXPECT_DOUBLE_EQ(tie, std::sqrt(5.0));
}

TEST(TIErms, NoUsablePair) {
    double tie = -1;
    auto v = make_vector({1, 2, 3});
    EXPECT_EQ(TIErms(v.data(), &tie, 3), -1);
    EXPECT_EQ(tie, 0.0);
    tie = -1;
    auto gaps = make_vector({0, 0, 0, 0});
    EXPECT_EQ(TIErms(gaps.data(), &tie, 1), -1);
    EXPECT_EQ(tie, 0.0);
    tie = -1;
    EXPECT_EQ(TIErms(v.data(), &tie, -2), -1);  // a negative lag would read outside
    EXPECT_EQ(tie, 0.0);
    std::vector<double> overrun = {3, 1, 4, 1, 2, 3};
    EXPECT_EQ(TIErms(overrun.data(), &tie, 1), -1);
}

// TIErms's vectorised sum against the direct sum in extended precision, on records
// without gaps, with gaps and on a large offset: the same count and 1e-12 agreement.
TEST(TIErms, MatchesDirectSumOnEveryKindOfRecord) {
    for (const auto& record : testing_support::kernel_records(20000, 37)) {
        const testing_support::RelativeSamples x(record.samples);
        const long first = 3, last = 19998;
        auto v = make_vector(record.samples, first, last);
        for (long m : {0L, 1L, 5L, 300L, 9999L}) {
            long double sum = 0;
            long n = 0;
            for (long k = first; k <= last - m; ++k) {
                const bool a = x.gap(k), b = x.gap(k + m);
                if (!((!a && !b) || (k == first && !b) || (k == last - m && !a))) continue;
                sum += (x(k + m) - x(k)) * (x(k + m) - x(k));
                ++n;
            }
            double tie = 0.0;
            ASSERT_EQ(TIErms(v.data(), &tie, static_cast<int>(m)), n) << record.kind << " " << m;
            const double want = std::sqrt(static_cast<double>(sum / n));
            if (want == 0.0) {
                EXPECT_EQ(tie, 0.0);
            } else {
                EXPECT_NEAR(tie / want, 1.0, 1e-12) << record.kind << " " << m;
            }
        }
    }
}

}  // namespace
