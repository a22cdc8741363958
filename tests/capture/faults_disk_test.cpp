// A data file that can no longer grow (a full disk, here a file size limit) in the
// middle of a run, through the window with the real serial port and data file.
#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "faults_window.h"
#include "instrument_sim.h"

namespace ticklog {
namespace {

using testing::InstrumentSim;
using testing::RealWindow;

constexpr rlim_t kRecordBytes = 23;  // "1.000000000000000e+00\r\n"

class DiskFull : public ::testing::Test {
protected:
    void SetUp() override {
        folder = testing::MakeTempFolder();
        ASSERT_FALSE(folder.empty());
        // Past the limit a write fails with EFBIG instead of killing the process.
        old_handler = ::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    }
    void TearDown() override {
        Unlimit();
        ::signal(SIGXFSZ, old_handler);
        std::filesystem::remove_all(folder);
    }
    void Limit(rlim_t bytes) {
        rlimit l = old_limit;
        l.rlim_cur = bytes;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &l), 0);
    }
    void Unlimit() { ::setrlimit(RLIMIT_FSIZE, &old_limit); }

    std::string folder;
    rlimit old_limit{};
    sighandler_t old_handler = SIG_DFL;
};

TEST_F(DiskFull, FailedWriteIsReportedOnceTheRunGoesOnAndNoRecordIsDamaged) {
    InstrumentSim sim({"--period", "0.05", "--counting"});
    ASSERT_FALSE(sim.device().empty());
    testing::WriteFile(folder + "Ticklog.ini",
                       "[Ports]\nCOM1=" + sim.device() + "\n");
    RealWindow w(folder);
    WindowController& c = w.Open();
    ASSERT_TRUE(c.PortOpen());

    // Room for three records and part of a fourth; after eight readings the disk
    // has room again.
    Limit(3 * kRecordBytes + 10);
    std::string warned;  // per reading: whether the run line warned then ('!') or not
    w.view.on_pump = [&](int pump) {
        if (static_cast<std::size_t>(c.ReadingCount()) > warned.size())
            warned += w.view.warning[IDC_RUN_LINE] ? '!' : '.';
        if (c.ReadingCount() == 8) Unlimit();
        if (c.ReadingCount() == 12 || pump > 1000) c.Command(IDC_START_STOP);
    };
    c.Command(IDC_START_STOP);
    Unlimit();
    ASSERT_EQ(c.ReadingCount(), 12);

    std::vector<std::string> shown;
    int reported = 0;
    for (const std::string& line : w.view.all_status) {
        if (testing::IsReadingLine(line)) shown.push_back(testing::ListLineValue(line));
        if (line == "Could not write data file") {
            ++reported;
            EXPECT_EQ(shown.size(), 4u);  // right after the reading that did not fit
        }
    }
    EXPECT_EQ(reported, 1);
    ASSERT_EQ(shown.size(), 12u);
    // The run line warns for as long as records are lost, and counts them.
    EXPECT_EQ(warned, "...!!!!!....");
    const std::string stopped = w.view.Text(IDC_RUN_LINE);
    EXPECT_EQ(stopped.rfind("Stopped: 7 records (5 not written) in ", 0), 0u) << stopped;
    EXPECT_TRUE(stopped.ends_with("; data file " + c.File())) << stopped;

    // The three records that fit, whole, then those written once there was room;
    // the part of the fourth that fitted is gone, and nothing lies between them.
    bool complete = false;
    const auto records = testing::Records(testing::ReadFile(c.File()), &complete);
    EXPECT_TRUE(complete);
    std::vector<std::string> expected(shown.begin(), shown.begin() + 3);
    expected.insert(expected.end(), shown.begin() + 8, shown.end());
    EXPECT_EQ(records, expected);
    for (const std::string& r : records) EXPECT_EQ(r.size() + 2, kRecordBytes) << r;

    c.Command(IDC_CLOSE);
    EXPECT_TRUE(w.view.closed);
}

}  // namespace
}  // namespace ticklog
