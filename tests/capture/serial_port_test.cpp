// The serial port against instrument-sim on a real pseudo-terminal.
#include "platform/serial_port_posix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "core/number_text.h"
#include "core/reading.h"
#include "core/serial_link.h"
#include "fake_view.h"
#include "instrument_sim.h"

namespace ticklog {
namespace {

using Clock = std::chrono::steady_clock;
using testing::InstrumentSim;

double SecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

struct Burst {
    std::string bytes;
    double seconds = 0;  // how long the read took
    int waits = 0;       // calls of the wait hook
};

// One read; `on_wait` runs in the wait hook with the number of its call.
Burst Read(SerialPort& port, const std::function<bool(int)>& on_wait = {}) {
    std::array<unsigned char, kBurstBytes> buffer{};
    Burst b;
    const auto start = Clock::now();
    const std::size_t n = port.ReadBurst(buffer, [&] {
        ++b.waits;
        return !on_wait || on_wait(b.waits);
    });
    b.seconds = SecondsBetween(start, Clock::now());
    b.bytes.assign(reinterpret_cast<const char*>(buffer.data()), n);
    return b;
}

// A pseudo-terminal whose far end the test writes itself.
struct FarEnd {
    FarEnd() : fd(::posix_openpt(O_RDWR | O_NOCTTY)) {
        if (fd >= 0 && ::grantpt(fd) == 0 && ::unlockpt(fd) == 0) device = ::ptsname(fd);
    }
    ~FarEnd() { ::close(fd); }
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;
    bool Send(const std::string& bytes) const {
        return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    int fd;
    std::string device;
};

TEST(SerialPort, ReadsOneBurstPerReading) {
    InstrumentSim sim({"--period", "0.2"});
    ASSERT_FALSE(sim.device().empty());
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(sim.device()));
    for (int i = 0; i < 3; ++i) {
        const Burst b = Read(port);
        ASSERT_GE(b.bytes.size(), 3u);
        EXPECT_EQ(b.bytes.substr(b.bytes.size() - 2), "\r\n");
        EXPECT_EQ(b.bytes.find("\r\n"), b.bytes.size() - 2);  // one reading, not two
        EXPECT_LT(b.seconds, 0.5);
    }
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.Close());
}

TEST(SerialPort, ShortPauseInsideABurstKeepsOneBurst) {
    InstrumentSim sim({"--period", "0.3", "--counting", "--pause-ms", "10"});
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(sim.device()));
    for (int i = 0; i < 3; ++i) {
        const std::string bytes = Read(port).bytes;
        ASSERT_GE(bytes.size(), 3u);
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << i;
    }
}

TEST(SerialPort, LongPauseSplitsABurst) {
    // "1\r\n" is sent as "1" and, 300 ms later, "\r\n": two bursts.
    InstrumentSim sim({"--period", "0.8", "--counting", "--pause-ms", "300"});
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(sim.device()));
    const std::string first = Read(port).bytes;
    const std::string second = Read(port).bytes;
    EXPECT_EQ(first.find("\r\n"), std::string::npos) << first;
    EXPECT_EQ(second, "\r\n");
}

TEST(SerialPort, PurgeDiscardsWhatCameBeforeTheRead) {
    InstrumentSim sim({"--period", "0.1", "--counting"});
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(sim.device()));
    const std::string first = Read(port).bytes;
    std::this_thread::sleep_for(std::chrono::milliseconds(550));  // about five readings pile up
    const std::string next = Read(port).bytes;
    ASSERT_GE(next.size(), 3u);
    EXPECT_EQ(next.find("\r\n"), next.size() - 2);  // one fresh reading, not the pile
    EXPECT_GE(ReadNumber(next) - ReadNumber(first), 5.0);
}

TEST(SerialPort, FullBufferEndsTheRead) {
    InstrumentSim sim({"--period", "0.3", "--long-every", "1"});
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(sim.device()));
    const Burst b = Read(port);
    EXPECT_EQ(b.bytes.size(), kBurstBytes);
}

