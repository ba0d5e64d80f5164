#include "datapath/ChartWindow.h"

#include <gtest/gtest.h>

using namespace zenta;

namespace {

ChartSpan Span(std::int64_t n, bool realTime, std::int64_t& page) {
    return ComputeChartSpan(n, realTime, page);
}

}  // namespace

TEST(ChartWindow, ValuesAreUnsignedOrSignedBytes) {
    const std::string raw("\x00\x7F\x80\xFF", 4);
    std::int64_t page = 0;
    const ChartSpan s = Span(ChartBytes(4, raw.size()), false, page);
    EXPECT_EQ(ChartCaption(s), "0 - 4");
    EXPECT_EQ(ChartValues(raw, s, false), (std::vector<int>{0, 127, 128, 255}));
    EXPECT_EQ(ChartValues(raw, s, true), (std::vector<int>{0, 127, -128, -1}));
    const ChartRange r = ChartValueRange(ChartValues(raw, s, true), true);
    EXPECT_EQ(r.low, -128);
    EXPECT_EQ(r.high, 127);
    EXPECT_EQ(ChartValueRange({7, 7}, false).low, 6);
    EXPECT_EQ(ChartValueRange({}, false).high, 255);
    // No data: an empty plot captioned "0 - 0".
    const ChartSpan none = Span(0, false, page);
    EXPECT_EQ(ChartCaption(none), "0 - 0");
    EXPECT_TRUE(ChartValues("", none, false).empty());
}

TEST(ChartWindow, PagesStepThroughTheDataAndStopAtBothEnds) {
    std::int64_t page = 0;
    EXPECT_EQ(ChartCaption(Span(1200, false, page)), "0 - 500");
    page = NextChartPage(page, 1200);
    EXPECT_EQ(ChartCaption(Span(1200, false, page)), "500 - 1000");
    page = NextChartPage(page, 1200);
    EXPECT_EQ(ChartCaption(Span(1200, false, page)), "1000 - 1200");
    EXPECT_EQ(NextChartPage(page, 1200), 2);
    EXPECT_EQ(PreviousChartPage(0), 0);
    // Exactly two pages: the second is the last one.
    page = NextChartPage(0, 1000);
    EXPECT_EQ(ChartCaption(Span(1000, false, page)), "500 - 1000");
    EXPECT_EQ(NextChartPage(page, 1000), 1);
    // Up to one page of data puts the page back to 0.
    page = 2;
    EXPECT_EQ(ChartCaption(Span(300, false, page)), "0 - 300");
    EXPECT_EQ(page, 0);
}

TEST(ChartWindow, RealTimeShowsTheNewestAndNothingLeavesTheRawBytes) {
    std::int64_t page = 3;
    EXPECT_EQ(ChartCaption(Span(5000, true, page)), "4500 - 5000");
    EXPECT_EQ(ChartCaption(Span(120, true, page)), "0 - 120");
    EXPECT_EQ(page, 3);  // real time leaves the page alone

    // A page past the end (after a clear and new data, or a trim) falls back to the last.
    page = 9;
    EXPECT_EQ(ChartCaption(Span(1200, false, page)), "1000 - 1200");
    EXPECT_EQ(page, 2);

    // A preview replaced the raw bytes with fewer than the count: the chart keeps to them.
    EXPECT_EQ(ChartBytes(5000, 40), 40);
    EXPECT_EQ(ChartBytes(10, 4096), 10);
    const std::string raw(40, '\x05');
    const ChartSpan s = Span(ChartBytes(5000, raw.size()), true, page);
    EXPECT_EQ(ChartValues(raw, s, false).size(), 40u);
    // Even a span beyond the bytes given plots nothing rather than reading past them.
    EXPECT_TRUE(ChartValues(raw, ChartSpan{100, 600}, false).empty());
    EXPECT_EQ(ChartValues(raw, ChartSpan{30, 600}, false).size(), 10u);
}
