// The dynamic Allan deviation of an analysis: the overlapping Allan deviation in a
// window that slides along the residual phase (VarnisX CalcDynamicAllanDev), which shows
// when a clock's noise changes.
#pragma once
#include <vector>

namespace analyze {

struct DynamicAllan {
    int window = 0;             // samples per window
    int step = 0;               // samples between window starts
    std::vector<int> factors;   // octave averaging factors, 2 m < window
    std::vector<double> times;  // the middle of each window, seconds from the first sample
    // deviations[w * factors.size() + f]: window w at factor f; NaN where it has no term.
    std::vector<double> deviations;
};

// About kDynamicWindows windows of a tenth of the record each (at least
// kDynamicShortestWindow samples, or the whole record); no window when the record
// leaves fewer than two. Costs about one pass over the record per factor.
constexpr int kDynamicWindows = 100;
constexpr int kDynamicShortestWindow = 64;
DynamicAllan dynamic_allan(const std::vector<double> &phase, double tau0, const int *stop);

}  // namespace analyze