TEST(SerialPort, SilentLineTimesOutAfterTwoSeconds) {
    InstrumentSim sim({"--period", "0.1", "--silence-after", "1"});
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(sim.device()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Burst b = Read(port);
    EXPECT_TRUE(b.bytes.empty());
    EXPECT_GT(b.seconds, 1.9);
    EXPECT_LT(b.seconds, 3.0);
    // The window works about every 50 ms of the wait, and the wait does not spin.
    EXPECT_GE(b.waits, 20);
    EXPECT_LE(b.waits, 60);
}

// Once the first byte has come the hook is not called again: the burst ends 50 ms
// after its last byte. A hook that gives the read up ends it at once.
TEST(SerialPort, TheHookRunsUntilTheFirstByteAndCanGiveTheReadUp) {
    FarEnd far;
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(far.device));
    Clock::time_point sent;
    const auto start = Clock::now();
    const Burst b = Read(port, [&](int call) {
        if (call == 10) {
            EXPECT_TRUE(far.Send("12.5\r\n"));
            sent = Clock::now();
        }
        return true;
    });
    EXPECT_EQ(b.bytes, "12.5\r\n");
    EXPECT_EQ(b.waits, 10);
    EXPECT_GT(SecondsBetween(start, sent), 0.45);
    const double after_last_byte = SecondsBetween(sent, start) + b.seconds;
    EXPECT_GT(after_last_byte, 0.045);
    EXPECT_LT(after_last_byte, 0.15);

    const Burst given_up = Read(port, [](int call) { return call < 3; });
    EXPECT_TRUE(given_up.bytes.empty());
    EXPECT_EQ(given_up.waits, 3);
    EXPECT_LT(given_up.seconds, 0.5);
}

TEST(SerialPort, HangUpWaitsOutTheTimeOutInsteadOfSpinning) {
    InstrumentSim sim({"--period", "0.2", "--hangup-after", "2"});
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(sim.device()));
    EXPECT_FALSE(Read(port).bytes.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the far end has gone
    for (int i = 0; i < 2; ++i) {
        const Burst b = Read(port);
        EXPECT_TRUE(b.bytes.empty());
        EXPECT_GT(b.seconds, 1.9) << i;
        // The window works while a dead line waits too, and the wait does not spin.
        EXPECT_GE(b.waits, 20) << i;
        EXPECT_LE(b.waits, 60) << i;
    }
}

TEST(SerialPort, SecondUserOfThePortIsRefused) {
    InstrumentSim sim({"--period", "0.5"});
    PosixSerialPort first, second;
    ASSERT_TRUE(first.Open(sim.device()));
    EXPECT_FALSE(second.Open(sim.device()));

    // Through the window's rules the second program reports the failure.
    testing::FakeView view;
    view.ports = PortList();
    view.selected_port = 1;
    PortState state;
    state.Comm = 2;
    state.devices = {"/dev/null", sim.device(), "", ""};
    std::vector<std::string> lines;
    EXPECT_FALSE(OpenPort(state, second, view, [&](const std::string& l) { lines.push_back(l); }));
    EXPECT_EQ(lines, std::vector<std::string>{"Could not open COM2"});

    first.Close();
    EXPECT_TRUE(second.Open(sim.device()));
}

TEST(SerialPort, DevicesThatAreNoTerminalsAreRefused) {
    PosixSerialPort port;
    EXPECT_FALSE(port.Open("/dev/null"));
    EXPECT_FALSE(port.Open("/no/such/device"));
    EXPECT_FALSE(port.Open(""));
}

TEST(SerialPort, GarbageBurstsDecodeToZero) {
    InstrumentSim sim({"--period", "0.2", "--garbage-every", "1"});
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(sim.device()));
    PhaseTrack track;
    for (int i = 1; i <= 2; ++i) {
        const std::string bytes = Read(port).bytes;
        ASSERT_FALSE(bytes.empty());
        const Reading r = DecodeReading(
            {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()}, i, 1.0, track);
        EXPECT_EQ(r.value, 0.0);
    }
}

}  // namespace
}  // namespace ticklog
