#include "number_text.h"

#include <charconv>
#include <cmath>

namespace analyze {

namespace {
template <typename... Format>
std::string to_text(double value, Format... format) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
    return std::string(buffer, result.ptr);
}
}  // namespace

std::string exact_text(double value) { return to_text(value); }

std::string scientific_text(double value, int digits) {
    return to_text(value, std::chars_format::scientific, digits);
}

std::string fixed_text(double value, int digits) {
    return to_text(value, std::chars_format::fixed, digits);
}

std::string integer_text(long long value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::optional<double> parse_double(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0.0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> parse_int(std::string_view text) {
    int value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace analyze
