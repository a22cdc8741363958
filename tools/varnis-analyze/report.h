// The analysis as a text table (standard output) and as CSV.
#pragma once
#include <string>

#include "analysis.h"

namespace analyze {

std::string table_text(const Analysis &analysis, const std::string &data_path);
// One line per statistic and averaging factor; numbers in their shortest exact form.
std::string csv_text(const Analysis &analysis);

}  // namespace analyze
