// Reading a data file: one value per line (phase in seconds or fractional frequency),
// as the capture program writes it ("1.234500000000000e-01" and CR LF).
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace analyze {

// How a reading of exactly 0 is taken: as a gap (the capture program records a
// reading that was no number as 0) or as a value.
enum class ZeroReading { Gap, Value };

// The value a reading of 0 takes when it is a value: the library's zero marker,
// which it never takes for a gap and which vanishes against any real phase.
constexpr double kZeroValue = 1e-99;

struct DataFile {
    std::vector<double> samples;  // gaps as 0.0
    std::string error;            // empty when the whole file was read
};

// Blank lines and lines starting with '#' are skipped; "nan" is a gap. Anything else
// that is not one number whose square is finite is an error naming the file and the
// line number.
DataFile parse_data_text(std::string_view text, const std::string &name, ZeroReading zeros = ZeroReading::Gap);
DataFile read_data_file(const std::string &path, ZeroReading zeros = ZeroReading::Gap);

// A file read as it grows: each pass takes the whole lines appended since the last
// one; an unfinished last line waits for the next pass.
class GrowingDataFile {
public:
    GrowingDataFile(std::string path, ZeroReading zeros) : path_(std::move(path)), zeros_(zeros) {}
    // Adds the values of the lines appended since the last call to `samples`; a file
    // that became shorter (overwritten by a new run) is read again from its start,
    // `samples` emptied first. Returns an error naming the file and the line, or an
    // empty text.
    std::string read_more(std::vector<double> &samples);

private:
    std::string path_;
    ZeroReading zeros_;
    long long offset_ = 0;       // bytes taken so far: whole lines
    long long lines_taken_ = 0;  // lines taken so far
};

}  // namespace analyze
