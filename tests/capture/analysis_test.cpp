// The analysis command line, its splitting, the real start without a shell, and
// the trace hook over POSIX shared memory.
#include "core/analysis.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "fake_view.h"
#include "platform/program_start_posix.h"
#include "platform/shared_memory_posix.h"

namespace ticklog {
namespace {

TEST(AnalysisCommandLine, ExactForm) {
    EXPECT_EQ(AnalysisCommandLine("D:\\tools\\prog.exe", "D:\\data\\run.dat"),
              "\"D:\\tools\\prog.exe\" -t 1.0 -p \"D:\\data\\run.dat\" -o auto1 -o skip");
}

TEST(SplitCommandLine, QuotingRules) {
    EXPECT_EQ(SplitCommandLine("  a  \"b c\"\td"), (std::vector<std::string>{"a", "b c", "d"}));
    EXPECT_EQ(SplitCommandLine(R"(x\"y "p\\" q\\r)"),
              (std::vector<std::string>{"x\"y", "p\\", "q\\\\r"}));
    EXPECT_EQ(SplitCommandLine("\"\" a"), (std::vector<std::string>{"", "a"}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(SplitCommandLine, GivesProgramAndFileBackWhateverTheyHold) {
    for (const std::string file : {"plain.dat", "/tmp/my run/a b.dat", "/tmp/q\"uo\"te/x.dat",
                                   "/tmp/back\\\\\"slash\\/r.dat", "a;$(touch x)`id`.dat"}) {
        const auto args = SplitCommandLine(AnalysisCommandLine("/opt/v 32/prog", file));
        EXPECT_EQ(args, (std::vector<std::string>{"/opt/v 32/prog", "-t", "1.0", "-p", file, "-o",
                                                  "auto1", "-o", "skip"}))
            << file;
    }
}

class FakeStart : public ProgramStart {
public:
    std::vector<std::vector<std::string>> started;
    bool Start(const std::vector<std::string>& arguments) override {
        started.push_back(arguments);
        return false;
    }
};

TEST(StartAnalysis, EmptyProgramStartsNothingAndReportsNothing) {
    FakeStart start;
    StartAnalysis(start, "", "run.dat");
    ASSERT_EQ(start.started.size(), 1u);
    EXPECT_EQ(start.started[0][0], "");
    PosixProgramStart real;
    EXPECT_FALSE(real.Start({""}));
    EXPECT_FALSE(real.Start({"/no/such/program"}));
}

TEST(StartAnalysis, HostileFileNameReachesTheProgramAsOneArgument) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("ticklog-analysis-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const auto program = dir / "analysis program";
    const auto out = dir / "args.txt";
    const auto marker = dir / "ran";
    {
        std::ofstream script(program);
        script << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" << out.string()
               << ".part\"\nmv \"" << out.string() << ".part\" \"" << out.string() << "\"\n";
    }
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const std::string file =
        (dir / "my \"run\"; $(touch " ).string() + marker.string() + ") `touch " +
        marker.string() + "`.dat";

    PosixProgramStart start;
    StartAnalysis(start, program.string(), file);
    for (int i = 0; i < 100 && !std::filesystem::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"-t", "1.0", "-p", file, "-o", "auto1", "-o", "skip"}));
    EXPECT_FALSE(std::filesystem::exists(marker));
    std::filesystem::remove_all(dir);
}

TEST(TraceHook, WritesTheGreetingIntoAnExistingBlock) {
    ::shm_unlink(kTraceMemoryName);
    testing::FakeView view;
    {
        PosixSharedMemory memory;
        RunTraceHook(memory, view);
    }
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "OpenFileMapping Failed");
    EXPECT_EQ(view.boxes[0].caption, "Trace Str");
    EXPECT_EQ(view.boxes[0].buttons, Buttons::Ok);
    EXPECT_FALSE(view.boxes[0].owned);

    const int fd = ::shm_open(kTraceMemoryName, O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 64), 0);
    void* block = ::mmap(nullptr, 64, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(block, MAP_FAILED);
    std::memset(block, 'x', 64);
    PosixSharedMemory memory;
    RunTraceHook(memory, view);
    EXPECT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(std::memcmp(block, "Hello from Ticklog\0x", 20), 0);

    // A block smaller than the greeting takes what fits and nothing beyond.
    ASSERT_EQ(::ftruncate(fd, 5), 0);
    PosixSharedMemory small;
    std::memset(block, 'x', 5);
    EXPECT_TRUE(small.WriteToExisting(kTraceMemoryName, "Hello from Ticklog"));
    EXPECT_EQ(std::memcmp(block, "Hello", 5), 0);
    ::munmap(block, 64);
    ::close(fd);
    ::shm_unlink(kTraceMemoryName);
}

}  // namespace
}  // namespace ticklog
