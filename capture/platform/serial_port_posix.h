// The serial port on a POSIX terminal device (termios and poll()).
#pragma once

#include "core/serial_port.h"

namespace ticklog {

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;
    ~PosixSerialPort() override;

    bool Open(const std::string& device) override;
    bool Close() override;
    std::size_t ReadBurst(std::span<unsigned char, kBurstBytes> buffer,
                          const ReadWaitHook& wait) override;

private:
    int fd_ = -1;
};

}  // namespace ticklog
