// MTIE for many window spans in one pass over the phase record, in double precision.
#pragma once
#include <vector>

namespace analyze {

// MTIE of the phase data vector (count, first, last, samples) for each span m in
// `spans` (ascending; a window of span m holds m + 1 samples), with the gap rule of
// the library's CalcMTIE: a 0.0 is a gap except at sample 1 and at the last sample,
// a window without a value counts as 0. Gives the same numbers as CalcMTIE for each
// span. A span that leaves no window gives 0. Stops early when *stop becomes nonzero;
// the values of the spans not reached are then left out (the result is shorter).
std::vector<double> mtie_for_spans(const std::vector<double> &phase, const std::vector<int> &spans, const int *stop);

}  // namespace analyze
