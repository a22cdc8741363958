// Platform-independent powers of ten.
#include <gtest/gtest.h>

#include <cmath>

#include "core/numeric.h"

TEST(PowerOfTen, ExactWhereRepresentableAndCloseToPowElsewhere) {
    for (int e = -22; e <= 22; ++e) EXPECT_EQ(varnis::power_of_ten(e), std::pow(10.0, e)) << e;
    for (int e = -320; e <= 308; ++e) {
        const double expect = std::pow(10.0, e);
        EXPECT_NEAR(varnis::power_of_ten(e) / expect, 1.0, e < -307 ? 1e-3 : 1e-14) << e;
    }
    EXPECT_EQ(varnis::power_of_ten(309), HUGE_VAL);
    EXPECT_EQ(varnis::power_of_ten(-400), 0.0);
}
