// Opening the data file at Start, its records and their failures, on a real disk.
#include "core/data_file_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/data_file_name.h"
#include "fake_view.h"
#include "platform/data_file_posix.h"

namespace ticklog {
namespace {

using testing::FakeView;

class DataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("ticklog-data-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "run.dat").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Contents() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
    void Put(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }

    std::filesystem::path dir_;
    std::string path_;
    FakeView view_;
    PosixDataFile file_;
};

TEST_F(DataFileTest, NewFileStartsWithTheFirstRecord) {
    const DataFileRun run = OpenDataFileForRun(path_, file_, view_);
    EXPECT_EQ(run.outcome, DataFileOpening::Created);
    EXPECT_EQ(DataFileStatusLine(run.outcome), "Data file created");
    EXPECT_TRUE(view_.boxes.empty());
    DataFileRun r = run;
    EXPECT_EQ(WriteRecord(file_, -2.5, r), "");
    // Each record is in the file as soon as it is written.
    EXPECT_EQ(Contents(), "-2.500000000000000e+00\r\n");
    EXPECT_EQ(WriteRecord(file_, 0.12345, r), "");
    file_.Release();
    EXPECT_EQ(Contents(), "-2.500000000000000e+00\r\n1.234500000000000e-01\r\n");
}

TEST_F(DataFileTest, ExistingFileAsksAndAppendsRightAfterTheLastByte) {
    Put("old content without line end");
    view_.answers = {Answer::Yes};
    DataFileRun run = OpenDataFileForRun(path_, file_, view_);
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].caption, "Ticklog - Append File?");
    EXPECT_EQ(view_.boxes[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(view_.boxes[0].default_answer, Answer::Cancel);
    EXPECT_EQ(run.outcome, DataFileOpening::Appended);
    EXPECT_EQ(DataFileStatusLine(run.outcome), "Data file appended");
    WriteRecord(file_, 1.0, run);
    EXPECT_EQ(Contents(), "old content without line end1.000000000000000e+00\r\n");
}

TEST_F(DataFileTest, NoOverwritesAndCancelLeavesTheFileAlone) {
    Put("precious");
    view_.answers = {Answer::Cancel};
    EXPECT_EQ(OpenDataFileForRun(path_, file_, view_).outcome, DataFileOpening::Cancelled);
    EXPECT_EQ(DataFileStatusLine(DataFileOpening::Cancelled), "");
    EXPECT_FALSE(file_.IsOpen());
    EXPECT_EQ(Contents(), "precious");

    view_.answers = {Answer::No};
    const DataFileRun run = OpenDataFileForRun(path_, file_, view_);
    EXPECT_EQ(run.outcome, DataFileOpening::Overwritten);
    EXPECT_EQ(DataFileStatusLine(run.outcome), "Data file overwritten");
    EXPECT_EQ(Contents(), "");
}

TEST_F(DataFileTest, MissingFolderEndsInCouldNotOpenForYesAndNo) {
    path_ = (dir_ / "a" / "b" / "run.dat").string();
    for (Answer answer : {Answer::Yes, Answer::No}) {
        view_.answers = {answer};
        DataFileRun run = OpenDataFileForRun(path_, file_, view_);
        EXPECT_EQ(run.outcome, DataFileOpening::Failed);
        EXPECT_EQ(DataFileStatusLine(run.outcome), "Could not open data file");
        // Without a file the writes fail quietly: the open failure was already shown.
        EXPECT_EQ(WriteRecord(file_, 1.0, run), "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "a"));
}

TEST_F(DataFileTest, FailedWriteIsReportedOncePerRun) {
    // /dev/full takes the open and refuses every write.
    view_.answers = {Answer::Yes, Answer::Yes};
    DataFileRun run = OpenDataFileForRun("/dev/full", file_, view_);
    ASSERT_EQ(run.outcome, DataFileOpening::Appended);
    EXPECT_EQ(WriteRecord(file_, 1.0, run), "Could not write data file");
    EXPECT_EQ(WriteRecord(file_, 2.0, run), "");
    file_.Release();
    run = OpenDataFileForRun("/dev/full", file_, view_);  // a new run reports again
    EXPECT_EQ(WriteRecord(file_, 3.0, run), "Could not write data file");
}

TEST_F(DataFileTest, BackslashesAreFolderSeparatorsOnDisk) {
    std::string name = dir_.string() + "\\sub\\run.dat";
    DataFileNameParts parts;
    PosixFolders folders;
    view_.answers = {Answer::Yes};
    ASSERT_EQ(CheckDataFileName(name, parts, folders, view_, kNameCheckCaption), 1);
    ASSERT_EQ(OpenDataFileForRun(name, file_, view_).outcome, DataFileOpening::Created);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "sub" / "run.dat"));
}

}  // namespace
}  // namespace ticklog
