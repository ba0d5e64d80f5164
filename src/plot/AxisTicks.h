#pragma once
// Where an axis puts its ticks and how it writes their labels: round steps (1, 2 or 5 times
// a power of ten) anchored at zero, so a range of -3.7 .. 96.2 reads 0, 20, 40 … rather
// than its own ends.

#include <string>
#include <vector>

namespace zenta::plot {

struct AxisTick {
    double value;
    std::string label;
};

// At most about `count` ticks inside [lo, hi] (none when the range is empty or not finite).
// `wholeSteps`: steps below 1 are not used (sample numbers).
std::vector<AxisTick> RoundTicks(double lo, double hi, int count, bool wholeSteps = false);

// The step RoundTicks uses (0 when the range is empty or not finite).
double RoundStep(double lo, double hi, int count, bool wholeSteps = false);

}  // namespace zenta::plot
