#include "program_folder_posix.h"

#include <limits.h>
#include <unistd.h>

#include "core/settings.h"

namespace ticklog {

std::string RunningProgramFolder(std::string_view argv0) {
    std::string path(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n > 0 && static_cast<std::size_t>(n) < path.size()) {
        path.resize(static_cast<std::size_t>(n));
        return ProgramFolder(path);
    }
    path = argv0;
    if (path.empty() || path[0] != '/') {
        char working[PATH_MAX];
        if (::getcwd(working, sizeof working) != nullptr) path = std::string(working) + "/" + path;
    }
    return ProgramFolder(path);
}

}  // namespace ticklog
