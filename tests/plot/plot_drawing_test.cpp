// What the plot draws: axis ticks and their labels, and the one-pixel lines laid into the
// picture (runs per pixel column, clipping, order of series).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "plot/AxisTicks.h"
#include "plot/LineRaster.h"

using namespace zenta::plot;

namespace {

std::vector<std::string> Labels(const std::vector<AxisTick>& ticks) {
    std::vector<std::string> out;
    for (const AxisTick& t : ticks) {
        out.push_back(t.label);
    }
    return out;
}

// A picture of `w` x `h` pixels, 0 where nothing is drawn.
struct Picture {
    int w, h;
    std::vector<uint32_t> px;
    Picture(int width, int height, uint32_t fill = 0)
        : w(width), h(height), px(static_cast<size_t>(width * height), fill) {}
    uint32_t& at(int x, int y) { return px[static_cast<size_t>(y * w + x)]; }
    // Rows drawn in column x: {first, last}, or {-1, -1}.
    std::pair<int, int> Rows(int x, uint32_t colour) {
        int first = -1, last = -1;
        for (int y = 0; y < h; ++y) {
            if (at(x, y) == colour) {
                first = first < 0 ? y : first;
                last = y;
            }
        }
        return {first, last};
    }
    int Count(uint32_t colour) const {
        return static_cast<int>(std::count(px.begin(), px.end(), colour));
    }
};

constexpr uint32_t kRed = 0xffff0000;
constexpr uint32_t kBlue = 0xff0000ff;

}  // namespace

TEST(AxisTicks, RoundStepsAnchoredAtZero) {
    // An autoscaled range with odd ends still reads in round steps through zero.
    EXPECT_EQ(Labels(RoundTicks(-3.7, 96.2, 5)),
              (std::vector<std::string>{"0", "20", "40", "60", "80"}));
    // Decimals follow the step, and zero is never "-0".
    EXPECT_EQ(Labels(RoundTicks(-0.12, 0.11, 5)),
              (std::vector<std::string>{"-0.10", "-0.05", "0", "0.05", "0.10"}));
    // Many steps from the origin, no drift: 0.1 * 3 is labelled 0.3.
    const auto far = RoundTicks(1000.25, 1000.55, 3);
    EXPECT_EQ(Labels(far), (std::vector<std::string>{"1000.3", "1000.4", "1000.5"}));
    // Sample numbers step by whole numbers even over a tiny range.
    EXPECT_EQ(Labels(RoundTicks(10, 12.5, 20, true)), (std::vector<std::string>{"10", "11", "12"}));
    // Huge and tiny values go to exponent form, still telling neighbours apart.
    const auto huge = RoundTicks(1e12, 1.00000002e12, 2);
    ASSERT_GE(huge.size(), 2u);
    EXPECT_NE(huge[0].label, huge[1].label);
    EXPECT_NE(huge[0].label.find('e'), std::string::npos);
    EXPECT_EQ(Labels(RoundTicks(0, 3e-6, 3)),
              (std::vector<std::string>{"0", "1e-06", "2e-06", "3e-06"}));
}

TEST(AxisTicks, EmptyOrBrokenRangesHaveNoTicks) {
    EXPECT_TRUE(RoundTicks(5, 5, 4).empty());
    EXPECT_TRUE(RoundTicks(6, 5, 4).empty());
    EXPECT_TRUE(RoundTicks(0, std::numeric_limits<double>::infinity(), 4).empty());
    EXPECT_TRUE(RoundTicks(std::nan(""), 1, 4).empty());
    EXPECT_TRUE(RoundTicks(0, 1, 0).empty());
    // The full span of doubles still gives a few ticks, not millions.
    EXPECT_LE(RoundTicks(-1e308, 1e308, 5).size(), 12u);
}

