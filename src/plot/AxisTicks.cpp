#include "plot/AxisTicks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zenta::plot {
namespace {

// Labels carry just the digits the step needs: with a step of 0.05 every label has two
// decimals, so 0.1 is "0.10" beside "0.15". Very large or very small values go to
// exponent form.
std::string Label(double v, double step, double largest) {
    char buf[48];
    if (largest >= 1e7 || step < 1e-5) {
        // Enough significant digits to tell neighbours apart.
        const int digits =
            std::clamp(static_cast<int>(std::ceil(std::log10(largest / step))) + 1, 1, 15);
        std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    } else {
        const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
        std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    }
    std::string s = buf;
    if (s.find_first_not_of("-0.") == std::string::npos) {
        return "0";  // no "-0" or "-0.00"
    }
    return s;
}

}  // namespace

double RoundStep(double lo, double hi, int count, bool wholeSteps) {
    const double span = hi - lo;
    if (!(span > 0) || !std::isfinite(span) || !std::isfinite(lo) || count < 1) {
        return 0;
    }
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power * 10;
    for (double m : {1.0, 2.0, 5.0}) {
        if (raw <= m * power * (1 + 1e-9)) {
            step = m * power;
            break;
        }
    }
    return wholeSteps ? std::max(step, 1.0) : step;
}

std::vector<AxisTick> RoundTicks(double lo, double hi, int count, bool wholeSteps) {
    std::vector<AxisTick> ticks;
    const double step = RoundStep(lo, hi, count, wholeSteps);
    if (step <= 0) {
        return ticks;
    }
    const double largest = std::max(std::abs(lo), std::abs(hi));
    // Ticks as whole multiples of the step: no error builds up from tick to tick.
    const double first = std::ceil(lo / step - 1e-9);
    const double last = std::floor(hi / step + 1e-9);
    for (double k = first; k <= last && ticks.size() < 1000; ++k) {
        const double v = k * step;
        ticks.push_back({v, Label(v, step, largest)});
    }
    return ticks;
}

}  // namespace zenta::plot
