#include "shared_memory_posix.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace ticklog {

PosixSharedMemory::~PosixSharedMemory() { Release(); }

void PosixSharedMemory::Release() {
    if (view_ != nullptr) ::munmap(view_, size_);
    if (fd_ >= 0) ::close(fd_);
    view_ = nullptr;
    size_ = 0;
    fd_ = -1;
}

bool PosixSharedMemory::WriteToExisting(const std::string& name, std::string_view text) {
    Release();
    fd_ = ::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && st.st_size > 0) {
        void* view = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ | PROT_WRITE,
                            MAP_SHARED, fd_, 0);
        if (view != MAP_FAILED) {
            view_ = view;
            size_ = static_cast<std::size_t>(st.st_size);
            // The text and its terminating zero, cut to the block: writing past the
            // block's end would fault.
            const std::size_t n = std::min(size_, text.size() + 1);
            std::memcpy(view_, text.data(), std::min(n, text.size()));
            if (n > text.size()) static_cast<char*>(view_)[text.size()] = '\0';
        }
    }
    return true;
}

}  // namespace ticklog
