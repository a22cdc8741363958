// Runs build/bin/instrument-sim as the far end of a pseudo-terminal for a test.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace ticklog::testing {

class InstrumentSim {
public:
    explicit InstrumentSim(std::vector<std::string> options) {
        std::vector<std::string> args{std::string(TICKLOG_BIN_DIR) + "/instrument-sim"};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
        ::close(out[0]);
    }
    ~InstrumentSim() { Stop(); }
    InstrumentSim(const InstrumentSim&) = delete;
    InstrumentSim& operator=(const InstrumentSim&) = delete;

    const std::string& device() const { return device_; }

    // Whether the simulator is still running (and so still sending every period).
    bool Running() {
        if (pid_ <= 0) return false;
        if (::waitpid(pid_, nullptr, WNOHANG) == 0) return true;
        pid_ = -1;
        return false;
    }

    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::string device_;
};

}  // namespace ticklog::testing
