#include "core/data_file_name.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "fake_view.h"
#include "platform/data_file_posix.h"

namespace ticklog {
namespace {

using testing::FakeView;

class FakeFolders : public Folders {
public:
    std::set<std::string> existing;
    bool creation_works = true;
    std::vector<std::string> looked_at, created;
    bool IsUsable(const std::string& folder) override {
        looked_at.push_back(folder);
        return existing.count(folder) > 0;
    }
    bool CreateAll(const std::string& folder) override {
        created.push_back(folder);
        return creation_works;
    }
};

struct Check {
    FakeView view;
    FakeFolders folders;
    DataFileNameParts parts;
    int Run(std::string& name) { return CheckDataFileName(name, parts, folders, view, kNameCheckCaption); }
};

TEST(CheckDataFileName, DriveRelativeFolderBecomesAbsoluteAndPiecesAreSplit) {
    Check c;
    c.folders.existing = {"D:\\data\\"};
    std::string name = "D:data\\run.dat";
    EXPECT_EQ(c.Run(name), 1);
    EXPECT_EQ(name, "D:\\data\\run.dat");
    EXPECT_EQ(c.parts.folder, "D:\\data\\");
    EXPECT_EQ(c.parts.name_and_extension, "run.dat");
    EXPECT_EQ(c.parts.base_name, "run");
    EXPECT_EQ(c.parts.extension, ".dat");

    name = "/a.b/c";  // a dot inside the folder is not an extension
    c.folders.existing = {"/a.b/"};
    EXPECT_EQ(c.Run(name), 1);
    EXPECT_EQ(c.parts.base_name, "c");
    EXPECT_EQ(c.parts.extension, "");
}

TEST(CheckDataFileName, InvalidNamesAreRefusedWithAWarning) {
    for (std::string bad : {"", "data/", "C:\\data\\", "a?b", "a\"b", "a<b", "a>b", "a*b", "a|b",
                            "D:", "x/D:y"}) {
        Check c;
        const std::string original = bad;
        EXPECT_EQ(c.Run(bad), 0) << original;
        ASSERT_EQ(c.view.boxes.size(), 1u) << original;
        EXPECT_EQ(c.view.boxes[0].text, "Invalid Filename");
        EXPECT_EQ(c.view.boxes[0].caption, "Marwen Ostrand Comm");
        EXPECT_TRUE(c.folders.looked_at.empty());
    }
}

TEST(CheckDataFileName, NameWithoutFolderNeedsNoDisk) {
    Check c;
    std::string name = "run.dat";
    EXPECT_EQ(c.Run(name), 1);
    name = "/run.dat";  // a one-character folder is not looked at either
    EXPECT_EQ(c.Run(name), 1);
    EXPECT_TRUE(c.folders.looked_at.empty());
    EXPECT_TRUE(c.view.boxes.empty());
}

TEST(CheckDataFileName, MissingFolderAsksAndCreatesOnlyOnYes) {
    Check c;
    std::string name = "/no/such/run.dat";
    c.view.answers = {Answer::No};
    EXPECT_EQ(c.Run(name), 0);
    ASSERT_EQ(c.view.boxes.size(), 1u);
    EXPECT_EQ(c.view.boxes[0].text, "The specified path does not exits.\nDo you wish to create it?");
    EXPECT_EQ(c.view.boxes[0].buttons, Buttons::YesNo);
    EXPECT_TRUE(c.folders.created.empty());

    c.view.answers = {Answer::Yes};
    EXPECT_EQ(c.Run(name), 1);
    EXPECT_EQ(c.folders.created, std::vector<std::string>{"/no/such/"});

    // A folder that cannot be made is not taken: a run on it could never store.
    c.folders.creation_works = false;
    c.view.answers = {Answer::Yes};
    EXPECT_EQ(c.Run(name), 0);
    EXPECT_EQ(c.view.boxes.back().icon, Icon::Warning);
}

TEST(CheckDataFileName, YesCreatesEveryMissingLevelOnDisk) {
    const auto root = std::filesystem::temp_directory_path() /
                      ("ticklog-name-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directory(root);
    FakeView view;
    view.answers = {Answer::Yes};
    PosixFolders folders;
    DataFileNameParts parts;
    std::string name = (root / "one" / "two" / "run.dat").string();
    EXPECT_EQ(CheckDataFileName(name, parts, folders, view, kNameCheckCaption), 1);
    EXPECT_TRUE(std::filesystem::is_directory(root / "one" / "two"));
    EXPECT_EQ(view.boxes.size(), 1u);

    // Below a plain file no folder can be made.
    std::filesystem::remove_all(root / "one");
    { std::ofstream(root / "one"); }
    name = (root / "one" / "two" / "run.dat").string();
    view.answers = {Answer::Yes};
    EXPECT_EQ(CheckDataFileName(name, parts, folders, view, kNameCheckCaption), 0);
    EXPECT_EQ(view.boxes.back().text, "The specified path could not be created.");
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace ticklog
