// The sigma-tau plot as an SVG file of its own.
#pragma once
#include <string>

#include "analysis.h"

namespace analyze {

std::string svg_plot(const Analysis &analysis, const std::string &title);

}  // namespace analyze
