#include "data_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "number_text.h"
#include "task_pool.h"

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

// A long text is cut at line ends into pieces parsed on a pool of threads, each piece
// numbering its lines from the line ends before it.
DataFile parse_data_text(std::string_view text, const std::string &name, ZeroReading zeros) {
    constexpr std::size_t kPieceBytes = 1 << 20;
    const std::size_t pieces = std::clamp<std::size_t>(text.size() / kPieceBytes, 1, 8);
    std::vector<std::string_view> parts;
    std::vector<long long> first_lines;
    long long lines = 0;
    for (std::size_t i = 0, begin = 0; i < pieces; ++i) {
        std::size_t end = text.size();
        if (i + 1 < pieces) {
            end = text.find('\n', std::max(begin, text.size() * (i + 1) / pieces));
            end = end == std::string_view::npos ? text.size() : end + 1;
        }
        parts.push_back(text.substr(begin, end - begin));
        first_lines.push_back(lines);
        lines += std::count(parts.back().begin(), parts.back().end(), '\n');
        begin = end;
    }
    std::vector<std::vector<double>> values(parts.size());
    std::vector<std::string> errors(parts.size());
    const int never = 0;
    run_tasks(static_cast<int>(parts.size()), 0, [&](int i) {
        values[i].reserve(parts[i].size() / 24 + 1);  // a capture record is 23 or 24 bytes
        errors[i] = parse_lines(parts[i], name, zeros, first_lines[i], values[i]);
    }, &never);
    DataFile file;
    for (const std::string &error : errors)
        if (!error.empty()) return DataFile{{}, error};  // the first line refused
    file.samples = std::move(values.front());
    for (std::size_t i = 1; i < values.size(); ++i)
        file.samples.insert(file.samples.end(), values[i].begin(), values[i].end());
    if (file.samples.empty()) file.error = name + ": no values in the file";
    return file;
}

DataFile read_data_file(const std::string &path, ZeroReading zeros) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return DataFile{{}, path + ": cannot open the file"};
    struct stat info {};
    void *mapped = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        mapped = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    ::close(fd);
    if (mapped == MAP_FAILED) {  // empty, not a plain file, or not mappable: read it
        std::string content;
        std::string error = read_from(path, 0, content);
        if (!error.empty()) return DataFile{{}, error};
        return parse_data_text(content, path, zeros);
    }
    DataFile file =
        parse_data_text(std::string_view(static_cast<const char *>(mapped), static_cast<std::size_t>(info.st_size)), path, zeros);
    ::munmap(mapped, static_cast<std::size_t>(info.st_size));
    return file;
}

std::string GrowingDataFile::read_more(std::vector<double> &samples) {
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0 && info.st_size < offset_) {
        offset_ = 0;
        lines_taken_ = 0;
        samples.clear();
    }
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
