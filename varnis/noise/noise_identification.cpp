// Identification of the dominant power-law noise: a measured statistic is compared
// with the boundaries between the expected values of neighbouring noise types, from
// the most divergent noise down; the first boundary the statistic exceeds decides.
// Expected values are single precision; boundaries and comparisons are double.
#include <cmath>

#include "varnis.h"

namespace varnis {
namespace {

// Geometric mean of two neighbouring expected values: the boundary between them.
double boundary(float a, float b) {
    return std::sqrt(static_cast<double>(a) * static_cast<double>(b));
}

// B1 test (standard over Allan variance): cannot separate the two phase noises.
int identify_by_b1(int N, double x) {
    const float b2 = CalcBias(N, 2), b1 = CalcBias(N, 1), b0 = CalcBias(N, 0);
    const float bm1 = CalcBias(N, -1), bm2 = CalcBias(N, -2);
    if (x > (static_cast<double>(b2) + static_cast<double>(b1)) / 2.0) return -3;
    if (x > boundary(b1, b0)) return -2;
    if (x > boundary(b0, bm1)) return -1;
    if (x > boundary(bm1, bm2)) return 0;
    return 1;
}

// R(n) test (modified over plain Allan variance).
int identify_by_ratio(int n, float b, double x) {
    const float r2 = CalcRatio(2, n, b), r1 = CalcRatio(1, n, b), r0 = CalcRatio(0, n, b);
    const float rm1 = CalcRatio(-1, n, b), rm2 = CalcRatio(-2, n, b);
    if (n == 1) return 0;  // every R(1) is 1: nothing to tell apart
    if (x > boundary(rm2, rm1)) return -2;
    if (x > boundary(rm1, r0)) return -1;
    if (x > boundary(r0, r1)) return 0;
    if (x > boundary(r1, r2)) return 1;
    return 2;
}

// Hadamard test (B1 of frequency data treated as phase), down to random-run noise.
// Every boundary is a geometric mean: a plain product of two expected values above
// 1 would lie above both, so the more divergent noise could never be named.
int identify_by_hadamard(int N, double x) {
    const float h3 = CalcHadamardB1(N, 3), h2 = CalcHadamardB1(N, 2);
    const float h1 = CalcHadamardB1(N, 1), h0 = CalcHadamardB1(N, 0);
    const float hm1 = CalcHadamardB1(N, -1), b = CalcBias(N, -2);
    if (x > boundary(h3, h2)) return -4;
    if (x > boundary(h2, h1)) return -3;
    if (x > boundary(h1, h0)) return -2;
    if (x > boundary(h0, hm1)) return -1;
    if (x > boundary(hm1, b)) return 0;
    return 1;
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int NoiseID(int N, int kind, int n, float b, float x) {
    const double measured = static_cast<double>(x);
    switch (kind) {
        case 0:
        case 1:
        case 6: return identify_by_b1(N, measured);
        case 2:
        case 3:
        case 7:
        case 8: return identify_by_ratio(n, b, measured);
        case 4:
        case 5:
        case 9: return identify_by_hadamard(N, measured);
        default: return 0;  // unknown kind: white frequency, the neutral answer
    }
}
