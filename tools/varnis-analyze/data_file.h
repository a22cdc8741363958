// Reading a data file: one value per line (phase in seconds or fractional frequency),
// as the capture program writes it ("1.234500000000000e-01" and CR LF).
#pragma once
#include <string>
#include <vector>

namespace analyze {

struct DataFile {
    std::vector<double> samples;
    std::string error;  // empty when the whole file was read
};

// Blank lines and lines starting with '#' are skipped; anything else that is not one
// finite number is an error naming the file and the line number.
DataFile parse_data_text(const std::string &text, const std::string &name);
DataFile read_data_file(const std::string &path);

}  // namespace analyze
