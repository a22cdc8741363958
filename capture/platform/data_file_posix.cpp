#include "data_file_posix.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ticklog {

std::string PosixPath(const std::string& name) {
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

PosixDataFile::~PosixDataFile() { Release(); }

std::string PosixDataFile::FullPath(const std::string& name) const {
    const std::string path = PosixPath(name);
    char working[PATH_MAX];
    if (path.starts_with('/') || ::getcwd(working, sizeof working) == nullptr) return path;
    return std::string(working) + "/" + path;
}

bool PosixDataFile::OpenWith(const std::string& path, int flags) {
    Release();
    // Write only; other programs may read the file while it grows.
    fd_ = ::open(PosixPath(path).c_str(), O_WRONLY | O_CLOEXEC | flags, 0666);
    return fd_ >= 0;
}

bool PosixDataFile::CreateNew(const std::string& path) { return OpenWith(path, O_CREAT | O_EXCL); }

bool PosixDataFile::Overwrite(const std::string& path) {
    return OpenWith(path, O_CREAT | O_TRUNC);
}

bool PosixDataFile::Append(const std::string& path) {
    if (!OpenWith(path, 0)) return false;
    if (::lseek(fd_, 0, SEEK_END) < 0) {
        Release();
        return false;
    }
    return true;
}

bool PosixDataFile::Write(std::string_view record) {
    if (fd_ < 0) return false;
    // One write per record and no buffering here: a reader following the file sees
    // each record when its reading is shown.
    const off_t before = ::lseek(fd_, 0, SEEK_CUR);
    ssize_t n;
    do {
        n = ::write(fd_, record.data(), record.size());
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(record.size())) return true;
    // A full disk or a size limit can take part of a record. Cut it off again, so
    // that the file ends with a whole record and the next one starts on its own line.
    if (n > 0 && before >= 0 && ::ftruncate(fd_, before) == 0) (void)::lseek(fd_, before, SEEK_SET);
    return false;
}

void PosixDataFile::Release() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

bool PosixFolders::IsUsable(const std::string& folder) {
    const std::string path = PosixPath(folder);
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool PosixFolders::CreateAll(const std::string& folder) {
    const std::string path = PosixPath(folder);
    // Each level from the top down; a level that exists already is fine.
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        const std::string level = path.substr(0, i);
        if (::mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return IsUsable(folder);
}

}  // namespace ticklog
