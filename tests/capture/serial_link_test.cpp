// Opening, closing and selecting ports, and their status lines.
#include "core/serial_link.h"

#include <gtest/gtest.h>

#include "core/control_ids.h"
#include "fake_view.h"
#include "text_profile.h"

namespace ticklog {
namespace {

using testing::FakeView;

class FakePort : public SerialPort {
public:
    std::vector<std::string> opened;
    bool open_works = true, close_works = true, held = false;
    bool Open(const std::string& device) override {
        opened.push_back(device);
        held = open_works;
        return open_works;
    }
    bool Close() override {
        const bool was = held;
        held = false;
        return was && close_works;
    }
    std::size_t ReadBurst(std::span<unsigned char, kBurstBytes>, const ReadWaitHook&) override {
        return 0;
    }
};

struct Link {
    FakeView view;
    FakePort port;
    PortState state;
    std::vector<std::string> lines;
    StatusReport report = [this](const std::string& l) { lines.push_back(l); };
    Link() {
        view.ports = PortList();
        state.devices = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};
    }
};

TEST(PortList, FourEntriesAndTheirDevices) {
    EXPECT_EQ(PortList(), (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
    testing::TextProfile profile("[ports]\ncom1=/dev/ttyUSB0\nCOM3=\n");
    const PortMap devices = ReadPortMap(profile);
    EXPECT_EQ(devices, (PortMap{"/dev/ttyUSB0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"}));
    EXPECT_EQ(PortDevice(devices, "COM2"), "/dev/ttyS1");
    EXPECT_EQ(PortDevice(devices, "COM5"), "");
    EXPECT_EQ(PortDevice(devices, ""), "");
}

TEST(OpenPort, ReportsAndDrivesIndicatorAndStart) {
    Link l;
    l.view.selected_port = 0;
    EXPECT_TRUE(OpenPort(l.state, l.port, l.view, l.report));
    EXPECT_EQ(l.state.PortName, "COM1");
    EXPECT_TRUE(l.state.PortOpen);
    EXPECT_TRUE(l.view.checked[IDC_PORT_OPEN]);
    EXPECT_TRUE(l.view.enabled[IDC_START_STOP]);
    EXPECT_EQ(l.port.opened, std::vector<std::string>{"/dev/ttyS0"});

    l.port.open_works = false;
    EXPECT_FALSE(OpenPort(l.state, l.port, l.view, l.report));
    EXPECT_FALSE(l.state.PortOpen);
    EXPECT_FALSE(l.view.checked[IDC_PORT_OPEN]);
    EXPECT_FALSE(l.view.enabled[IDC_START_STOP]);
    EXPECT_EQ(l.lines, (std::vector<std::string>{"COM1 Opened", "Could not open COM1"}));
}

TEST(OpenPort, CommOutsideOneToFourSelectsNothingAndFails) {
    for (int comm : {0, 9}) {
        Link l;
        l.state.Comm = comm;
        l.view.SelectPortEntry(comm - 1);
        EXPECT_FALSE(OpenPort(l.state, l.port, l.view, l.report));
        EXPECT_EQ(l.state.PortName, "");
        EXPECT_TRUE(l.port.opened.empty());
        EXPECT_EQ(l.lines, std::vector<std::string>{"Could not open COM" + std::to_string(comm)});
    }
}

TEST(SelectPort, ClosesTheOldPortThenOpensTheNew) {
    Link l;
    l.view.selected_port = 0;
    OpenPort(l.state, l.port, l.view, l.report);
    l.view.selected_port = 2;
    SelectPort(l.state, "COM3", l.port, l.view, l.report);
    EXPECT_EQ(l.state.Comm, 3);
    EXPECT_EQ(l.state.PortName, "COM3");
    EXPECT_TRUE(l.state.PortOpen);
    EXPECT_EQ(l.lines, (std::vector<std::string>{"COM1 Opened", "COM1 Closed", "COM3 Opened"}));

    // A port that was never opened is not closed; a failed release is reported.
    l.port.open_works = false;
    l.view.selected_port = 3;
    SelectPort(l.state, "COM4", l.port, l.view, l.report);
    l.port.close_works = false;
    l.view.selected_port = 1;
    SelectPort(l.state, "COM2", l.port, l.view, l.report);
    EXPECT_EQ(l.lines, (std::vector<std::string>{"COM1 Opened", "COM1 Closed", "COM3 Opened",
                                                 "COM3 Closed", "Could not open COM4",
                                                 "Could not open COM2"}));
    l.port.open_works = true;
    l.view.selected_port = 0;
    SelectPort(l.state, "COM1", l.port, l.view, l.report);
    SelectPort(l.state, "COM1", l.port, l.view, l.report);
    EXPECT_EQ(l.lines.back(), "COM1 Opened");
    EXPECT_EQ(l.lines[l.lines.size() - 2], "Could not close COM1");
}

}  // namespace
}  // namespace ticklog
