// Routines whose working storage cannot be had. Those that only go faster with it
// (the gap map of the sliding sums, the index queue of the running MTIE extremes)
// must give bit for bit the same results without it; those that cannot work without
// it must fail with -1 and leave their outputs alone.
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
    double sigma = -1.0;
    std::vector<int> percents;  // the progress calls, where the routine makes them
    bool operator==(const Result&) const = default;
};

std::vector<int>* progress_seen = nullptr;
void record_progress(int percent, const char*) {
    if (progress_seen) progress_seen->push_back(percent);
}

// Each routine that slides over the gap map, on one record and factor.
Result phase_mod(const std::vector<double>& v, int m) {
    Result r;
    int stop = 0;
    progress_seen = &r.percents;
    r.n = CalcPhaseModSigma(v.data(), &r.sigma, 1.0, m, &stop, 1, record_progress);
    progress_seen = nullptr;
    return r;
}
Result freq_overlap_hadamard(const std::vector<double>& v, int m) {
    Result r;
    r.n = CalcFreqOverlapHadamardDev(v.data(), &r.sigma, m);
    return r;
}

TEST(ScratchRefused, SlidingSumsWithoutTheGapMapGiveTheSameResults) {
    const auto x = gappy_record(20000, 3, 1e-3, 0.002);
    const auto y = gappy_record(20000, 4, 2e-6, 0.002);
    for (long first : {1L, 37L}) {
        const auto xv = make_vector(x, first, 19990);
        const auto yv = make_vector(y, first, 19990);
        for (int m : {1, 2, 255, 256, 1000, 6000}) {
            const Result phase = phase_mod(xv, m), freq = freq_overlap_hadamard(yv, m);
            ASSERT_GT(phase.n, 0);
            ASSERT_GT(freq.n, 0);
            ASSERT_FALSE(phase.percents.empty());
            NoScratchMemory refused;
            EXPECT_EQ(phase_mod(xv, m), phase) << "first=" << first << " m=" << m;
            EXPECT_EQ(freq_overlap_hadamard(yv, m), freq) << "first=" << first << " m=" << m;
        }
    }
}

TEST(ScratchRefused, RoutinesThatNeedTheirScratchFailAndLeaveSigmaAlone) {
    const auto y = gappy_record(3000, 5, 1e-6);
    const auto v = make_vector(y);
    double sigma = 0.0;
    ASSERT_GT(CalcFreqModSigma(v.data(), &sigma, 4), 0);
    ASSERT_GT(CalcGreenhallModSigma(v.data(), &sigma, 1.0, 4), 0);

    NoScratchMemory refused;
    sigma = 42.0;
    EXPECT_EQ(CalcFreqModSigma(v.data(), &sigma, 4), -1);
    EXPECT_EQ(sigma, 42.0);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(CalcGreenhallModSigma(v.data(), &sigma, 1.0, 4), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "\nCan't Allocate Memory To Load Phase Data");
    EXPECT_EQ(sigma, 42.0);
}

TEST(ScratchRefused, MtieWithoutItsIndexQueueRescansEachWindow) {
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
