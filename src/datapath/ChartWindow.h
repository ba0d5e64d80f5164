#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zenta {

// The chart plots this many received bytes at a time.
inline constexpr std::int64_t kChartPoints = 500;

// Bytes start+1 .. end of the received data (counted from 1).
struct ChartSpan {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t size() const { return end - start; }
};

// The received bytes a chart can plot: the count, but never more than the raw bytes
// held (a file preview replaces them, a trim shortens them).
std::int64_t ChartBytes(std::int64_t rxCount, std::size_t rawSize);

// The span to draw from `n` bytes. Real time: the newest kChartPoints. Otherwise the
// page `page`, which is reset to 0 while n <= kChartPoints and pulled back to the last
// page holding data when it points past the end (after a clear or a trim).
ChartSpan ComputeChartSpan(std::int64_t n, bool realTime, std::int64_t& page);

// "start - end".
std::string ChartCaption(const ChartSpan& span);

// The span's bytes of `raw` as values: -128..127 when `isSigned`, else 0..255.
std::vector<int> ChartValues(std::string_view raw, const ChartSpan& span, bool isSigned);

// Page buttons: "<500" stops at page 0, "500>" only moves while bytes lie beyond.
std::int64_t PreviousChartPage(std::int64_t page);
std::int64_t NextChartPage(std::int64_t page, std::int64_t n);

// Value-axis range from the lowest to the highest value; a flat line gets ±1 around it.
struct ChartRange {
    int low = 0;
    int high = 255;
};
ChartRange ChartValueRange(const std::vector<int>& values, bool isSigned);

}  // namespace zenta
