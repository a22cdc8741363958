// Named shared memory through shm_open.
#pragma once

#include <cstddef>

#include "core/shared_memory.h"

namespace ticklog {

class PosixSharedMemory final : public SharedMemory {
public:
    PosixSharedMemory() = default;
    PosixSharedMemory(const PosixSharedMemory&) = delete;
    PosixSharedMemory& operator=(const PosixSharedMemory&) = delete;
    ~PosixSharedMemory() override;

    bool WriteToExisting(const std::string& name, std::string_view text) override;

private:
    void Release();
    int fd_ = -1;
    void* view_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace ticklog
