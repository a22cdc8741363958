// The analysis as a text table (standard output) and as CSV.
#pragma once
#include <string>

#include "analysis.h"

namespace analyze {

std::string table_text(const Analysis &analysis, const std::string &data_path);
// One line per statistic and averaging factor; numbers in their shortest exact form.
std::string csv_text(const Analysis &analysis);

// Summary lines shared by the table and the report page.
std::string data_summary(const Analysis &analysis);          // "phase (s), 1000 values, tau0 = 1 s"
std::string noise_text(const Row &row);                       // "White PM", "Flicker FM (as at m = 64)", "-"
std::string interval_note(const Estimate &e, const Row &row); // why a value has no interval, or ""
std::string modified_total_limit_text(const Analysis &analysis);
std::string theoh_limit_text(const Analysis &analysis);
// The text right-aligned in a column of `width` characters.
std::string padded(std::string text, std::size_t width);

}  // namespace analyze
