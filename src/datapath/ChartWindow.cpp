#include "datapath/ChartWindow.h"

#include <algorithm>

namespace zenta {

std::int64_t ChartBytes(std::int64_t rxCount, std::size_t rawSize) {
    return std::max<std::int64_t>(0, std::min(rxCount, static_cast<std::int64_t>(rawSize)));
}

ChartSpan ComputeChartSpan(std::int64_t n, bool realTime, std::int64_t& page) {
    ChartSpan s;
    if (realTime) {
        s.start = n <= kChartPoints ? 0 : n - kChartPoints;
        s.end = n;
        return s;
    }
    if (n <= kChartPoints) {
        page = 0;
        s.end = n;
        return s;
    }
    if (page < 0 || kChartPoints * page >= n) {
        page = (n - 1) / kChartPoints;
    }
    s.start = kChartPoints * page;
    s.end = std::min(s.start + kChartPoints, n);
    return s;
}

std::string ChartCaption(const ChartSpan& span) {
    return std::to_string(span.start) + " - " + std::to_string(span.end);
}

std::vector<int> ChartValues(std::string_view raw, const ChartSpan& span, bool isSigned) {
    std::vector<int> v;
    const auto size = static_cast<std::int64_t>(raw.size());
    const std::int64_t begin = std::clamp<std::int64_t>(span.start, 0, size);
    const std::int64_t end = std::clamp<std::int64_t>(span.end, begin, size);
    v.reserve(static_cast<std::size_t>(end - begin));
    for (std::int64_t i = begin; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(raw[static_cast<std::size_t>(i)]);
        v.push_back(isSigned ? static_cast<int>(static_cast<signed char>(byte)) : byte);
    }
    return v;
}

std::int64_t PreviousChartPage(std::int64_t page) {
    return page > 0 ? page - 1 : 0;
}

std::int64_t NextChartPage(std::int64_t page, std::int64_t n) {
    return kChartPoints * (page + 1) < n ? page + 1 : page;
}

ChartRange ChartValueRange(const std::vector<int>& values, bool isSigned) {
    if (values.empty()) {
        return isSigned ? ChartRange{-128, 127} : ChartRange{0, 255};
    }
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    ChartRange r{*lo, *hi};
    if (r.low == r.high) {
        --r.low;
        ++r.high;
    }
    return r;
}

}  // namespace zenta
