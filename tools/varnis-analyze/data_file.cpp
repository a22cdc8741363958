#include "data_file.h"

#include <fstream>
#include <sstream>
#include <string_view>

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
}  // namespace

DataFile parse_data_text(const std::string &text, const std::string &name) {
    DataFile file;
    std::string_view rest(text);
    long long line_number = 0;
    while (!rest.empty()) {
        ++line_number;
        auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        line = trimmed(line);
        if (line.empty() || line.front() == '#') continue;
        auto value = parse_double(line);
        if (!value) {
            file.samples.clear();
            file.error = name + ": line " + integer_text(line_number) + ": not a number: \"" +
                         shortened(line) + "\"";
            return file;
        }
        file.samples.push_back(*value);
    }
    if (file.samples.empty()) file.error = name + ": no values in the file";
    return file;
}

DataFile read_data_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return DataFile{{}, path + ": cannot open the file"};
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return DataFile{{}, path + ": read error"};
    return parse_data_text(content.str(), path);
}

}  // namespace analyze
