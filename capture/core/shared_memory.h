// Named shared memory that another process may have created.
#pragma once

#include <string>
#include <string_view>

namespace ticklog {

class SharedMemory {
public:
    virtual ~SharedMemory() = default;

    // Opens the existing block `name` and copies `text` with its terminating zero
    // byte to its start (cut to the block's size). The block stays mapped while this
    // object lives. False when no such block exists.
    virtual bool WriteToExisting(const std::string& name, std::string_view text) = 0;
};

}  // namespace ticklog
