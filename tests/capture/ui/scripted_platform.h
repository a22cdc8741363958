// Platform stand-ins shared by the window tests: COM1 opens but stays silent, no data
// file opens (or one in memory does), any folder is usable, settings live in memory,
// no program starts and there is no shared memory.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_file.h"
#include "core/profile.h"
#include "core/program_start.h"
#include "core/serial_port.h"
#include "core/shared_memory.h"

namespace ticklog {

// COM1 opens; no instrument sends.
class SilentPort : public SerialPort {
public:
    bool Open(const std::string& device) override { return device == "/dev/ttyS0"; }
    bool Close() override { return true; }
    std::size_t ReadBurst(std::span<unsigned char, kBurstBytes>, const ReadWaitHook&) override {
        return 0;
    }
};

class NoFile : public DataFile {
public:
    bool CreateNew(const std::string&) override { return false; }
    bool Overwrite(const std::string&) override { return false; }
    bool Append(const std::string&) override { return false; }
    bool IsOpen() const override { return false; }
    bool Write(std::string_view) override { return false; }
    void Release() override {}
};

// Every open succeeds; the records are kept in `text`.
class MemoryFile : public DataFile {
public:
    std::string text;
    bool open = false;
    bool CreateNew(const std::string&) override { return open = true; }
    bool Overwrite(const std::string&) override {
        text.clear();
        return open = true;
    }
    bool Append(const std::string&) override { return open = true; }
    bool IsOpen() const override { return open; }
    bool Write(std::string_view record) override {
        if (open) text += record;
        return open;
    }
    void Release() override { open = false; }
};

class AnyFolder : public Folders {
public:
    bool IsUsable(const std::string&) override { return true; }
    bool CreateAll(const std::string&) override { return true; }
};

class MemoryProfile : public Profile {
public:
    std::map<std::string, std::string> values;
    std::string ReadString(const std::string&, const std::string& key,
                           const std::string& fallback) override {
        auto it = values.find(key);
        return it == values.end() ? fallback : it->second;
    }
    bool WriteString(const std::string&, const std::string& key,
                     const std::string& value) override {
        values[key] = value;
        return true;
    }
};

class NoStart : public ProgramStart {
public:
    bool Start(const std::vector<std::string>&) override { return false; }
};

class NoMemory : public SharedMemory {
public:
    bool WriteToExisting(const std::string&, std::string_view) override { return false; }
};

}  // namespace ticklog
