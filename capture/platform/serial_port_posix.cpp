#include "serial_port_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace ticklog {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kByteInterval{50};
constexpr milliseconds kTotalTimeout{2000};
// While no byte has come, the wait goes in slices of this length with the wait hook
// between them.
constexpr int kWaitSliceMs = 50;

// 9600 baud, 8 data bits, no parity, 1 stop bit, raw binary, no flow control in
// either direction, receiver on; every other field stays as the port reported it.
void ApplyLineSettings(termios& t) {
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP | PARMRK |
                                        IGNPAR | IGNBRK | BRKINT | ICRNL | INLCR | IGNCR);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN);
    // Reads never block in the kernel: poll() times them.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

int MillisecondsUntil(Clock::time_point when) {
    const auto left = std::chrono::duration_cast<milliseconds>(when - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until `deadline` without reading, in slices with the hook between them,
// unless the hook gives the read up.
void WaitOut(Clock::time_point deadline, const ReadWaitHook& wait) {
    while (true) {
        std::this_thread::sleep_until(
            std::min(deadline, Clock::now() + milliseconds(kWaitSliceMs)));
        if (Clock::now() >= deadline || !wait()) return;
    }
}

}  // namespace

PosixSerialPort::~PosixSerialPort() { Close(); }

bool PosixSerialPort::Open(const std::string& device) {
    Close();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // TIOCEXCL keeps other programs out, except those running as root; the advisory
    // lock keeps out every program that asks for it as well (another Ticklog).
    termios t{};
    const bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ioctl(fd, TIOCEXCL) == 0 &&
                    ::tcgetattr(fd, &t) == 0 && (ApplyLineSettings(t), true) &&
                    ::tcsetattr(fd, TCSANOW, &t) == 0;
    if (!ok) {
        // A handle whose configuration failed is never read from.
        ::close(fd);
        return false;
    }
    // DTR and RTS held off; a pseudo-terminal has no modem lines, so the result is
    // not examined.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIC, &lines);
    fd_ = fd;
    return true;
}

bool PosixSerialPort::Close() {
    if (fd_ < 0) return false;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}

std::size_t PosixSerialPort::ReadBurst(std::span<unsigned char, kBurstBytes> buffer,
                                      const ReadWaitHook& wait) {
    const auto start = Clock::now();
    const auto deadline = start + kTotalTimeout;
    if (fd_ < 0) {
        WaitOut(deadline, wait);
        return 0;
    }
    // Whatever the instrument sent since the previous read is stale.
    ::tcflush(fd_, TCIOFLUSH);

    std::size_t got = 0;
    auto last_byte = start;
    while (got < buffer.size()) {
        const int total_left = MillisecondsUntil(deadline);
        // Before the first byte the wait goes in slices; once bytes flow, the burst
        // ends 50 ms after the last one, which keeps the window waiting no longer.
        const int timeout =
            got == 0 ? std::min(total_left, kWaitSliceMs)
                     : std::min(total_left, MillisecondsUntil(last_byte + kByteInterval));
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeout);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            if (got == 0 && timeout < total_left) {
                // A slice of a silent wait: the window works, unless the read is given
                // up (the port may have been closed meanwhile, so nothing more of it).
                if (!wait()) return 0;
                continue;
            }
            break;  // the interval after the last byte, or the total, ran out
        }
        ssize_t n = -1;
        if (p.revents & POLLIN) {
            n = ::read(fd_, buffer.data() + got, buffer.size() - got);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        }
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            last_byte = Clock::now();
            continue;
        }
        // Hang-up or read error: the line is dead. Deliver what came; with nothing,
        // wait out the time-out like a silent line so that the caller does not spin.
        if (got == 0) WaitOut(deadline, wait);
        break;
    }
    return got;
}

}  // namespace ticklog
