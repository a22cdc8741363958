// Faults of the instrument's line, through the window with the real serial port
// and data file: an unplugged instrument, a new one on the same device name, and
// bursts of garbage, of NUL bytes and of far more than one buffer.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "core/reading.h"
#include "faults_window.h"
#include "instrument_sim.h"

namespace ticklog {
namespace {

using testing::InstrumentSim;
using testing::RealWindow;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// The values of the reading lines among `lines`.
std::vector<std::string> ShownValues(const std::vector<std::string>& lines) {
    std::vector<std::string> values;
    for (const std::string& line : lines)
        if (testing::IsReadingLine(line)) values.push_back(testing::ListLineValue(line));
    return values;
}

// Points the symbolic link `link` at `target`, replacing it in one step.
void PointLink(const std::string& link, const std::string& target) {
    const std::string temp = link + ".new";
    ::unlink(temp.c_str());
    ASSERT_EQ(::symlink(target.c_str(), temp.c_str()), 0);
    ASSERT_EQ(::rename(temp.c_str(), link.c_str()), 0);
}

class LineFaults : public ::testing::Test {
protected:
    void SetUp() override {
        folder = testing::MakeTempFolder();
        ASSERT_FALSE(folder.empty());
        link = folder + "instrument";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string folder, link;
};

TEST_F(LineFaults, UnpluggedInstrumentTimesOutAtItsPaceAndPluggingBackNeedsOnlyAPortSelection) {
    auto first = std::make_unique<InstrumentSim>(
        std::vector<std::string>{"--period", "0.1", "--counting", "--hangup-after", "8"});
    ASSERT_FALSE(first->device().empty());
    PointLink(link, first->device());
    testing::WriteFile(folder + "Ticklog.ini", "[Ports]\nCOM1=" + link + "\n");

    RealWindow w(folder);
    WindowController& c = w.Open();
    ASSERT_TRUE(c.PortOpen());
    ASSERT_EQ(w.view.status.back(), "COM1 Opened");

    // Run until the far end has gone and three reads in a row timed out.
    int timeouts = 0;
    Clock::time_point first_timeout{};
    double cpu_at_first_timeout = 0;
    // The window pumps while a read waits, too: only a new status line is a new read.
    std::size_t lines_seen = 0;
    w.view.on_pump = [&](int pump) {
        if (w.view.all_status.size() != lines_seen) {
            lines_seen = w.view.all_status.size();
            if (w.view.all_status.back() != "Timeout - No Data") {
                timeouts = 0;
            } else if (timeouts++ == 0) {
                first_timeout = Clock::now();
                cpu_at_first_timeout = CpuSeconds();
            }
        }
        if (timeouts == 4 || pump > 2000) c.Command(IDC_START_STOP);
    };
    c.Command(IDC_START_STOP);
    const double waited = std::chrono::duration<double>(Clock::now() - first_timeout).count();
    const double cpu = CpuSeconds() - cpu_at_first_timeout;

    EXPECT_FALSE(c.Running());  // Stop ended the run
    ASSERT_EQ(timeouts, 4);
    // Three more time-outs after the first: each waited out the read time-out, and
    // the loop burnt next to no processor time meanwhile.
    EXPECT_GT(waited, 3 * 1.9);
    EXPECT_LT(cpu, 1.5);
    EXPECT_EQ(w.view.texts[IDC_START_STOP], "&Start");
    EXPECT_TRUE(w.view.enabled[IDC_PORT]);

    const std::vector<std::string> shown = ShownValues(w.view.all_status);
    ASSERT_GE(shown.size(), 1u);
    bool complete = false;
    const auto records = testing::Records(testing::ReadFile(c.File()), &complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(records, shown);

    // A new instrument on the same device name: picking the port again opens it.
    first.reset();
    InstrumentSim second({"--period", "0.1", "--counting"});
    PointLink(link, second.device());
    w.view.selected_port = 0;
    c.PortSelectionChanged();
    ASSERT_TRUE(c.PortOpen());
    EXPECT_EQ(w.view.status.back(), "COM1 Opened");

    w.view.answers = {Answer::Yes};  // append to the file of the first run
    int readings = 0;
    w.view.on_pump = [&](int pump) {
        if (w.view.all_status.size() != lines_seen) {
            lines_seen = w.view.all_status.size();
            if (testing::IsReadingLine(w.view.all_status.back())) ++readings;
        }
        if (readings == 3 || pump > 1000) c.Command(IDC_START_STOP);
    };
    const std::size_t before = w.view.all_status.size();
    c.Command(IDC_START_STOP);
    EXPECT_EQ(readings, 3);
    const std::vector<std::string> tail(w.view.all_status.begin() + static_cast<long>(before),
                                        w.view.all_status.end());
    EXPECT_EQ(tail.front(), "Data file appended");
    std::vector<std::string> all_shown = shown;
    for (const std::string& v : ShownValues(tail)) all_shown.push_back(v);
    EXPECT_EQ(testing::Records(testing::ReadFile(c.File()), &complete), all_shown);
    EXPECT_TRUE(complete);
    c.Command(IDC_CLOSE);
}

// The far end of a pseudo-terminal that the test writes itself.
class Line {
public:
    Line() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        device_ = ::ptsname(master_);
        // Keep one end of the slave open so that the line never hangs up under us.
        slave_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (::tcgetattr(master_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(master_, TCSANOW, &t);
        }
    }
    ~Line() {
        StopSending();
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }
    const std::string& device() const { return device_; }

    // Sends `bursts` in turn, each with one write and a pause long enough to end a read.
    void SendBursts(std::vector<std::string> bursts) {
        sender_ = std::thread([this, bursts = std::move(bursts)] {
            for (std::size_t i = 0; !stop_; i = (i + 1) % bursts.size()) {
                Write(bursts[i]);
                std::this_thread::sleep_for(std::chrono::milliseconds(80));
            }
        });
    }
    // Sends `text` over and over with no pause at all.
    void SendWithoutPause(std::string text) {
        sender_ = std::thread([this, text = std::move(text)] {
            while (!stop_) Write(text);
        });
    }
    void StopSending() {
        stop_ = true;
        if (sender_.joinable()) sender_.join();
    }

private:
    void Write(const std::string& bytes) {
        pollfd p{master_, POLLOUT, 0};
        if (::poll(&p, 1, 100) > 0) (void)!::write(master_, bytes.data(), bytes.size());
    }
    int master_ = -1, slave_ = -1;
    std::string device_;
    std::thread sender_;
    std::atomic<bool> stop_{false};
};

// Runs the window on `device` until `readings` readings were shown (or a bound on
// the pumps is hit); returns the window for inspection.
std::unique_ptr<RealWindow> RunOn(const std::string& folder, const std::string& device,
                                  int readings, const std::string& preferences = "") {
    testing::WriteFile(folder + "Ticklog.ini",
                       "[Ports]\nCOM1=" + device + "\n[Preferences]\n" + preferences);
    auto w = std::make_unique<RealWindow>(folder);
    WindowController& c = w->Open();
    EXPECT_TRUE(c.PortOpen());
    w->view.on_pump = [&c, readings](int pump) {
        if (c.ReadingCount() >= readings || pump > 40 * readings + 20) c.Command(IDC_START_STOP);
    };
    c.Command(IDC_START_STOP);
    EXPECT_EQ(c.ReadingCount(), readings);
    return w;
}

TEST_F(LineFaults, GarbageAndNulBurstsAreReadingsOfZeroAndStayOneRecordEach) {
    Line line;
    ASSERT_FALSE(line.device().empty());
    const std::string nuls(40, '\0');
    std::string binary;
    for (int i = 0; i < 100; ++i) binary += static_cast<char>((i * 97 + 13) % 256);
    line.SendBursts({"2.5\r\n", nuls, binary, std::string("\r\n\0\xff", 4), "\x1b[2J\r\n"});
    const auto w = RunOn(folder, line.device(), 25);
    line.StopSending();

    bool complete = false;
    const auto records = testing::Records(testing::ReadFile(w->controller->File()), &complete);
    EXPECT_TRUE(complete);
    const auto shown = ShownValues(w->view.all_status);
    ASSERT_EQ(shown.size(), 25u);
    EXPECT_EQ(records, shown);
    int zeros = 0;
    for (const std::string& r : records) {
        ASSERT_TRUE(r == "2.500000000000000e+00" || r == "0.000000000000000e+00") << r;
        zeros += r[0] == '0';
    }
    EXPECT_GE(zeros, 10);  // the garbage came through as readings, not as lost bursts
    // The list never held more than Size lines.
    EXPECT_LE(w->view.status.size(), 240u);
}

TEST_F(LineFaults, AnHourOfOverlongBurstsKeepsEveryReadingOneWholeRecord) {
    // Readings 1 s apart for an hour, each burst filling the buffer and more.
    Line line;
    ASSERT_FALSE(line.device().empty());
    std::string flood;
    while (flood.size() < 4000) flood += "7\r\n";
    line.SendWithoutPause(flood);
    constexpr int kHour = 3600;
    const auto w = RunOn(folder, line.device(), kHour, "Size=8\n");
    line.StopSending();

    EXPECT_LE(w->view.status.size(), 8u);
    bool complete = false;
    const auto records = testing::Records(testing::ReadFile(w->controller->File()), &complete);
    EXPECT_TRUE(complete);
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kHour));
    // Wherever a burst began in the stream, its text starts with the number 7.
    for (std::size_t i = 0; i < records.size(); ++i)
        ASSERT_EQ(records[i], "7.000000000000000e+00") << i;
    // No line shows more than the 126 bytes of one burst as its raw text.
    for (const std::string& l : w->view.all_status) {
        if (testing::IsReadingLine(l)) {
            ASSERT_LE(l.size(), std::string("3600:    ").size() + 126 + 4 + 21) << l;
        }
    }
}

}  // namespace
}  // namespace ticklog
