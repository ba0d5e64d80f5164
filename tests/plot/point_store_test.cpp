// The point store's bounds (capacity, oldest dropped first, memory per point) and the
// per-pixel-column decimation the plot draws from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "plot/PlotModel.h"
#include "plot/PointStore.h"

using namespace zenta::plot;

TEST(PointStoreBounds, OldestPointsOfAllSeriesGoFirst) {
    PointStore store(5);
    const auto a = store.AddSeries();
    const auto b = store.AddSeries();
    store.Append(a, 1000, 1);
    store.Append(b, 1001, 10);
    store.Append(a, 1002, 2);
    store.Append(b, 1003, 20);
    store.Append(a, 1004, 3);
    EXPECT_EQ(store.DroppedPoints(), 0u);
    store.Append(b, 1005, 30);  // over: a's 1 goes (the oldest)
    store.Append(b, 1006, 40);  // over: b's 10 goes
    EXPECT_EQ(store.TotalPoints(), 5u);
    EXPECT_EQ(store.DroppedPoints(), 2u);
    ASSERT_EQ(store.Size(a), 2u);
    EXPECT_EQ(store.Value(a, 0), 2);
    EXPECT_EQ(store.Value(b, 0), 20);
    // Times stay relative to the first point ever received; sample numbers are the points'
    // line numbers (here each point a line of its own), dropped lines included.
    EXPECT_DOUBLE_EQ(store.X(a, 0, XMode::Time), 0.002);
    EXPECT_EQ(store.X(a, 0, XMode::Sample), 2);
    EXPECT_EQ(store.X(b, 2, XMode::Sample), 6);
    store.Clear();
    EXPECT_TRUE(store.Empty());
    EXPECT_EQ(store.DroppedPoints(), 0u);
}

TEST(PointStoreBounds, SnapshotsKeepTheirPointsWhileTheStoreGoesOn) {
    // Half a chunk, so the snapshot shares the chunk the store goes on filling.
    PointStore store(PointStore::kChunkPoints * 3);
    const auto s = store.AddSeries();
    const std::size_t first = PointStore::kChunkPoints / 2;
    for (std::size_t i = 0; i < first; ++i) {
        store.Append(s, static_cast<int64_t>(i), static_cast<double>(i));
    }
    const auto snap = store.Snapshot();
    // Into the shared chunk, past capacity (the oldest go), then a clear.
    for (std::size_t i = first; i < PointStore::kChunkPoints * 4; ++i) {
        store.Append(s, static_cast<int64_t>(i), -1.0);
    }
    EXPECT_GT(store.DroppedPoints(), 0u);
    ASSERT_EQ(snap->Size(s), first);
    EXPECT_EQ(snap->DroppedPoints(), 0u);
    for (std::size_t i = 0; i < first; ++i) {
        ASSERT_EQ(snap->Value(s, i), static_cast<double>(i)) << i;
        ASSERT_EQ(snap->X(s, i, XMode::Time), i / 1000.0) << i;
    }
    std::vector<PlotPoint> out;
    snap->Decimate(s, XMode::Sample, 0, static_cast<double>(first), 10, out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back().y, static_cast<double>(first - 1));  // block summaries too
    store.Clear();
    EXPECT_EQ(snap->Value(s, first - 1), static_cast<double>(first - 1));
}

TEST(PointStoreBounds, TimeNeverRunsBackwardsAndChunksAreReused) {
    PointStore store(3 * PointStore::kChunkPoints);
    const auto a = store.AddSeries();
    store.Append(a, 5000, 0);
    store.Append(a, 4000, 1);  // clock set back: held at the latest time
    EXPECT_EQ(store.X(a, 1, XMode::Time), 0.0);
    for (size_t i = 0; i < 10 * PointStore::kChunkPoints; ++i) {
        store.Append(a, 5000 + static_cast<int64_t>(i), static_cast<double>(i));
    }
    EXPECT_EQ(store.TotalPoints(), 3 * PointStore::kChunkPoints);
    EXPECT_EQ(store.Value(a, store.Size(a) - 1), 10.0 * PointStore::kChunkPoints - 1);
}

TEST(PointStoreBounds, AtMostSixteenBytesPerKeptPoint) {
    // Full chunks plus a part-filled one at each end of every series. Four series on every
    // line keep their line numbers for nothing; four each on every fourth line pay 4 bytes
    // a point for them.
    for (const bool gaps : {false, true}) {
        PointStore store(64 * PointStore::kChunkPoints);
        for (int i = 0; i < 4; ++i) {
            store.AddSeries();
        }
        for (size_t i = 0; i < 3 * store.Capacity(); ++i) {
            store.Append(i % 4, static_cast<int64_t>(i), 1.0, gaps ? i : i / 4);
        }
        EXPECT_EQ(store.TotalPoints(), store.Capacity());
        EXPECT_LE(store.MemoryBytes(), (gaps ? 17 : 13) * store.TotalPoints()) << gaps;
        EXPECT_EQ(store.Line(3, store.Size(3) - 1),
                  gaps ? 3 * store.Capacity() - 1 : 3 * store.Capacity() / 4 - 1);
    }
}

