#include "number_text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>

namespace ticklog {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipSpace(std::string_view text, std::size_t i) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    return i;
}

// Decimal magnitude of a digit string with an exponent, used only when the value
// overflows or underflows a double: positive means too large, otherwise too small.
long long DecimalMagnitude(std::string_view digits_and_point, long long exponent) {
    long long position = 0;  // digits before the point, counted from the first nonzero
    bool seen_point = false;
    bool seen_nonzero = false;
    for (char c : digits_and_point) {
        if (c == '.') {
            seen_point = true;
        } else if (!seen_nonzero && c == '0') {
            if (seen_point) --position;
        } else {
            seen_nonzero = true;
            if (!seen_point) ++position;
        }
    }
    return position + exponent;
}

}  // namespace

double ReadNumber(std::string_view text) {
    std::size_t i = SkipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t mantissa_start = i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    const std::size_t mantissa_end = i;

    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool exponent_negative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            exponent_negative = text[j] == '-';
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) {
                if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[j] - '0');
                ++j;
            }
            if (exponent_negative) exponent = -exponent;
            i = j;
        }
    }

    // from_chars takes no leading '+', so the sign is applied here.
    const std::string_view number = text.substr(mantissa_start, i - mantissa_start);
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        const std::string_view mantissa =
            text.substr(mantissa_start, mantissa_end - mantissa_start);
        value = DecimalMagnitude(mantissa, exponent) > 0 ? std::numeric_limits<double>::infinity()
                                                         : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

int ReadInteger(std::string_view text) {
    std::size_t i = SkipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    while (i < text.size() && IsDigit(text[i])) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) value = limit;
        ++i;
    }
    return static_cast<int>(negative ? -value : value);
}

void TrimExponent(std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if ((text[i] != 'e' && text[i] != 'E') || (text[i + 1] != '+' && text[i + 1] != '-'))
            continue;
        const std::size_t first = i + 2;
        std::size_t end = first;
        while (end < text.size() && IsDigit(text[end])) ++end;
        std::size_t zeros = 0;
        while (end - first - zeros > 2 && text[first + zeros] == '0') ++zeros;
        text.erase(first, zeros);
    }
}

std::string ScientificText(double value, int precision, bool always_sign, int width) {
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::scientific, precision);
    std::string text(buffer, result.ec == std::errc() ? result.ptr : buffer);
    if (always_sign && !text.empty() && text[0] != '-') text.insert(text.begin(), '+');
    TrimExponent(text);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

std::string IntegerText(int value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string FixedText(double value, int decimals) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "-";
    return std::string(buffer, result.ptr);
}

std::string ScaleFieldText(double scale) { return ScientificText(scale, 10, true, 17); }

std::string ScaleSettingText(double scale) { return ScientificText(scale, 6); }

}  // namespace ticklog
