// The instrument's serial line: opened exclusively by device path, set to
// 9600 8N1 raw with no flow control, read one burst at a time. Never written.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>

namespace ticklog {

// One burst is read into a buffer of this many bytes.
inline constexpr std::size_t kBurstBytes = 128;

// Called by a read about every 50 ms while it waits for the first byte of its burst
// (and while a dead line waits out its time-out), so that the window keeps handling
// its events on its one thread. Returns false when the read is no longer wanted (the
// run was stopped): the read then ends at once with 0 bytes and does not touch the
// port again, so the hook may have closed or reopened it.
using ReadWaitHook = std::function<bool()>;

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device (exclusive use) and applies the line settings and time-outs.
    // True only when the open, reading the current settings and writing the new ones
    // all succeeded. A handle kept after a failed configuration is never read from.
    virtual bool Open(const std::string& device) = 0;

    // Releases the handle; false when there was none or the release failed.
    virtual bool Close() = 0;

    // Purges both directions, then reads one burst into `buffer`: the read ends
    // 50 ms after the last byte, when the buffer is full, or 2000 ms after it began.
    // Returns the number of bytes delivered; a failed read (device gone) returns 0
    // only after waiting out the 2000 ms, so a run loop never spins. `wait` runs
    // while no byte has come yet.
    virtual std::size_t ReadBurst(std::span<unsigned char, kBurstBytes> buffer,
                                  const ReadWaitHook& wait) = 0;
};

}  // namespace ticklog
