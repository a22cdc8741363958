#include "svg_plot.h"

#include "plots.h"

namespace analyze {

std::string svg_plot(const Analysis &analysis, const std::string &title) {
    Chart chart = sigma_tau_chart(analysis, title);
    chart.width = 800;
    chart.height = 560;
    return svg_chart(chart, true);
}

}  // namespace analyze
