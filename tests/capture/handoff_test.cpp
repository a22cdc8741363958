// The analysis command line, its splitting and the real start without a shell.
#include "core/handoff.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/program_start_posix.h"

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

}  // namespace
}  // namespace ticklog
