// Writing an output file whole: a reader never sees it half written.
#pragma once
#include <string>

namespace analyze {

// Writes `content` to a temporary file beside `path` and renames it over `path`.
// Returns an error text naming the file, or an empty text.
std::string write_file_atomically(const std::string &path, const std::string &content);

}  // namespace analyze
