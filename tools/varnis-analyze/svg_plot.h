// The sigma-tau plot as SVG: log-log axes, one series per frequency-stability
// deviation, error bars from the confidence intervals.
#pragma once
#include <string>

#include "analysis.h"

namespace analyze {

std::string svg_plot(const Analysis &analysis, const std::string &title);
// Text with the XML special characters replaced by entities.
std::string xml_escaped(const std::string &text);

}  // namespace analyze
