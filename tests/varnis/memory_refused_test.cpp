// Routines whose working storage cannot be had. Those that only go faster with it
// (what the sums of lag differences learn about gaps chunk by chunk, the rows and the
// index queue of the MTIE window extremes) must give bit for bit the same results
// without it; those that cannot work without it must fail with -1 and leave their
// outputs alone.
//
// The library takes its working storage with the nothrow array form of operator new;
// this program replaces the array forms so that a test can refuse those requests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "test_support.h"
#include "varnis.h"

namespace {
bool refuse_nothrow_arrays = false;
}  // namespace

void* operator new[](std::size_t size) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return refuse_nothrow_arrays ? nullptr : std::malloc(size ? size : 1);
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using testing_support::gappy_record;
using testing_support::make_vector;

// Refuses the library's working storage while it lives.
struct NoScratchMemory {
    NoScratchMemory() { refuse_nothrow_arrays = true; }
    ~NoScratchMemory() { refuse_nothrow_arrays = false; }
    NoScratchMemory(const NoScratchMemory&) = delete;
    NoScratchMemory& operator=(const NoScratchMemory&) = delete;
};

struct Result {
    int n = 0;
    double value = -1.0;
    bool operator==(const Result&) const = default;
};

// The routines that sum lag differences chunk by chunk, on one record and lag.
std::vector<Result> lag_difference_sums(const std::vector<double>& v, int m) {
    std::vector<Result> r(4);
    r[0].n = CalcPhaseOverlapSigma(v.data(), &r[0].value, 1.0, m);
    r[1].n = CalcPhaseOverlapHadamardDev(v.data(), &r[1].value, 1.0, m);
    r[2].n = TIErms(v.data(), &r[2].value, m);
    r[3].n = CalcPhaseStdDev(v.data(), &r[3].value, 1.0);
    return r;
}

TEST(ScratchRefused, LagDifferenceSumsWithoutTheirChunkStateGiveTheSameResults) {
    // Few gaps: most chunks run untested with the state, every chunk tested without.
    const auto x = gappy_record(20000, 3, 1e-3, 0.002);
    for (long first : {1L, 37L}) {
        const auto v = make_vector(x, first, 19990);
        for (int m : {1, 2, 255, 256, 1000, 6000}) {
            const auto with_state = lag_difference_sums(v, m);
            for (const Result& r : with_state) ASSERT_GT(r.n, 0);
            NoScratchMemory refused;
            EXPECT_EQ(lag_difference_sums(v, m), with_state) << "first=" << first << " m=" << m;
        }
    }
}

TEST(ScratchRefused, RoutinesThatNeedTheirScratchFailAndLeaveSigmaAlone) {
    const auto y = gappy_record(3000, 5, 1e-6);
    const auto v = make_vector(y);
    double sigma = 0.0;
    ASSERT_GT(CalcFreqModSigma(v.data(), &sigma, 4), 0);

    NoScratchMemory refused;
    sigma = 42.0;
    EXPECT_EQ(CalcFreqModSigma(v.data(), &sigma, 4), -1);
    EXPECT_EQ(sigma, 42.0);
}

TEST(ScratchRefused, MtieWithoutItsRowsAndIndexQueueRescansEachWindow) {
    std::vector<double> x = testing_support::power_law_phase(3000, -2.0, 9, 1e-9);
    for (long m : {1L, 7L, 300L, 2000L}) {
        auto v = make_vector(x, 2, 2999);
        double with_queue = -1.0, rescanned = -1.0;
        int stop = 0;
        const int n = CalcMTIE(v.data(), &with_queue, static_cast<int>(m), &stop, 0, nullptr);
        ASSERT_GT(with_queue, 0.0) << "m=" << m;
        NoScratchMemory refused;
        EXPECT_EQ(CalcMTIE(v.data(), &rescanned, static_cast<int>(m), &stop, 0, nullptr), n);
        EXPECT_EQ(rescanned, with_queue) << "m=" << m;
    }
}

}  // namespace
