// The rules of a sectioned key=value settings text, apart from any file: finding a
// value and setting one while every other line, comment and section is kept.
// Sections and keys match without regard to case; the first match wins.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ticklog {

// The value of `key` in the first section named `section`, with surrounding blanks
// and one pair of enclosing double quotes removed; nothing when missing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// `text` with the key's value replaced in place (its line keeps the key's spelling),
// or with "key=value" added after the last line of the section, or with the section
// added at the end. Line ends follow the text's own (CR LF when its first line has
// one). Nothing when `value` holds a line end, which would break the file's lines.
std::optional<std::string> SetProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value);

}  // namespace ticklog
