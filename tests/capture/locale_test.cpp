// Numbers as text must not follow the process locale: the window toolkit sets it
// from the environment, and a comma-decimal locale must not change the data file
// or the settings file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <locale>

#include "core/number_text.h"
#include "core/reading.h"
#include "platform/data_file_posix.h"

namespace ticklog {
namespace {

class CommaDecimalLocale : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ticklog-locale-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + (dir_ / "de_DE.UTF-8").string() + " 2>/dev/null";
        // localedef warns (exit 1) on some systems yet writes the locale.
        (void)std::system(command.c_str());
        setenv("LOCPATH", dir_.c_str(), 1);
        ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "no comma-decimal locale";
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 0.5);
        ASSERT_STREQ(probe, "0,5");  // the locale really is in force
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path dir_;
};

TEST_F(CommaDecimalLocale, RecordsAndSettingsKeepThePoint) {
    const std::string path = (dir_ / "run.dat").string();
    PosixDataFile file;
    ASSERT_TRUE(file.CreateNew(path));
    ASSERT_TRUE(file.Write(FormatRecord(0.12345)));
    file.Release();
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes, "1.234500000000000e-01\r\n");

    EXPECT_EQ(ScaleSettingText(0.12345), "1.234500e-01");
    EXPECT_EQ(ScaleFieldText(1.0), "+1.0000000000e+00");
    EXPECT_EQ(ReadNumber("0.12345"), 0.12345);
}

}  // namespace
}  // namespace ticklog
