#include "serial_link.h"

#include "control_ids.h"
#include "number_text.h"

namespace ticklog {
namespace {

constexpr std::size_t kPortNameLimit = 127;

std::string CommText(int comm) { return "COM" + IntegerText(comm); }

}  // namespace

std::vector<std::string> PortList() {
    std::vector<std::string> entries;
    for (int n = 1; n <= 4; ++n) entries.push_back(CommText(n));
    return entries;
}

PortMap ReadPortMap(Profile& profile) {
    PortMap devices;
    for (int n = 1; n <= 4; ++n) {
        const std::string fallback = "/dev/ttyS" + IntegerText(n - 1);
        std::string device = profile.ReadString("Ports", CommText(n), fallback);
        devices[static_cast<std::size_t>(n - 1)] = device.empty() ? fallback : device;
    }
    return devices;
}

std::string PortDevice(const PortMap& devices, const std::string& port_name) {
    for (int n = 1; n <= 4; ++n)
        if (port_name == CommText(n)) return devices[static_cast<std::size_t>(n - 1)];
    return {};
}

bool OpenPort(PortState& state, SerialPort& port, View& view, const StatusReport& report) {
    state.PortName = view.SelectedPortEntry().substr(0, kPortNameLimit);
    const std::string device = PortDevice(state.devices, state.PortName);
    const bool opened = !device.empty() && port.Open(device);

    state.PortOpen = opened;
    view.SetChecked(IDC_PORT_OPEN, opened);
    view.SetEnabled(IDC_START_STOP, opened);
    report(opened ? CommText(state.Comm) + " Opened" : "Could not open " + CommText(state.Comm));
    return opened;
}

bool ClosePort(PortState& state, SerialPort& port, const StatusReport& report) {
    const bool closed = port.Close();
    report(closed ? state.PortName + " Closed" : "Could not close " + state.PortName);
    return closed;
}

void SelectPort(PortState& state, const std::string& entry, SerialPort& port, View& view,
                const StatusReport& report) {
    // The digit after "COM" alone is the port number.
    state.Comm = entry.size() > 3 && entry[3] >= '0' && entry[3] <= '9' ? entry[3] - '0' : 0;
    if (state.PortOpen) ClosePort(state, port, report);
    state.PortOpen = false;
    view.SetChecked(IDC_PORT_OPEN, false);
    state.PortName = entry.substr(0, kPortNameLimit);
    OpenPort(state, port, view, report);
}

}  // namespace ticklog
