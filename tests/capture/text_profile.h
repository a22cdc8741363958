// A settings file held in memory, with a log of the keys written in order.
#pragma once

#include <string>
#include <vector>

#include "core/profile.h"
#include "core/profile_text.h"

namespace ticklog::testing {

class TextProfile : public Profile {
public:
    explicit TextProfile(std::string initial = {}) : text(std::move(initial)) {}
    std::string text;
    std::vector<std::string> reads, writes;

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) override {
        reads.push_back(key);
        return FindProfileValue(text, section, key).value_or(fallback);
    }
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override {
        writes.push_back(key);
        const auto out = SetProfileValue(text, section, key, value);
        if (out) text = *out;
        return out.has_value();
    }
};

}  // namespace ticklog::testing
