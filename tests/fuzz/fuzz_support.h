// What every fuzz target shares: turning the fuzzer's bytes into arguments, data
// vectors and output arrays inside guard zones, the progress callback that raises the
// stop flag, and the per-export call counts printed at exit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "varnis.h"

namespace fuzz {

// Largest record the harness builds: keeps every call well under the time-out.
inline constexpr std::size_t kMaxSamples = 4096;

// Reads arguments from the fuzzer's bytes; past the end every read gives zeros.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
        return v;
    }
    std::uint64_t u64() { return (std::uint64_t{u32()} << 32) | u32(); }
    bool flag() { return byte() & 1; }

    // An int: mostly small, sometimes an extreme or any 32-bit value.
    int integer(int lo = -8, int hi = 64) {
        switch (byte() % 8) {
        case 0: return std::numeric_limits<int>::min();
        case 1: return std::numeric_limits<int>::max();
        case 2: return static_cast<int>(u32());
        default: return lo + static_cast<int>(u32() % static_cast<std::uint32_t>(hi - lo + 1));
        }
    }
    // An int whose magnitude sets a routine's cost (terms, samples): bounded.
    int bounded(int limit) {
        const int v = static_cast<int>(u32() % static_cast<std::uint32_t>(2 * limit + 1));
        return v - limit;
    }

    // A double: ordinary values, zeros, NaN, infinities, extremes, subnormals and raw bits.
    double real() {
        switch (byte() % 12) {
        case 0: return 0.0;
        case 1: return std::numeric_limits<double>::quiet_NaN();
        case 2: return std::numeric_limits<double>::infinity();
        case 3: return -std::numeric_limits<double>::infinity();
        case 4: return std::numeric_limits<double>::max();
        case 5: return -std::numeric_limits<double>::max();
        case 6: return std::numeric_limits<double>::denorm_min() * byte();
        case 7: {
            const std::uint64_t bits = u64();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        default: {
            const int mantissa = static_cast<std::int16_t>(u32() & 0xffff);
            const int exponent = static_cast<int>(byte() % 40) - 20;
            return mantissa * std::pow(10.0, exponent);
        }
        }
    }
    float real_f() {
        const double x = real();
        if (std::isfinite(x) && std::fabs(x) > std::numeric_limits<float>::max())
            return x > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
        return static_cast<float>(x);
    }

    // A value of a sample: mostly a plausible reading, often a gap, sometimes anything.
    double sample(double offset, double scale) {
        switch (byte() % 16) {
        case 0: case 1: return 0.0;
        case 2: return real();
        default: return offset + scale * (static_cast<int>(byte()) - 128);
        }
    }

    // A header value for a record of n samples: usually a whole number in range,
    // sometimes fractional, negative, NaN, infinite or far out of range.
    double header_value(std::size_t n) {
        const double whole = static_cast<double>(byte() % (n + 2));
        switch (byte() % 10) {
        case 0: return real();
        case 1: return whole + (byte() % 100) / 100.0;
        case 2: return -whole;
        case 3: return 1e300;
        default: return whole;
        }
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// An array of n elements between two guard zones; check() aborts when a routine
// wrote into a guard zone.
template <class T>
class Guarded {
public:
    static constexpr std::size_t kGuard = 16;
    static constexpr unsigned char kPattern = 0xA5;

    explicit Guarded(std::size_t n, T fill = T{}) : n_(n), storage_(n + 2 * kGuard) {
        std::memset(storage_.data(), kPattern, storage_.size() * sizeof(T));
        std::fill(data(), data() + n_, fill);
    }
    T* data() { return storage_.data() + kGuard; }
    std::size_t size() const { return n_; }
    T& operator[](std::size_t i) { return data()[i]; }

    void check(const char* routine) const {
        const auto* bytes = reinterpret_cast<const unsigned char*>(storage_.data());
        const std::size_t guard = kGuard * sizeof(T);
        const std::size_t tail = (kGuard + n_) * sizeof(T);
        for (std::size_t i = 0; i < guard; ++i)
            if (bytes[i] != kPattern || bytes[tail + i] != kPattern) {
                std::fprintf(stderr, "%s wrote outside its array of %zu elements\n", routine, n_);
                std::abort();
            }
    }
    // Snapshot of the elements, to prove that a routine left them alone.
    std::vector<T> contents() const {
        return std::vector<T>(storage_.begin() + kGuard, storage_.begin() + kGuard + n_);
    }

private:
    std::size_t n_;
    std::vector<T> storage_;
};

// Aborts when a routine changed data it must leave alone (a const record, or the
// caller's members of a table), comparing bytes so that NaN samples compare too.
template <class T>
void check_unchanged(const std::vector<T>& before, const std::vector<T>& after,
                     const char* routine) {
    if (before.size() != after.size() ||
        std::memcmp(before.data(), after.data(), before.size() * sizeof(T)) != 0) {
        std::fprintf(stderr, "%s changed data it must not change\n", routine);
        std::abort();
    }
}

// A data vector: a record of samples with a header made from the input, in guard
// zones. first, last and the count may be anything; the array always holds as many
// samples as any count it names that is usable.
template <class T = double>
struct Record {
    Guarded<T> v;
    std::size_t samples;

    static std::size_t sample_count(Input& in) {
        const std::uint32_t pick = in.u32();
        // Short records are the interesting ones for window rules; long ones for cost.
        return (pick & 1) ? pick % 24 : (pick >> 1) % (kMaxSamples + 1);
    }

    explicit Record(Input& in, std::size_t n) : v(n + 3), samples(n) {
        const double scale = std::pow(10.0, -static_cast<int>(in.byte() % 16));
        const double offset = (in.byte() & 1) ? 1e-3 : 0.0;
        double walk = offset;
        const bool smooth = in.flag();
        for (std::size_t k = 1; k <= n; ++k) {
            double x = in.sample(0.0, scale);
            if (smooth && x != 0.0 && std::isfinite(x)) {
                walk += x;
                x = walk;
            } else if (x != 0.0 && std::isfinite(x)) {
                x += offset;
            }
            v[k + 2] = narrow(x);
        }
        // Mostly a sound header over the whole record or a part of it.
        v[0] = static_cast<T>(n);
        v[1] = static_cast<T>(1.0);
        v[2] = static_cast<T>(n);
        switch (in.byte() % 4) {
        case 0: break;
        case 1:
            v[1] = static_cast<T>(1 + in.byte() % (n + 1));
            v[2] = static_cast<T>(n - in.byte() % (n + 1));
            break;
        default:
            // count never names more samples than the array holds
            v[0] = narrow(std::min(in.header_value(n), static_cast<double>(n) + 0.99));
            v[1] = narrow(in.header_value(n));
            v[2] = narrow(in.header_value(n));
            break;
        }
    }
    explicit Record(Input& in) : Record(in, sample_count(in)) {}

    // A double as T; beyond the range of float it becomes an infinity, as a caller's
    // own conversion would give.
    static T narrow(double x) {
        if (std::isfinite(x) && std::fabs(x) > static_cast<double>(std::numeric_limits<T>::max()))
            return x > 0 ? std::numeric_limits<T>::infinity() : -std::numeric_limits<T>::infinity();
        return static_cast<T>(x);
    }

    T* data() { return v.data(); }

    // M, the window length as the header names it, for sizing outputs: 0 when the
    // header is not a usable window (the routine must refuse it then).
    std::size_t window() {
        const double n = static_cast<double>(v[0]), f = static_cast<double>(v[1]),
                     l = static_cast<double>(v[2]);
        if (!std::isfinite(n) || !std::isfinite(f) || !std::isfinite(l)) return 0;
        // Compared as the library does: after truncation toward zero (a count of 5.2
        // with a last sample of 5.4 is a window ending at sample 5).
        if (n < 0 || f < 1 || std::trunc(l) > std::trunc(n) || std::trunc(l) < std::trunc(f) - 1)
            return 0;
        const long by_index = static_cast<long>(l) - static_cast<long>(f) + 1;
        const long by_difference = static_cast<long>(l - f + 1.0);
        return static_cast<std::size_t>(std::max({by_index, by_difference, 0L}));
    }
    void check(const char* routine) { v.check(routine); }
};

// The progress callback and the stop flag. The callback raises the stop flag after a
// chosen number of calls, so that stopping at any point is exercised.
struct Progress {
    static inline int stop = 0;
    static inline long calls = 0;
    static inline long stop_after = -1;

    static void callback(int, const char* text) {
        if (text == nullptr) {
            std::fprintf(stderr, "progress callback received a null text\n");
            std::abort();
        }
        (void)std::strlen(text);
        ++calls;
        if (stop_after >= 0 && calls >= stop_after) stop = 1;
    }
    static void arm(Input& in) {
        calls = 0;
        stop = (in.byte() % 8 == 0) ? 1 : 0;
        const std::uint8_t when = in.byte();
        stop_after = (when & 1) ? when >> 1 : -1;
    }
};

// Calls a routine that reads a record and writes one double: checks the guard zones
// of both and that the record is unchanged.
template <class F>
void read_record(const char* routine, Input& in, F call) {
    Record<> r(in);
    const auto before = r.v.contents();
    Guarded<double> out(1);
    Progress::arm(in);
    call(in, r.data(), out.data());
    r.check(routine);
    out.check(routine);
    check_unchanged(before, r.v.contents(), routine);
}

// Calls a routine that changes a record in place: checks its guard zones.
template <class F>
void change_record(const char* routine, Input& in, F call) {
    Record<> r(in);
    call(in, r.data());
    r.check(routine);
}

// The smallest power of two not below n (n >= 1).
inline std::size_t power_of_two_above(std::size_t n) {
    std::size_t p = 1;
    while (p < n) p *= 2;
    return p;
}

// One export the target can call, with its count of calls for the coverage report.
struct Entry {
    const char* name;
    void (*call)(Input&);
    long count;
};

// Runs the export that the first byte chooses.
inline void dispatch(Entry* table, std::size_t n, const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    Entry& e = table[data[0] % n];
    ++e.count;
    Input in(data + 1, size - 1);
    e.call(in);
}

// With VARNIS_FUZZ_COUNTS set, prints the calls per export when the run ends.
inline Entry* g_report_table = nullptr;
inline std::size_t g_report_size = 0;
inline void register_report(Entry* table, std::size_t n) {
    if (std::getenv("VARNIS_FUZZ_COUNTS") == nullptr) return;
    g_report_table = table;
    g_report_size = n;
    std::atexit([] {
        for (std::size_t i = 0; i < g_report_size; ++i)
            std::fprintf(stderr, "calls %-30s %ld\n", g_report_table[i].name, g_report_table[i].count);
    });
}

}  // namespace fuzz

// Defines the fuzzer's entry points for a table of exports.
#define VARNIS_FUZZ_TARGET(table)                                                         \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {                                  \
        fuzz::register_report(table, sizeof(table) / sizeof(table[0]));                   \
        return 0;                                                                         \
    }                                                                                     \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {   \
        fuzz::dispatch(table, sizeof(table) / sizeof(table[0]), data, size);              \
        return 0;                                                                         \
    }
