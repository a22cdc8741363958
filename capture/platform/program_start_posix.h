// Starts a program directly with execvp (no shell), detached from the capture
// program: it is not a child that has to be waited for.
#pragma once

#include "core/program_start.h"

namespace ticklog {

class PosixProgramStart final : public ProgramStart {
public:
    bool Start(const std::vector<std::string>& arguments) override;
};

}  // namespace ticklog
