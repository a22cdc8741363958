#include "core/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace ticklog {
namespace {

TEST(ReadNumber, LongestNumberPrefix) {
    EXPECT_EQ(ReadNumber("  \t12.5xyz"), 12.5);
    EXPECT_EQ(ReadNumber("+4"), 4.0);
    EXPECT_EQ(ReadNumber("-.5"), -0.5);
    EXPECT_EQ(ReadNumber("5."), 5.0);
    EXPECT_EQ(ReadNumber("1.5E3"), 1500.0);
    EXPECT_EQ(ReadNumber("2e-2x"), 0.02);
    EXPECT_EQ(ReadNumber("7e"), 7.0);  // an exponent without digits is not part of it
    EXPECT_EQ(ReadNumber("7e+"), 7.0);
    EXPECT_EQ(ReadNumber("3,5"), 3.0);  // the decimal point is always '.'
}

TEST(ReadNumber, TextWithoutANumberGivesZero) {
    for (const char* text : {"", "abc", ".", "-", "+.e5", "inf", "nan", "0x10"})
        EXPECT_EQ(ReadNumber(text), 0.0) << text;  // "0x10": decimal only, "0" then stops
}

TEST(ReadNumber, OutOfRangeSaturatesLikeTheCLibrary) {
    EXPECT_TRUE(std::isinf(ReadNumber("1e999")));
    EXPECT_LT(ReadNumber("-1e999"), 0.0);
    EXPECT_EQ(ReadNumber("1e-999"), 0.0);
    EXPECT_EQ(ReadNumber("0.0000001e-400"), 0.0);
    EXPECT_TRUE(std::isinf(ReadNumber("123456789e99999999999999999")));
}

TEST(ReadInteger, LeadingIntegerSaturatingAtIntLimits) {
    EXPECT_EQ(ReadInteger(" 42abc"), 42);
    EXPECT_EQ(ReadInteger("-7"), -7);
    EXPECT_EQ(ReadInteger("junk"), 0);
    EXPECT_EQ(ReadInteger("-2147483648"), INT_MIN);
    EXPECT_EQ(ReadInteger("99999999999"), INT_MAX);
    EXPECT_EQ(ReadInteger("-99999999999"), INT_MIN);
}

TEST(TrimExponent, ThreeDigitsOnlyFromOneHundredOn) {
    std::string s = "+1.0000000000e+000";
    TrimExponent(s);
    EXPECT_EQ(s, "+1.0000000000e+00");
    s = "1.0e+100";
    TrimExponent(s);
    EXPECT_EQ(s, "1.0e+100");
    s = "1.0e+05\r\n2.0e-012 3e+0005";  // two-digit exponents stay, wherever they stand
    TrimExponent(s);
    EXPECT_EQ(s, "1.0e+05\r\n2.0e-12 3e+05");
}

TEST(Formatters, PrintfForms) {
    EXPECT_EQ(ScaleFieldText(1.0), "+1.0000000000e+00");
    EXPECT_EQ(ScaleFieldText(-0.5), "-5.0000000000e-01");
    EXPECT_EQ(ScaleFieldText(0.0), "+0.0000000000e+00");
    EXPECT_EQ(ScaleSettingText(1.0), "1.000000e+00");
    EXPECT_EQ(ScaleSettingText(0.123456789), "1.234568e-01");
    EXPECT_EQ(ScientificText(1.5, 2, false, 12), "    1.50e+00");
    EXPECT_EQ(IntegerText(-2147483647 - 1), "-2147483648");
}

}  // namespace
}  // namespace ticklog
