#include "core/reading.h"

#include <gtest/gtest.h>

#include <string>

#include "core/number_text.h"
#include "core/serial_port.h"

namespace ticklog {
namespace {

Reading Decode(const std::string& burst, int count, double scale, PhaseTrack& track) {
    return DecodeReading({reinterpret_cast<const unsigned char*>(burst.data()), burst.size()},
                         count, scale, track);
}

TEST(DecodeReading, DropsTheLastTwoBytesAndScales) {
    PhaseTrack track;
    Reading r = Decode("12.5\r\n", 1, 2.0, track);
    EXPECT_EQ(r.raw_text, "12.5");
    EXPECT_EQ(r.value, 12.5);
    EXPECT_EQ(r.scaled, 25.0);

    r = Decode("1234", 1, 1.0, track);  // the last two bytes go whatever they are
    EXPECT_EQ(r.raw_text, "12");
    EXPECT_EQ(r.value, 12.0);

    r = Decode("7", 1, 1.0, track);  // one byte: empty text
    EXPECT_EQ(r.raw_text, "");
    EXPECT_EQ(r.value, 0.0);
}

TEST(DecodeReading, NonNumbersAndBinaryGiveZero) {
    PhaseTrack track;
    EXPECT_EQ(Decode("OVLD\r\n", 1, 1.0, track).value, 0.0);
    const std::string binary("\xff\x00\x1b\x80\x7f\r\n", 7);
    const Reading r = Decode(binary, 1, 3.0, track);
    EXPECT_EQ(r.raw_text.size(), 5u);
    EXPECT_EQ(r.scaled, 0.0);
    const std::string line = FormatListLine(1, r);
    EXPECT_EQ(line.find_first_of(std::string("\x00\x1b\x7f\r\n", 5)), std::string::npos);
}

TEST(DecodeReading, FullBurstOfSeveralLinesCountsOnlyTheFirstNumber) {
    std::string burst;
    while (burst.size() < kBurstBytes) burst += "0.5000\r\n";
    burst.resize(kBurstBytes);
    PhaseTrack track;
    const Reading r = Decode(burst, 1, 1.0, track);
    EXPECT_EQ(r.raw_text.size(), 126u);
    EXPECT_EQ(r.value, 0.5);
}

TEST(DecodeReading, FrequencyIsTheDifferenceFromTheSecondReadingOfARunOn) {
    PhaseTrack track;
    track.current_freq = 42.0;
    Decode("3.0\r\n", 1, 1.0, track);
    EXPECT_EQ(track.current_freq, 42.0);  // first reading: unchanged
    EXPECT_EQ(track.previous_phase, 3.0);
    Decode("3.5\r\n", 2, 1.0, track);
    EXPECT_EQ(track.current_freq, 0.5);
    // A new run: its first reading overwrites the previous phase before any difference.
    Decode("10.0\r\n", 1, 1.0, track);
    EXPECT_EQ(track.current_freq, 0.5);
    Decode("10.25\r\n", 2, 1.0, track);
    EXPECT_EQ(track.current_freq, 0.25);
}

TEST(FormatListLine, NumberRawTextAndScaledValue) {
    PhaseTrack track;
    EXPECT_EQ(FormatListLine(5, Decode("0.1234500\r\n", 1, 1.0, track)),
              "5:    0.1234500    1.234500000000000e-01");
    EXPECT_EQ(FormatListLine(1, Decode("-3.2\r\n", 1, 1.0, track)),
              "1:    -3.2    -3.200000000000000e+00");
}

TEST(FormatRecord, FixedFormWithCrLf) {
    EXPECT_EQ(FormatRecord(0.12345), "1.234500000000000e-01\r\n");
    EXPECT_EQ(FormatRecord(-2.5), "-2.500000000000000e+00\r\n");
    EXPECT_EQ(FormatRecord(-2.5).size(), 24u);
    EXPECT_EQ(FormatRecord(1e100), "1.000000000000000e+100\r\n");
    EXPECT_EQ(FormatRecord(3e-300), "3.000000000000000e-300\r\n");
    EXPECT_EQ(FormatRecord(0.0), "0.000000000000000e+00\r\n");
}

}  // namespace
}  // namespace ticklog
