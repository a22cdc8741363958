// The serial port against instrument-sim on a real pseudo-terminal.
#include "platform/serial_port_posix.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
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

struct Burst {
    std::string bytes;
    double seconds = 0;  // how long the read took
};

Burst Read(SerialPort& port) {
    std::array<unsigned char, kBurstBytes> buffer{};
    const auto start = Clock::now();
    const std::size_t n = port.ReadBurst(buffer);
    return {std::string(reinterpret_cast<const char*>(buffer.data()), n),
            std::chrono::duration<double>(Clock::now() - start).count()};
}

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
