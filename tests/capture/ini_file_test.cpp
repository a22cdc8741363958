// The settings file on disk: missing file, a hand-written file kept through the
// program's writes, and the replacing write.
#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/settings.h"

namespace ticklog {
namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("ticklog-ini-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        path_ = SettingsPath(dir_.string() + "/");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Contents() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
    std::filesystem::path dir_;
    std::string path_;
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndTheFirstWriteMakesIt) {
    IniFile ini(path_);
    const Settings s = ReadSettings(ini, DefaultDataFileName(dir_.string() + "/"));
    EXPECT_EQ(s.Comm, 1);
    EXPECT_EQ(s.File, dir_.string() + "/Ticklog.dat");
    WriteSettings(ini, s);
    EXPECT_EQ(Contents(), "[Preferences]\nComm=1\nPlot=0\nFreq=0\nSize=240\nScale=1.000000e+00\nFile=" +
                              s.File + "\n");
}

TEST_F(IniFileTest, HandWrittenFileKeepsCommentsSectionsAndKeys) {
    const std::string hand =
        "; my settings\r\n[Ports]\r\nCOM1=/dev/ttyUSB0\r\n\r\n[PREFERENCES]\r\n"
        "; the analysis program\r\nvantor=/opt/v32\r\nSIZE=100\r\nscale=2.5\r\nMine=1\r\n";
    std::ofstream(path_, std::ios::binary) << hand;
    ::chmod(path_.c_str(), 0640);
    IniFile ini(path_);
    Settings s = ReadSettings(ini, "x");
    EXPECT_EQ(s.Vantor, "/opt/v32");
    EXPECT_EQ(s.Size, 96);
    EXPECT_EQ(s.Scale, 2.5);
    s.File = "run.dat";
    WriteSettings(ini, s);
    EXPECT_EQ(Contents(),
              "; my settings\r\n[Ports]\r\nCOM1=/dev/ttyUSB0\r\n\r\n[PREFERENCES]\r\n"
              "; the analysis program\r\nvantor=/opt/v32\r\nSIZE=96\r\nscale=2.500000e+00\r\n"
              "Mine=1\r\nComm=1\r\nPlot=0\r\nFreq=0\r\nFile=run.dat\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(IniFileTest, UnwritableFolderLeavesTheFileAsItWas) {
    if (::geteuid() == 0) {
        // root writes anywhere: a settings path below a plain file cannot be made.
        std::ofstream(dir_ / "plain") << "x";
        IniFile ini((dir_ / "plain" / "Ticklog.ini").string());
        EXPECT_FALSE(ini.WriteString("Preferences", "Comm", "2"));
        EXPECT_EQ(ini.ReadString("Preferences", "Comm", "dflt"), "dflt");
        return;
    }
    std::ofstream(path_) << "[Preferences]\nComm=3\n";
    ::chmod(dir_.c_str(), 0500);
    IniFile ini(path_);
    EXPECT_FALSE(ini.WriteString("Preferences", "Comm", "2"));
    ::chmod(dir_.c_str(), 0700);
    EXPECT_EQ(Contents(), "[Preferences]\nComm=3\n");
}

}  // namespace
}  // namespace ticklog
