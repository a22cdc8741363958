#include "dynamic.h"

#include <algorithm>
#include <cmath>

#include "varnisx.h"

namespace analyze {

namespace {
void quiet(int, const char *) {}
}  // namespace

DynamicAllan dynamic_allan(const std::vector<double> &phase, double tau0, const int *stop) {
    DynamicAllan d;
    const int n = static_cast<int>(phase[0]);
    d.window = std::max(n / 10, std::min(n, kDynamicShortestWindow));
    if (n - d.window < 1 || d.window < 3) return {};
    d.step = std::max(1, (n - d.window) / (kDynamicWindows - 1));
    for (int m = 1; 2 * m < d.window; m *= 2) d.factors.push_back(m);
    const int windows = (n - d.window) / d.step + 1;
    const int count = static_cast<int>(d.factors.size());
    d.deviations.assign(static_cast<std::size_t>(windows) * d.factors.size(), NAN);
    if (CalcDynamicAllanDev(phase.data(), tau0, d.window, d.step, d.factors.data(), count, d.deviations.data(),
                            nullptr, windows, stop, 0, quiet) != windows)
        return {};
    for (int w = 0; w < windows; ++w) d.times.push_back((w * d.step + (d.window - 1) / 2.0) * tau0);
    return d;
}

}  // namespace analyze
