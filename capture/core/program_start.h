// Starts another program directly (no shell), detached; the capture program
// neither waits for it nor looks at its result.
#pragma once

#include <string>
#include <vector>

namespace ticklog {

class ProgramStart {
public:
    virtual ~ProgramStart() = default;

    // arguments[0] is the program; true when it was started.
    virtual bool Start(const std::vector<std::string>& arguments) = 0;
};

}  // namespace ticklog
