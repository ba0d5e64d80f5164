// Received lines into series: a sample is a line, so series stay aligned; header lines name
// the columns; a new connection starts a new line; the CSV has one row per line; noise
// makes no series and every limit that cuts data is counted.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "plot/CsvExport.h"
#include "plot/PlotModel.h"

using namespace zenta::plot;

namespace {

std::size_t Feed(PlotModel& model, std::string_view text, int64_t ms = 1000) {
    return model.Feed(text.data(), text.size(), ms);
}

std::vector<std::string> Names(const PlotModel& model) {
    std::vector<std::string> names;
    for (const SeriesInfo& s : model.Series()) {
        names.push_back(s.column >= 0 && s.name.empty() ? "#" + std::to_string(s.column) : s.name);
    }
    return names;
}

std::string Csv(const PlotModel& model, const std::vector<std::size_t>& order) {
    std::ostringstream out;
    EXPECT_TRUE(WriteCsv(model.Store(), "t", Names(model), order, out));
    return out.str().substr(3);  // without the byte order mark
}

}  // namespace

TEST(PlotModelLines, SampleNumbersCountLinesSoSeriesStayAligned) {
    PlotModel model;
    // "b" only on every other line, a gap column in the middle of the second line.
    Feed(model, "a=1 b=10\na=2\na=3 b=30\n");
    Feed(model, "5,6,7\n8,ERR,9\n", 2000);
    const PointStore& store = model.Store();
    ASSERT_EQ(store.SeriesCount(), 5u);
    EXPECT_EQ(store.X(1, 0, XMode::Sample), 0);
    EXPECT_EQ(store.X(1, 1, XMode::Sample), 2);  // b's second point is on line 2, not 1
    EXPECT_EQ(store.X(0, 2, XMode::Sample), 2);
    // Column 3 (index 2) has its second point on line 4 beside column 1's.
    ASSERT_EQ(store.Size(3), 1u);
    EXPECT_EQ(store.X(2, 1, XMode::Sample), 4);
    EXPECT_EQ(store.X(4, 1, XMode::Sample), 4);
    // Lines without values are no samples.
    Feed(model, "hello\n\n7,7,7\n");
    EXPECT_EQ(store.X(2, 2, XMode::Sample), 5);
}

TEST(PlotModelLines, CsvHasOneRowPerLineWithColumnsInOrder) {
    PlotModel model;
    // Column 2 appears first (column 1 is a gap), names come between; two lines in one
    // millisecond stay two rows, and a name on one line only does not merge them.
    Feed(model, "ERR,5\nx=1\n1,2\n3,4\ny=7\n");
    ASSERT_EQ(Names(model), (std::vector<std::string>{"#1", "x", "#0", "y"}));
    EXPECT_EQ(Csv(model, {2, 0, 1, 3}),
              "t,#0,#1,x,y\r\n"
              "0.000,,5,,\r\n"
              "0.000,,,1,\r\n"
              "0.000,1,2,,\r\n"
              "0.000,3,4,,\r\n"
              "0.000,,,,7\r\n");
}

TEST(PlotModelLines, HeaderNamesTheColumnsOfTheLinesUnderIt) {
    PlotModel model;
    Feed(model, "Starting up\n1,2,3\n");  // two words over three fields: no header
    EXPECT_EQ(Names(model), (std::vector<std::string>{"#0", "#1", "#2"}));
    Feed(model, "time,temp,hum\n12:30:45,25,40\n");
    EXPECT_EQ(Names(model), (std::vector<std::string>{"time", "temp", "hum"}));
    EXPECT_EQ(model.Store().Size(1), 2u);  // the same series, renamed
    // A label-only line, and the names survive a clear (the device printed them once).
    Feed(model, "a:,b:\n1 2\n");
    model.Clear();
    Feed(model, "3 4 5\n");
    EXPECT_EQ(Names(model), (std::vector<std::string>{"a", "b", "#2"}));
    // Names are decoded like any other.
    model.SetNameDecoder([](std::string_view raw) { return "<" + std::string(raw) + ">"; });
    EXPECT_EQ(model.Series()[0].name, "<a>");
}

TEST(PlotModelLines, ANewConnectionStartsANewLine) {
    PlotModel model;
    Feed(model, "v=1\nv=4");
    model.Restart();
    Feed(model, "56\n");
    ASSERT_EQ(Names(model), (std::vector<std::string>{"v", "#0"}));
    EXPECT_EQ(model.Store().Size(0), 1u);
    EXPECT_EQ(model.Store().Value(1, 0), 56);
    // The user's separator is kept through a restart and a clear.
    model.SetSeparator('|');
    model.Restart();
    model.Clear();
    Feed(model, "1|2\n");
    EXPECT_EQ(model.Series().size(), 2u);
}

TEST(PlotModelNoise, RandomBytesMakeNoSeries) {
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 rng(seed);
        std::string noise(300 * 1024, '\0');
        for (char& c : noise) {
            c = static_cast<char>(rng());
        }
        PlotModel model;
        // In the pieces a port delivers.
        for (std::size_t pos = 0; pos < noise.size(); pos += 4095) {
            model.Feed(noise.data() + pos, std::min<std::size_t>(4095, noise.size() - pos), 1);
        }
        EXPECT_EQ(model.Series().size(), 0u) << "seed " << seed;
        EXPECT_GT(model.NoiseLines(), 1000u);
        // Real lines after it: the first is suspect, from the second on they plot.
        Feed(model, "\ntemp=21.5\ntemp=21.6\n");
        ASSERT_EQ(Names(model), std::vector<std::string>{"temp"}) << "seed " << seed;
        EXPECT_EQ(model.Store().Size(0), 1u);
    }
}

TEST(PlotModelNoise, LimitsThatCutDataAreCounted) {
    PlotModel model(1000);
    std::string names;
    for (int i = 0; i < 300; ++i) {
        names += "n" + std::to_string(i) + "=1\n";
    }
    Feed(model, names);
    EXPECT_EQ(model.Series().size(), PlotModel::kMaxSeries);
    EXPECT_EQ(model.ValuesWithoutSeries(), 300 - PlotModel::kMaxSeries);
    // The series there still take their points.
    Feed(model, "n0=2\n");
    EXPECT_EQ(model.Store().Size(0), 2u);
    EXPECT_EQ(model.ValuesWithoutSeries(), 300 - PlotModel::kMaxSeries);
    std::string longLine(kMaxLineBytes + 10, '1');
    Feed(model, longLine + "\n");
    EXPECT_EQ(model.LinesCut(), 1u);
    model.Clear();
    EXPECT_EQ(model.ValuesWithoutSeries(), 0u);
    EXPECT_EQ(model.LinesCut(), 0u);
}
