#include "ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>

#include "core/profile_text.h"
#include "data_file_posix.h"

namespace ticklog {
namespace {

// The whole file, empty text when it is missing; nothing when it cannot be read.
std::optional<std::string> ReadWhole(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& fallback) {
    const auto text = ReadWhole(PosixPath(path_));
    if (!text) return fallback;
    return FindProfileValue(*text, section, key).value_or(fallback);
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    const std::string path = PosixPath(path_);
    const auto old_text = ReadWhole(path);
    if (!old_text) return false;  // never replace a file that could not be read
    const auto new_text = SetProfileValue(*old_text, section, key, value);
    if (!new_text) return false;

    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    const bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, *new_text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace ticklog