TEST(PointStoreBounds, LineNumbersThroughGapsChunksAndSnapshots) {
    PointStore store;
    const auto s = store.AddSeries();
    std::vector<uint64_t> lines;
    // Lines one after another, then a gap in the middle of a chunk, then a chunk that
    // starts with a gap and one that has none; a snapshot taken halfway keeps its lines.
    for (uint64_t line = 5; lines.size() < 3 * PointStore::kChunkPoints;) {
        lines.push_back(line);
        store.Append(s, 1000, 1.0, line);
        line += lines.size() == 100 || lines.size() == PointStore::kChunkPoints ? 1000 : 1;
    }
    const auto snap = store.Snapshot();
    store.Append(s, 1000, 1.0, lines.back() + 7);
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(store.Line(s, i), lines[i]) << i;
        ASSERT_EQ(snap->Line(s, i), lines[i]) << i;
        ASSERT_EQ(store.X(s, i, XMode::Sample), static_cast<double>(lines[i]));
    }
    EXPECT_EQ(store.Line(s, lines.size()), lines.back() + 7);
    EXPECT_EQ(snap->Size(s), lines.size());
    // A line number going back is held at the latest.
    store.Append(s, 1000, 1.0, 3);
    EXPECT_EQ(store.Line(s, lines.size() + 1), lines.back() + 7);
}

TEST(PointStoreDecimation, KeepsEveryColumnsExtremesAndEnds) {
    PointStore store;
    const auto s = store.AddSeries();
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> d(-100, 100);
    std::vector<double> values(200000);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = d(rng);
        store.Append(s, 1000 + static_cast<int64_t>(i), values[i]);
    }
    const int width = 300;
    const double x0 = 10.0;  // seconds: points 10000 .. 150000
    const double x1 = 150.0;
    std::vector<PlotPoint> out;
    store.Decimate(s, XMode::Time, x0, x1, width, out);
    EXPECT_LE(out.size(), 4u * width + 2);
    ASSERT_GE(out.size(), 2u);
    EXPECT_TRUE(std::is_sorted(out.begin(), out.end(),
                               [](const PlotPoint& p, const PlotPoint& q) { return p.x < q.x; }));
    // The nearest points outside the range make the line reach both edges.
    EXPECT_LT(out.front().x, x0);
    EXPECT_GT(out.back().x, x1);
    // Each column's lowest and highest value are among the points drawn.
    for (int c = 0; c < width; ++c) {
        const double a = x0 + (x1 - x0) * c / width;
        const double b = x0 + (x1 - x0) * (c + 1) / width;
        double lo = INFINITY, hi = -INFINITY, dlo = INFINITY, dhi = -INFINITY;
        for (size_t i = 0; i < values.size(); ++i) {
            const double x = i / 1000.0;
            if (x >= a && x < b) {
                lo = std::min(lo, values[i]);
                hi = std::max(hi, values[i]);
            }
        }
        for (const PlotPoint& p : out) {
            if (p.x >= a && p.x < b) {
                dlo = std::min(dlo, p.y);
                dhi = std::max(dhi, p.y);
            }
        }
        ASSERT_EQ(lo, dlo) << "column " << c;
        ASSERT_EQ(hi, dhi) << "column " << c;
    }
    // Fewer points than columns come back unchanged; sample numbers work as x too.
    store.Decimate(s, XMode::Sample, 100, 104, 1000, out);
    ASSERT_EQ(out.size(), 7u);
    EXPECT_EQ(out[1].x, 100);
    EXPECT_EQ(out[1].y, values[100]);
    store.Decimate(s, XMode::Time, 500, 600, 100, out);  // past the end: only the last point
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].y, values.back());
}

