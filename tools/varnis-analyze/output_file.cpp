#include "output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "number_text.h"

namespace analyze {

std::string write_file_atomically(const std::string &path, const std::string &content) {
    const std::string temporary = path + ".tmp" + integer_text(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return "cannot write " + path + ": " + std::strerror(errno);
    const char *p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t written = ::write(fd, p, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            std::string error = "cannot write " + path + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(temporary.c_str());
            return error;
        }
        p += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::string error = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return error;
    }
    return {};
}

}  // namespace analyze
