#include "core/profile_text.h"

#include <gtest/gtest.h>

namespace ticklog {
namespace {

TEST(FindProfileValue, SectionsAndKeysIgnoreCaseFirstMatchWins) {
    const std::string text =
        "; comment\n[other]\nComm=9\n[PREFERENCES]\n  comm = 3 \nComm=4\n;Size=1\n"
        "File=\"a b.dat\"\n[Preferences]\nScale=2\n";
    EXPECT_EQ(FindProfileValue(text, "Preferences", "Comm"), "3");
    EXPECT_EQ(FindProfileValue(text, "preferences", "FILE"), "a b.dat");
    EXPECT_EQ(FindProfileValue(text, "Preferences", "Size"), std::nullopt);  // commented out
    EXPECT_EQ(FindProfileValue(text, "Preferences", "Scale"), std::nullopt);  // second section
    EXPECT_EQ(FindProfileValue(text, "Missing", "Comm"), std::nullopt);
    EXPECT_EQ(FindProfileValue("", "Preferences", "Comm"), std::nullopt);
}

TEST(FindProfileValue, CrLfLineEnds) {
    const std::string text = "[Preferences]\r\nComm=2\r\nFile=x.dat\r\n";
    EXPECT_EQ(FindProfileValue(text, "Preferences", "Comm"), "2");
    EXPECT_EQ(FindProfileValue(text, "Preferences", "File"), "x.dat");
}

TEST(SetProfileValue, HandWrittenFileKeepsEverythingElse) {
    const std::string text =
        "; written by hand\n[Ports]\nCOM1=/dev/ttyUSB0\n\n[preferences]\n# mine\nCOMM=2\n"
        "Extra=keep me\n\n[Tail]\nx=1";
    auto out = SetProfileValue(text, "Preferences", "Comm", "4");
    ASSERT_TRUE(out);
    out = SetProfileValue(*out, "Preferences", "Size", "96");
    ASSERT_TRUE(out);
    EXPECT_EQ(*out,
              "; written by hand\n[Ports]\nCOM1=/dev/ttyUSB0\n\n[preferences]\n# mine\nCOMM=4\n"
              "Extra=keep me\nSize=96\n\n[Tail]\nx=1\n");
}

TEST(SetProfileValue, DuplicatedKeyReplacesTheFirstOnly) {
    const auto out = SetProfileValue("[P]\nk=1\nk=2\n", "P", "K", "3");
    EXPECT_EQ(out, "[P]\nk=3\nk=2\n");
}

TEST(SetProfileValue, MissingSectionIsAddedWithTheTextsLineEnds) {
    EXPECT_EQ(SetProfileValue("", "Preferences", "Comm", "1"), "[Preferences]\nComm=1\n");
    EXPECT_EQ(SetProfileValue("[A]\r\nx=1", "Preferences", "Comm", "1"),
              "[A]\r\nx=1\r\n[Preferences]\r\nComm=1\r\n");
}

TEST(SetProfileValue, RefusesValuesThatWouldBreakLines) {
    EXPECT_EQ(SetProfileValue("", "P", "File", "a\n[Ports]\nCOM1=/dev/sda"), std::nullopt);
    EXPECT_EQ(SetProfileValue("", "P", "File", "a\rb"), std::nullopt);
}

}  // namespace
}  // namespace ticklog
