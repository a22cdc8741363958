#include "core/settings.h"

#include <gtest/gtest.h>

#include "core/profile_text.h"
#include "text_profile.h"

namespace ticklog {
namespace {

using testing::TextProfile;

TEST(ProgramPaths, DerivedFromArgumentZero) {
    EXPECT_EQ(ProgramFolder("/opt/ticklog/bin/ticklog"), "/opt/ticklog/bin/");
    EXPECT_EQ(ProgramFolder("ticklog"), "");
    EXPECT_EQ(ProgramFolder("D:\\tools\\ticklog.exe"), "D:\\tools\\");
    EXPECT_EQ(SettingsPath("/opt/"), "/opt/Ticklog.ini");
    EXPECT_EQ(HelpPath(""), "Ticklog.hlp");
    EXPECT_EQ(DefaultDataFileName("/opt/"), "/opt/Ticklog.dat");
}

TEST(ReadSettings, NoFileGivesTheDefaultsInTheStatedOrder) {
    TextProfile profile;
    const Settings s = ReadSettings(profile, "/opt/Ticklog.dat");
    EXPECT_EQ(s.Comm, 1);
    EXPECT_EQ(s.Scale, 1.0);
    EXPECT_EQ(s.Plot, 0);
    EXPECT_EQ(s.Freq, 0);
    EXPECT_EQ(s.Size, 240);
    EXPECT_EQ(s.File, "/opt/Ticklog.dat");
    EXPECT_EQ(s.Vantor, "");
    EXPECT_EQ(profile.reads,
              (std::vector<std::string>{"File", "Vantor", "Comm", "Scale", "Plot", "Freq", "Size"}));
}

TEST(ReadSettings, GarbageAndOutOfRangeValues) {
    TextProfile profile(
        "[preferences]\r\ncomm=9\r\nSCALE=abc\r\nPlot=yes\r\nFreq=1\r\nSize=-2147483648\r\n"
        "Size=16\r\nFile=\r\nVantor=" + std::string(200, 'v') + "\r\n");
    const Settings s = ReadSettings(profile, "Ticklog.dat");
    EXPECT_EQ(s.Comm, 9);  // taken unchanged: no port gets selected
    EXPECT_EQ(s.Scale, 0.0);
    EXPECT_EQ(s.Plot, 0);
    EXPECT_EQ(s.Freq, 1);
    EXPECT_EQ(s.Size, 2147483640);  // |INT_MIN| does not fit an int: largest multiple of 8
    EXPECT_EQ(s.File, "Ticklog.dat");
    EXPECT_EQ(s.Vantor.size(), 127u);
}

TEST(NormaliseSize, AbsoluteAtLeastEightMultipleOfEight) {
    EXPECT_EQ(NormaliseSize(240), 240);
    EXPECT_EQ(NormaliseSize(100), 96);
    EXPECT_EQ(NormaliseSize(3), 8);
    EXPECT_EQ(NormaliseSize(0), 8);
    EXPECT_EQ(NormaliseSize(-100), 96);
    EXPECT_EQ(NormaliseSize(1000000000), 1000000000);
    EXPECT_EQ(NormaliseSize(1000000007), 1000000000);
}

TEST(WriteSettings, OrderAndWrittenForms) {
    TextProfile profile("[Preferences]\nSize=100\nVantor=/opt/v32\n");
    Settings s = ReadSettings(profile, "Ticklog.dat");
    s.Scale = 0.123456789;
    s.Comm = 0;
    WriteSettings(profile, s);
    EXPECT_EQ(profile.writes,
              (std::vector<std::string>{"Comm", "Plot", "Freq", "Size", "Scale", "File"}));
    EXPECT_EQ(profile.text,
              "[Preferences]\nSize=96\nVantor=/opt/v32\nComm=0\nPlot=0\nFreq=0\n"
              "Scale=1.234568e-01\nFile=Ticklog.dat\n");
    EXPECT_EQ(ReadSettings(profile, "").Scale, 0.1234568);
}

}  // namespace
}  // namespace ticklog
