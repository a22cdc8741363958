// Small numeric helpers whose results must not depend on the platform's math library.
#pragma once

namespace varnis {

// 10^e for a whole exponent, from exact powers and correctly rounded IEEE operations
// only: the same bits on every platform (a library pow() may be off by an ulp), and
// correctly rounded for |e| <= 22.
inline double power_of_ten(int e) {
    static constexpr double exact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const bool negative = e < 0;
    int rest = negative ? -e : e;
    double p = 1.0;
    // Large exponents in steps of 10^22; dividing step by step (rather than taking
    // 1 / 10^|e|) keeps the tiny powers down into the subnormal range.
    while (rest > 22) {
        p = negative ? p / 1e22 : p * 1e22;
        rest -= 22;
    }
    return negative ? p / exact[rest] : p * exact[rest];
}

}  // namespace varnis
