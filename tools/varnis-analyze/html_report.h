// The report page: one self-contained XHTML file (inline SVG, no script, no external
// resource) with the summary, the records over time, the sigma-tau plot, the dynamic
// Allan deviation as a heat map, the time-error plot, the spectrum and the tables.
#pragma once
#include <string>
#include <vector>

#include "analysis.h"
#include "svg_chart.h"

namespace analyze {

// refresh_seconds > 0: the page reloads itself that often (while the file is followed).
std::string html_report(const Analysis &analysis, const std::string &data_path, double refresh_seconds);

// The pieces of a report page, for pages of other analyses (the three-cornered hat).
struct PageSection {
    std::string id;       // the anchor of its heading
    std::string heading;  // text
    std::string body;     // XHTML
};
// A whole page: title, a navigation line and the sections in order.
std::string html_page(const std::string &title, const std::vector<PageSection> &sections, double refresh_seconds);
// A number in scientific notation with a superscript exponent: 1.234×10⁻⁹.
std::string scientific_html(double value, int digits);
// A row of a summary table: a name (text) and its value (XHTML).
std::string row_of(const std::string &name, const std::string &value_html);
// A chart as an inline figure.
std::string figure(const Chart &chart);

}  // namespace analyze
