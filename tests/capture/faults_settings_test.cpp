// A settings file that cannot be written, was cut short, holds binary bytes or is
// huge: the window starts with the defaults where the file gives nothing usable,
// and the exit sequence ends cleanly.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "faults_window.h"

namespace ticklog {
namespace {

using testing::RealWindow;

class SettingsFaults : public ::testing::Test {
protected:
    void SetUp() override {
        folder = testing::MakeTempFolder();
        ASSERT_FALSE(folder.empty());
        ini = folder + "Ticklog.ini";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // Starts the window and closes it again.
    void StartAndExit(RealWindow& w) {
        WindowController& c = w.Open();
        EXPECT_EQ(w.view.status.front(), "Marwen Ostrand Comm Program");
        c.Command(IDC_CLOSE);
        EXPECT_TRUE(w.view.closed);
        EXPECT_TRUE(c.Closed());
    }
    static void ExpectDefaults(const WindowController& c, const std::string& folder) {
        EXPECT_EQ(c.Scale(), 1.0);
        EXPECT_EQ(c.Plot(), 0);
        EXPECT_EQ(c.Freq(), 0);
        EXPECT_EQ(c.Size(), 240);
        EXPECT_EQ(c.File(), folder + "Ticklog.dat");
    }
    std::string folder, ini;
};

TEST_F(SettingsFaults, UnwritableFileGivesDefaultsAndIsLeftAlone) {
    // A folder where the file should be: it can neither be read nor replaced.
    ASSERT_EQ(::mkdir(ini.c_str(), 0755), 0);
    RealWindow w(folder);
    StartAndExit(w);
    ExpectDefaults(*w.controller, folder);
    EXPECT_TRUE(std::filesystem::is_directory(ini));
    // No temporary file of the failed writes stays behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(SettingsFaults, TruncatedFileKeepsWhatIsWholeAndIsCompletedAtExit) {
    testing::WriteFile(ini, "[Preferences]\r\nScale=2.5\r\nPlot=1\r\nSi");
    RealWindow w(folder);
    StartAndExit(w);
    EXPECT_EQ(w.controller->Scale(), 2.5);
    EXPECT_EQ(w.controller->Plot(), 1);
    EXPECT_EQ(w.controller->Size(), 240);

    RealWindow again(folder);
    StartAndExit(again);
    EXPECT_EQ(again.controller->Scale(), 2.5);
    EXPECT_EQ(again.controller->Size(), 240);
    EXPECT_NE(testing::ReadFile(ini).find("\r\nSize=240\r\n"), std::string::npos);
}

TEST_F(SettingsFaults, BinaryFileGivesDefaultsAndKeepsItsBytes) {
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((i * 131 + 7) % 256);
    bytes += std::string("\0[Preferences]\0Size=16\n", 23);
    testing::WriteFile(ini, bytes);
    RealWindow w(folder);
    StartAndExit(w);
    ExpectDefaults(*w.controller, folder);
    const std::string after = testing::ReadFile(ini);
    EXPECT_EQ(after.substr(0, bytes.size()), bytes);

    RealWindow again(folder);
    StartAndExit(again);
    ExpectDefaults(*again.controller, folder);
    EXPECT_EQ(testing::ReadFile(ini), after);  // the values written are read back as written
}

TEST_F(SettingsFaults, HugeFileIsReadAndWrittenWhole) {
    std::string text;
    while (text.size() < (8u << 20)) text += "; a comment line that goes on for a while\n";
    text += "[Preferences]\nSize=16\nFreq=1\n";
    testing::WriteFile(ini, text);
    RealWindow w(folder);
    StartAndExit(w);
    EXPECT_EQ(w.controller->Size(), 16);
    EXPECT_EQ(w.controller->Freq(), 1);
    const std::string after = testing::ReadFile(ini);
    EXPECT_EQ(after.substr(0, text.size() - 30), text.substr(0, text.size() - 30));
    EXPECT_NE(after.find("Scale=1.000000e+00\n"), std::string::npos);
}

}  // namespace
}  // namespace ticklog
