// instrument-sim: a simulated instrument on a pseudo-terminal. It prints the device
// path of the terminal's far end on the first line of its output, then sends one
// reading per period as a burst of text: a number of cycles followed by CR LF.
// Options inject the faults a real line shows: bursts that are no numbers, bursts
// longer than a reader's buffer, silence, a hang-up. With --log it keeps a record of
// what it sent, so that a test can compare a capture with the readings on the line.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "oscillator.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    double period = 1.0;        // seconds between bursts
    int pause_ms = -1;          // >= 0: each burst is sent in two parts with this pause
    bool counting = false;      // send 1, 2, 3, ... instead of the oscillator's cycles
    long garbage_every = 0;     // every n-th burst is no number (text and binary in turn)
    long long_every = 0;        // every n-th burst is longer than 128 bytes
    long silence_after = 0;     // after n bursts, send nothing more
    long hangup_after = 0;      // after n bursts, hang up and end
    std::string link;           // a symbolic link made to the device
    std::string log;            // a file that gets one line per burst sent
    std::uint64_t seed = 1;
    instrument_sim::OscillatorModel model;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: instrument-sim [options]\n"
                 "  --period S          seconds between readings (default 1)\n"
                 "  --pause-ms MS       send each burst in two parts, MS apart\n"
                 "  --counting          send 1, 2, 3, ... instead of oscillator readings\n"
                 "  --garbage-every N   every N-th burst is no number\n"
                 "  --long-every N      every N-th burst is longer than 128 bytes\n"
                 "  --silence-after N   go silent after N bursts\n"
                 "  --hangup-after N    hang up after N bursts\n"
                 "  --link PATH         make PATH a symbolic link to the device\n"
                 "  --log FILE          write one line per burst sent to FILE, after it went out:\n"
                 "                      the number it carries, or \"garbage\" for one that is none\n"
                 "  --seed N            noise seed (default 1)\n"
                 "  --nominal HZ        oscillator frequency (default 1e7)\n"
                 "  --offset Y          fractional frequency offset (default 1e-9)\n"
                 "  --drift D           fractional frequency drift per day (default 1e-11)\n"
                 "  --white-pm S        white phase noise, seconds rms (default 2e-11)\n"
                 "  --flicker-pm S      flicker phase noise, seconds rms (default 1e-11)\n");
}

bool ParseDouble(const char* text, double& out) {
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, out);
    return r.ec == std::errc() && r.ptr == end;
}

bool ParseLong(const char* text, long& out) {
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, out);
    return r.ec == std::errc() && r.ptr == end && out >= 0;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        bool ok = true;
        if (a == "--counting") {
            o.counting = true;
            continue;
        }
        if (v == nullptr) return false;
        ++i;
        if (a == "--period") ok = ParseDouble(v, o.period) && o.period > 0;
        else if (a == "--pause-ms") ok = ParseLong(v, n) && (o.pause_ms = static_cast<int>(n), true);
        else if (a == "--garbage-every") ok = ParseLong(v, o.garbage_every);
        else if (a == "--long-every") ok = ParseLong(v, o.long_every);
        else if (a == "--silence-after") ok = ParseLong(v, o.silence_after);
        else if (a == "--hangup-after") ok = ParseLong(v, o.hangup_after);
        else if (a == "--link") o.link = v;
        else if (a == "--log") o.log = v;
        else if (a == "--seed") ok = ParseLong(v, n) && (o.seed = static_cast<std::uint64_t>(n), true);
        else if (a == "--nominal") ok = ParseDouble(v, o.model.nominal_hz);
        else if (a == "--offset") ok = ParseDouble(v, o.model.frequency_offset);
        else if (a == "--drift") ok = ParseDouble(v, o.model.drift_per_day);
        else if (a == "--white-pm") ok = ParseDouble(v, o.model.white_pm);
        else if (a == "--flicker-pm") ok = ParseDouble(v, o.model.flicker_pm);
        else return false;
        if (!ok) return false;
    }
    return true;
}

std::string NumberText(double value, int decimals) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                 decimals);
    return std::string(buffer, r.ptr);
}

// The number that reading `n` (1-based) carries.
std::string ReadingText(const Options& o, long n, double cycles) {
    return o.counting ? std::to_string(n) : NumberText(cycles, 6);
}

bool IsGarbage(const Options& o, long n) {
    return o.garbage_every > 0 && n % o.garbage_every == 0;
}

// The burst for reading `n`.
std::string MakeBurst(const Options& o, long n, const std::string& number) {
    if (IsGarbage(o, n)) {
        if ((n / o.garbage_every) % 2 == 1) return "OVLD\r\n";
        return std::string("\xff\x00\x1b\x80\x7f", 5) + "\r\n";
    }
    if (o.long_every > 0 && n % o.long_every == 0) {
        std::string burst;
        while (burst.size() <= 200) burst += number + "\r\n";
        return burst;
    }
    return number + "\r\n";
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t w = ::write(fd, bytes.data(), bytes.size());
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(w));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        Usage();
        return 2;
    }
    std::FILE* log = nullptr;
    if (!o.log.empty() && (log = std::fopen(o.log.c_str(), "w")) == nullptr) {
        std::perror("instrument-sim: log");
        return 1;
    }

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("instrument-sim: pseudo-terminal");
        return 1;
    }
    const char* device = ::ptsname(master);
    if (device == nullptr) {
        std::perror("instrument-sim: ptsname");
        return 1;
    }
    // Raw line, so that CR LF reaches the reader as sent even before it sets the
    // line up itself.
    termios t{};
    if (::tcgetattr(master, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(master, TCSANOW, &t);
    }
    if (!o.link.empty()) {
        ::unlink(o.link.c_str());
        if (::symlink(device, o.link.c_str()) != 0) {
            std::perror("instrument-sim: link");
            return 1;
        }
    }
    std::printf("%s\n", device);
    std::fflush(stdout);

    instrument_sim::Oscillator oscillator(o.model, o.seed);
    const auto start = Clock::now();
    const auto period = std::chrono::duration<double>(o.period);
    for (long n = 1;; ++n) {
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Clock::duration>(period * static_cast<double>(n)));
        if (o.silence_after > 0 && n > o.silence_after) continue;
        if (o.hangup_after > 0 && n > o.hangup_after) break;
        const std::string number = ReadingText(o, n, oscillator.CyclesAt(o.period * n));
        const std::string burst = MakeBurst(o, n, number);
        bool ok;
        if (o.pause_ms >= 0) {
            const std::size_t half = burst.size() / 2;
            ok = WriteAll(master, std::string_view(burst).substr(0, half));
            std::this_thread::sleep_for(std::chrono::milliseconds(o.pause_ms));
            ok = ok && WriteAll(master, std::string_view(burst).substr(half));
        } else {
            ok = WriteAll(master, burst);
        }
        if (!ok) break;
        // Flushed line by line: a reader follows the log while the readings go on.
        if (log != nullptr) {
            std::fprintf(log, "%s\n", IsGarbage(o, n) ? "garbage" : number.c_str());
            std::fflush(log);
        }
    }
    if (log != nullptr) std::fclose(log);
    ::close(master);
    if (!o.link.empty()) ::unlink(o.link.c_str());
    return 0;
}
