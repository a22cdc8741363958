// The capture program killed (SIGKILL) in the middle of a run: the data file holds
// every reading the list showed, each a whole record, and nothing partial at its end.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "faults_window.h"
#include "instrument_sim.h"

namespace ticklog {
namespace {

// Starts the driver on `folder`, reads its status lines until `readings` reading
// lines came, kills it and returns the values of the readings shown.
std::vector<std::string> RunAndKill(const std::string& folder, int readings) {
    std::string program = std::string(TICKLOG_BIN_DIR) + "/faults-driver";
    std::string folder_arg = folder;
    char* argv[] = {program.data(), folder_arg.data(), nullptr};
    int out[2];
    if (::pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ADD_FAILURE() << "could not start " << program;
        return {};
    }

    std::vector<std::string> shown;
    std::string line;
    char c;
    while (static_cast<int>(shown.size()) < readings && ::read(out[0], &c, 1) == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (testing::IsReadingLine(line)) shown.push_back(testing::ListLineValue(line));
        line.clear();
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(out[0]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    return shown;
}

TEST(KilledMidRun, DataFileHoldsEveryShownReadingAsAWholeRecord) {
    const std::string folder = testing::MakeTempFolder();
    ASSERT_FALSE(folder.empty());
    testing::InstrumentSim sim({"--period", "0.08", "--counting"});
    ASSERT_FALSE(sim.device().empty());
    testing::WriteFile(folder + "Ticklog.ini", "[Ports]\nCOM1=" + sim.device() + "\n");

    // Killed three times at different points, each run with a data file of its own.
    for (int readings : {5, 12, 25}) {
        const std::string name = folder + "run" + std::to_string(readings) + ".dat";
        testing::WriteFile(folder + "Ticklog.ini",
                           "[Ports]\nCOM1=" + sim.device() + "\n[Preferences]\nFile=" + name + "\n");
        const std::vector<std::string> shown = RunAndKill(folder, readings);
        ASSERT_EQ(shown.size(), static_cast<std::size_t>(readings));

        bool complete = false;
        const auto records = testing::Records(testing::ReadFile(name), &complete);
        EXPECT_TRUE(complete) << readings;
        // The record of a reading is written before its line is shown: one more
        // record than lines may be there, never one less.
        ASSERT_GE(records.size(), shown.size());
        EXPECT_LE(records.size(), shown.size() + 1);
        EXPECT_EQ(std::vector<std::string>(records.begin(), records.begin() + readings), shown);
        for (const std::string& r : records) EXPECT_EQ(r.size(), 21u) << r;
    }
    // The settings file is written only at a normal exit: the killed runs left it as it was.
    EXPECT_EQ(testing::ReadFile(folder + "Ticklog.ini").find("Comm="), std::string::npos);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace ticklog
