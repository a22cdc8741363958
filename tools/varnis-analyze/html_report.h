// The report page: one self-contained XHTML file (inline SVG, no script, no external
// resource) with the summary, the records over time, the sigma-tau and time-error
// plots, the spectrum and the tables.
#pragma once
#include <string>

#include "analysis.h"

namespace analyze {

// refresh_seconds > 0: the page reloads itself that often (while the file is followed).
std::string html_report(const Analysis &analysis, const std::string &data_path, double refresh_seconds);

}  // namespace analyze
