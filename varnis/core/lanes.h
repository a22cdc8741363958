// Eight partial sums of a loop whose terms do not depend on each other.
//
// A loop that adds every term into one accumulator makes each addition wait for the
// previous one. Eight independent lanes let the additions overlap and let the compiler
// put them into vector registers. The order of the arithmetic stays fixed, so that the
// result is the same bits on every vector unit and on every code path: term k of a run
// that starts at `origin` always goes to lane (k - origin) mod 8, and the lanes are
// combined in one fixed tree.
#pragma once

namespace varnis {

inline constexpr long kLanes = 8;

struct Lanes {
    double lane[kLanes] = {};

    // Adds the value of the term `offset` places from the run's origin.
    void add(long offset, double value) { lane[offset & (kLanes - 1)] += value; }

    double total() const {
        return ((lane[0] + lane[1]) + (lane[2] + lane[3])) +
               ((lane[4] + lane[5]) + (lane[6] + lane[7]));
    }
};

// Adds value(i) for i = 0 .. n - 1, i to lane i mod 8: whole groups of eight in a loop
// that keeps the lanes in registers and that the compiler vectorises, then the rest.
template <class Value>
[[gnu::always_inline]] inline void add_each(Lanes& lanes, long n, Value value) {
    double lane[kLanes];
    for (long j = 0; j < kLanes; ++j) lane[j] = lanes.lane[j];
    long i = 0;
    for (; i + kLanes <= n; i += kLanes)
        for (long j = 0; j < kLanes; ++j) lane[j] += value(i + j);
    for (; i < n; ++i) lane[i & (kLanes - 1)] += value(i);
    for (long j = 0; j < kLanes; ++j) lanes.lane[j] = lane[j];
}

}  // namespace varnis
