// A sectioned key=value settings file. Sections and keys match without regard to
// case, the first match wins, and anything missing gives the default.
#pragma once

#include <string>

namespace ticklog {

class Profile {
public:
    virtual ~Profile() = default;

    // The value of `key` in `section`, or `fallback` when the file, the section or
    // the key is missing.
    virtual std::string ReadString(const std::string& section, const std::string& key,
                                   const std::string& fallback) = 0;

    // Replaces the key's value in place or adds the key at the end of its section
    // (adding the section when missing); every other line is kept.
    virtual bool WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
};

}  // namespace ticklog
