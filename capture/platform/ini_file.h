// The settings file on disk: read through on every look-up, and rewritten through a
// temporary file that replaces the old one, so a crash never leaves half a file.
#pragma once

#include "core/profile.h"

namespace ticklog {

class IniFile final : public Profile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) override;
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

private:
    std::string path_;
};

}  // namespace ticklog
