// Numbers as text, independent of the process locale.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace analyze {

// Shortest text that reads back to exactly the same double.
std::string exact_text(double value);
// Scientific notation with `digits` digits after the point, e.g. 1.234e-05.
std::string scientific_text(double value, int digits);
// Fixed notation with `digits` digits after the point.
std::string fixed_text(double value, int digits);
std::string integer_text(long long value);
// The whole text as a finite double (one leading '+' allowed), or nothing.
std::optional<double> parse_double(std::string_view text);
// The whole text as an int, or nothing.
std::optional<int> parse_int(std::string_view text);

}  // namespace analyze