TEST(LineRaster, ColumnsHoldOneRunFromLowestToHighest) {
    LineRaster r;
    r.Reset(20, 50);
    // Two columns of a decimated plot: 5.2 -> 40.7 in column 3, then down to 10.5 in
    // column 4: each column one run, and the step between them leaves no gap.
    const std::vector<PlotPoint> pts{{3.5, 5.2}, {3.5, 40.7}, {4.5, 10.5}, {4.5, 30.1}};
    r.DrawPolyline(pts.data(), pts.size(), kRed);
    Picture p(20, 50);
    r.CopyTo(p.px.data(), p.w);
    EXPECT_EQ(p.Rows(3, kRed), (std::pair{5, 40}));
    EXPECT_EQ(p.Rows(4, kRed), (std::pair{10, 30}));
    EXPECT_EQ(p.Count(kRed), 36 + 21);
    // A shallow line: one pixel per column all along, rows following the slope.
    r.Reset(20, 50);
    const std::vector<PlotPoint> shallow{{0.5, 2.5}, {19.5, 12.0}};
    r.DrawPolyline(shallow.data(), shallow.size(), kBlue);
    Picture q(20, 50);
    r.CopyTo(q.px.data(), q.w);
    for (int x = 0; x < 20; ++x) {
        const auto [first, last] = q.Rows(x, kBlue);
        ASSERT_GE(first, 0) << "gap at column " << x;
        EXPECT_LE(last - first, 1) << "column " << x;
    }
    EXPECT_EQ(q.Rows(0, kBlue).first, 2);
    EXPECT_EQ(q.Rows(19, kBlue).second, 11);
    // The earlier picture is gone after the reset.
    EXPECT_EQ(q.Count(kRed), 0);
}

TEST(LineRaster, FarAwayAndBrokenPointsAreClipped) {
    LineRaster r;
    r.Reset(10, 10);
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<PlotPoint> pts{
        {-1e300, 5.5},                     // far left: the line comes in at the edge
        {4.5, 5.5},    {std::nan(""), 3},  // a broken point breaks the line on both sides
        {6.5, 1e9},    {8.5, inf},         // far below, then infinite: skipped
        {9.5, -3},     {1e12, -3}};        // above the picture
    r.DrawPolyline(pts.data(), pts.size(), kRed);
    Picture p(10, 10, 0xff123456);  // what was under the lines stays
    r.CopyTo(p.px.data(), p.w);
    for (int x = 0; x <= 4; ++x) {
        EXPECT_EQ(p.Rows(x, kRed), (std::pair{5, 5})) << x;
    }
    EXPECT_EQ(p.Count(kRed), 5);
    EXPECT_EQ(p.Count(0xff123456), 95);
    // A single point is one pixel; a single point outside is none.
    r.Reset(10, 10);
    const PlotPoint one{2.2, 7.9};
    r.DrawPolyline(&one, 1, kBlue);
    const PlotPoint out{20, 7.9};
    r.DrawPolyline(&out, 1, kRed);
    Picture q(10, 10);
    r.CopyTo(q.px.data(), q.w);
    EXPECT_EQ(q.Count(kBlue), 1);
    EXPECT_EQ(q.at(2, 7), kBlue);
    EXPECT_EQ(q.Count(kRed), 0);
}

TEST(LineRaster, LaterLinesLieOnTopAndTheImageStrideIsKept) {
    LineRaster r;
    r.Reset(8, 6);
    const std::vector<PlotPoint> a{{0.5, 3.5}, {7.5, 3.5}};
    const std::vector<PlotPoint> b{{2.5, 0.5}, {2.5, 5.5}};
    r.DrawPolyline(a.data(), a.size(), kRed);
    r.DrawPolyline(b.data(), b.size(), kBlue);
    // Copied into the middle of a wider image.
    Picture p(12, 8);
    r.CopyTo(p.px.data() + 1 * 12 + 2, 12);
    EXPECT_EQ(p.at(2 + 2, 1 + 3), kBlue);  // the crossing
    EXPECT_EQ(p.at(2 + 0, 1 + 3), kRed);
    EXPECT_EQ(p.at(2 + 7, 1 + 3), kRed);
    EXPECT_EQ(p.Count(kRed), 7);
    EXPECT_EQ(p.Count(kBlue), 6);
    EXPECT_EQ(p.at(1, 4), 0u);   // left of the copied area
    EXPECT_EQ(p.at(10, 4), 0u);  // right of it
}
