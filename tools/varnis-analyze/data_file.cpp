#include "data_file.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "number_text.h"

namespace analyze {

namespace {
std::string_view trimmed(std::string_view line) {
    const char *blanks = " \t\r\f\v";
    auto begin = line.find_first_not_of(blanks);
    if (begin == std::string_view::npos) return {};
    auto end = line.find_last_not_of(blanks);
    return line.substr(begin, end - begin + 1);
}

std::string shortened(std::string_view text) {
    constexpr std::size_t shown = 40;
    if (text.size() <= shown) return std::string(text);
    return std::string(text.substr(0, shown)) + "...";
}

// Above this magnitude the square of a value overflows, and so does every variance.
const double kLargestValue = std::sqrt(std::numeric_limits<double>::max());

// Parses the lines of `text` (each ended by '\n', or the last one by the text's end),
// numbering them from first_line + 1. Returns an error or an empty text.
std::string parse_lines(std::string_view text, const std::string &name, ZeroReading zeros, long long first_line,
                        std::vector<double> &samples) {
    long long line_number = first_line;
    const char *p = text.data(), *end = text.data() + text.size();
    while (p < end) {
        ++line_number;
        const char *line_end = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (line_end == nullptr) line_end = end;
        std::string_view line = trimmed(std::string_view(p, static_cast<std::size_t>(line_end - p)));
        p = line_end + 1;
        if (line.empty() || line.front() == '#') continue;
        std::string_view number = line.front() == '+' ? line.substr(1) : line;
        double value = 0.0;
        auto result = std::from_chars(number.data(), number.data() + number.size(), value);
        auto where = [&] { return name + ": line " + integer_text(line_number) + ": "; };
        if (number.empty() || result.ec == std::errc::invalid_argument || result.ptr != number.data() + number.size())
            return where() + "not a number: \"" + shortened(line) + "\"";
        if (std::isnan(value)) {
            samples.push_back(0.0);  // a reading that was no number: a gap
            continue;
        }
        if (std::isinf(value)) return where() + "not a finite number: \"" + shortened(line) + "\"";
        if (result.ec == std::errc::result_out_of_range && number.find_first_of("eE") != std::string_view::npos &&
            number.find("-", number.find_first_of("eE")) != std::string_view::npos)
            return where() + "the value " + shortened(line) + " is too small to be represented";
        if (result.ec == std::errc::result_out_of_range || !(std::fabs(value) <= kLargestValue))
            return where() + "the value " + shortened(line) + " is too large: its square overflows";
        if (value == 0.0 && zeros == ZeroReading::Value) value = kZeroValue;
        samples.push_back(value);
    }
    return {};
}

// Bytes from `offset` to the end of the file, or an error.
std::string read_from(const std::string &path, long long offset, std::string &content) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return path + ": cannot open the file";
    struct stat info {};
    std::string error;
    if (::fstat(fd, &info) == 0 && info.st_size > offset) content.reserve(static_cast<std::size_t>(info.st_size - offset));
    char buffer[1 << 16];
    for (long long at = offset;;) {
        ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got < 0) {
            error = path + ": read error";
            break;
        }
        if (got == 0) break;
        content.append(buffer, static_cast<std::size_t>(got));
        at += got;
    }
    ::close(fd);
    return error;
}
}  // namespace

DataFile parse_data_text(std::string_view text, const std::string &name, ZeroReading zeros) {
    DataFile file;
    file.samples.reserve(text.size() / 24 + 1);  // a capture record is 23 or 24 bytes
    file.error = parse_lines(text, name, zeros, 0, file.samples);
    if (!file.error.empty()) file.samples.clear();
    else if (file.samples.empty()) file.error = name + ": no values in the file";
    return file;
}

DataFile read_data_file(const std::string &path, ZeroReading zeros) {
    std::string content;
    std::string error = read_from(path, 0, content);
    if (!error.empty()) return DataFile{{}, error};
    return parse_data_text(content, path, zeros);
}

std::string GrowingDataFile::read_more(std::vector<double> &samples) {
    std::string content;
    std::string error = read_from(path_, offset_, content);
    if (!error.empty()) return error;
    std::size_t whole = content.rfind('\n');
    if (whole == std::string::npos) return {};
    std::string_view lines(content.data(), whole + 1);
    error = parse_lines(lines.substr(0, whole), path_, zeros_, lines_taken_, samples);
    if (!error.empty()) return error;
    offset_ += static_cast<long long>(whole + 1);
    for (char c : lines) lines_taken_ += c == '\n';
    return {};
}

}  // namespace analyze
