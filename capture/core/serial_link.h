// The port state of the capture window and the operations on it: open, close and
// select a port, each reporting its outcome as a status line.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "profile.h"
#include "serial_port.h"
#include "view.h"

namespace ticklog {

// Device paths of COM1..COM4 (index 0..3).
using PortMap = std::array<std::string, 4>;

struct PortState {
    std::string PortName;  // text of the selected entry, at most 127 characters
    int Comm = 1;          // 1..4; other values select no entry
    bool PortOpen = false;
    PortMap devices;
};

// Receives a status line (the window puts it into its message buffer and adds it
// to the status list).
using StatusReport = std::function<void(const std::string& line)>;

// "COM1".."COM4".
std::vector<std::string> PortList();

// /dev/ttyS0../dev/ttyS3 unless the section [Ports] names another device for a key
// COM1..COM4.
PortMap ReadPortMap(Profile& profile);

// The device of a port name ("COM1".."COM4"); empty for any other name.
std::string PortDevice(const PortMap& devices, const std::string& port_name);

// Opens the port of the selected entry, sets PortOpen, the indicator and the Start
// button, and reports "COM%d Opened" or "Could not open COM%d".
bool OpenPort(PortState& state, SerialPort& port, View& view, const StatusReport& report);

// Releases the port and reports "%s Closed" or "Could not close %s". PortOpen is
// left to the caller.
bool ClosePort(PortState& state, SerialPort& port, const StatusReport& report);

// The user picked the entry `entry` (e.g. "COM3"): closes the old port when open,
// then opens the new one.
void SelectPort(PortState& state, const std::string& entry, SerialPort& port, View& view,
                const StatusReport& report);

}  // namespace ticklog