TEST(PointStoreDecimation, DenseRangesKeepTheirExtremesFromBlockSummaries) {
    // Thousands of points per column: whole blocks are read from their summaries. Every
    // extreme must still be drawn, at most a column early or a block late, also after
    // the oldest points were dropped (the first block then starts part-way).
    PointStore store(1'500'000);
    const auto s = store.AddSeries();
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> d(-1, 1);
    std::vector<double> values(2'000'037);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = d(rng) + (i == 1'234'567 ? 50 : 0) - (i == 1'876'543 ? 50 : 0);
        store.Append(s, static_cast<int64_t>(i), values[i]);
    }
    ASSERT_GT(store.DroppedPoints(), 0u);
    const double x0 = store.X(s, 0, XMode::Time);
    const double x1 = store.LastX(XMode::Time);
    const int width = 200;
    std::vector<PlotPoint> out;
    store.Decimate(s, XMode::Time, x0, x1, width, out);
    EXPECT_LE(out.size(), 2u * width + 2);
    EXPECT_TRUE(std::is_sorted(out.begin(), out.end(),
                               [](const PlotPoint& p, const PlotPoint& q) { return p.x < q.x; }));
    const double columnWidth = (x1 - x0) / width;
    const double blockWidth = PointStore::kBlockPoints / 1000.0;
    for (int c = 0; c < width; ++c) {
        const double a = x0 + columnWidth * c;
        const double b = a + columnWidth;
        double lo = INFINITY, hi = -INFINITY;
        for (size_t i = static_cast<size_t>(a * 1000); i < values.size() && i / 1000.0 < b; ++i) {
            if (i / 1000.0 >= a) {
                lo = std::min(lo, values[i]);
                hi = std::max(hi, values[i]);
            }
        }
        // A block lands in the column of its first point: an extreme near a column's
        // edge may be drawn in the column to its left, or one block past its right edge
        // (standing in for a lower one), but is never lost.
        double drawnLo = INFINITY, drawnHi = -INFINITY;
        for (const PlotPoint& p : out) {
            if (p.x >= a - columnWidth && p.x < b + blockWidth) {
                drawnLo = std::min(drawnLo, p.y);
                drawnHi = std::max(drawnHi, p.y);
            }
        }
        ASSERT_LE(drawnLo, lo) << "column " << c;
        ASSERT_GE(drawnHi, hi) << "column " << c;
    }
    // The spikes are drawn at their own time.
    auto at = [&](double y) {
        return std::find_if(out.begin(), out.end(), [&](const PlotPoint& p) { return p.y == y; });
    };
    ASSERT_NE(at(values[1'234'567]), out.end());
    EXPECT_DOUBLE_EQ(at(values[1'234'567])->x, 1234.567);
    ASSERT_NE(at(values[1'876'543]), out.end());
    EXPECT_DOUBLE_EQ(at(values[1'876'543])->x, 1876.543);
    // By sample number the same (dropped points keep their numbers).
    store.Decimate(s, XMode::Sample, store.X(s, 0, XMode::Sample), store.LastX(XMode::Sample),
                   width, out);
    EXPECT_LE(out.size(), 2u * width + 2);
    ASSERT_NE(at(values[1'234'567]), out.end());
    EXPECT_EQ(at(values[1'234'567])->x, 1'234'567);
    ASSERT_NE(at(values[1'876'543]), out.end());
    EXPECT_EQ(at(values[1'876'543])->x, 1'876'543);
}

TEST(PlotModelSeries, ColumnsAndNamesBecomeSeries) {
    PlotModel model(100);
    model.SetNameDecoder([](std::string_view raw) { return "<" + std::string(raw) + ">"; });
    EXPECT_EQ(model.Feed("1,2\nt=5\n", 8, 1000), 3u);
    EXPECT_EQ(model.Feed("3,4,5\nt=6 u=7\n", 14, 2000), 5u);
    const auto& series = model.Series();
    ASSERT_EQ(series.size(), 5u);
    EXPECT_EQ(series[0].column, 0);
    EXPECT_EQ(series[2].name, "<t>");
    EXPECT_EQ(series[3].column, 2);
    EXPECT_EQ(model.Store().Size(2), 2u);
    EXPECT_EQ(model.Store().Value(2, 1), 6);
    // A new decoder names the series again from their received bytes.
    model.SetNameDecoder(nullptr);
    EXPECT_EQ(series[2].name, "t");
    // Names that change places, or a column where a name was, go to their own series.
    EXPECT_EQ(model.Feed("u=8 t=9\nt=10\n9\n", 16, 2500), 4u);
    ASSERT_EQ(model.Store().Size(2), 4u);
    EXPECT_EQ(model.Store().Value(2, 2), 9);
    EXPECT_EQ(model.Store().Value(2, 3), 10);
    EXPECT_EQ(model.Store().Value(4, 1), 8);
    EXPECT_EQ(model.Store().Value(0, 2), 9);
    // Noise must not create series without end.
    std::string names;
    for (int i = 0; i < 1000; ++i) {
        names += "n" + std::to_string(i) + "=1\n";
    }
    model.Feed(names.data(), names.size(), 3000);
    EXPECT_EQ(model.Series().size(), PlotModel::kMaxSeries);
    model.Feed("7,", 2, 4000);
    model.Clear();
    model.Feed("8\n", 2, 5000);  // the line begun before the clear is gone
    ASSERT_EQ(model.Series().size(), 1u);
    EXPECT_EQ(model.Store().Value(0, 0), 8);
}
