#include "profile_text.h"

#include <vector>

namespace ticklog {
namespace {

struct Line {
    std::string_view body;  // without its line end
    std::string_view end;   // "\r\n", "\n" or empty (last line without one)
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view whole = nl == std::string_view::npos ? text : text.substr(0, nl + 1);
        text.remove_prefix(whole.size());
        std::size_t body = whole.size();
        if (body > 0 && whole[body - 1] == '\n') --body;
        if (body > 0 && whole[body - 1] == '\r') --body;
        lines.push_back({whole.substr(0, body), whole.substr(body)});
    }
    return lines;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// The name of a section header line, or nothing.
std::optional<std::string_view> SectionName(std::string_view body) {
    const std::string_view t = Trim(body);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const std::size_t close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

bool IsComment(std::string_view body) {
    const std::string_view t = Trim(body);
    return !t.empty() && (t.front() == ';' || t.front() == '#');
}

// Position of '=' in a key line whose key is `key`, or npos.
std::size_t KeyLineEquals(std::string_view body, std::string_view key) {
    if (IsComment(body)) return std::string_view::npos;
    const std::size_t eq = body.find('=');
    if (eq == std::string_view::npos || !SameName(Trim(body.substr(0, eq)), key))
        return std::string_view::npos;
    return eq;
}

// Indexes [first, end) of the lines inside the first section named `section`
// (first is the header's index + 1); nothing when there is no such section.
std::optional<std::pair<std::size_t, std::size_t>> FindSection(const std::vector<Line>& lines,
                                                               std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i].body);
        if (!name || !SameName(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end].body)) ++end;
        return std::make_pair(i + 1, end);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    const std::vector<Line> lines = SplitLines(text);
    const auto range = FindSection(lines, section);
    if (!range) return std::nullopt;
    for (std::size_t i = range->first; i < range->second; ++i) {
        const std::size_t eq = KeyLineEquals(lines[i].body, key);
        if (eq == std::string_view::npos) continue;
        std::string_view value = Trim(lines[i].body.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

std::optional<std::string> SetProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos ||
        key.find_first_of("\r\n=") != std::string_view::npos ||
        section.find_first_of("\r\n]") != std::string_view::npos)
        return std::nullopt;

    std::vector<Line> lines = SplitLines(text);
    const std::string_view eol = !lines.empty() && lines[0].end == "\r\n" ? "\r\n" : "\n";
    // A last line without a line end gets one, so that added lines start fresh.
    if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;

    std::string replaced;  // storage for a rewritten line
    const std::string added = std::string(key) + "=" + std::string(value);
    bool found = false;
    std::optional<std::size_t> insert_at;
    const auto range = FindSection(lines, section);
    if (range) {
        for (std::size_t i = range->first; i < range->second; ++i) {
            const std::size_t eq = KeyLineEquals(lines[i].body, key);
            if (eq == std::string_view::npos) continue;
            replaced = std::string(lines[i].body.substr(0, eq + 1)) + std::string(value);
            lines[i].body = replaced;
            found = true;
            break;
        }
        if (!found) {
            // After the section's last line that is not blank.
            std::size_t last = range->first;
            for (std::size_t i = range->first; i < range->second; ++i)
                if (!Trim(lines[i].body).empty()) last = i + 1;
            insert_at = last;
        }
    }

    std::string out;
    for (std::size_t i = 0; i <= lines.size(); ++i) {
        if (insert_at && *insert_at == i) out.append(added).append(eol);
        if (i == lines.size()) break;
        out.append(lines[i].body).append(lines[i].end);
    }
    if (!range) {
        out.append("[").append(section).append("]").append(eol);
        out.append(added).append(eol);
    }
    return out;
}

}  // namespace ticklog
