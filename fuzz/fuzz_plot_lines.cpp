// Received text cut into random deliveries gives the plot the same lines and values as
// the whole stream at once, never a value that cannot be drawn, and never a name that
// does not look like one.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "plot/LineParser.h"
#include "plot/PlotModel.h"

using namespace zenta::plot;

namespace {

struct Seen {
    std::string name;
    int column;
    double value;
    bool operator==(const Seen&) const = default;
};

std::vector<std::vector<Seen>> Lines(const std::string& stream, const std::vector<size_t>& cuts) {
    LineParser parser;
    std::vector<std::vector<Seen>> lines;
    auto sink = [&](const ParsedLine& parsed) {
        const std::vector<LineValue>& values = parsed.values;
        if (parsed.kind == LineKind::Noise) {
            FUZZ_CHECK(values.empty() && parsed.labels.empty());
            return;
        }
        if (parsed.kind == LineKind::Header) {
            FUZZ_CHECK(values.empty() && !parsed.labels.empty());
            for (std::string_view label : parsed.labels) {
                FUZZ_CHECK(LooksLikeName(label) || !IsText(parsed.text));
            }
            return;
        }
        FUZZ_CHECK(parsed.kind == LineKind::Values);
        FUZZ_CHECK(!values.empty() && values.size() <= kMaxLineValues);
        std::vector<Seen> line;
        int lastColumn = -1;
        for (const LineValue& v : values) {
            FUZZ_CHECK(std::isfinite(v.value));
            FUZZ_CHECK((v.column < 0) != v.name.empty());
            if (v.column >= 0) {
                FUZZ_CHECK(v.column > lastColumn);
                lastColumn = v.column;
            } else {
                FUZZ_CHECK(LooksLikeName(v.name) || !IsText(parsed.text));
            }
            line.push_back({std::string(v.name), v.column, v.value});
        }
        lines.push_back(std::move(line));
    };
    size_t pos = 0;
    for (size_t i = 0; pos < stream.size(); ++i) {
        const size_t n = std::min(cuts[i % cuts.size()], stream.size() - pos);
        parser.Feed(stream.data() + pos, n, sink);
        pos += n;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zenta::FuzzInput in(data, size);
    std::vector<size_t> cuts(in.ConsumeIntegralInRange<size_t>(1, 16));
    for (size_t& c : cuts) {
        c = in.ConsumeIntegralInRange<size_t>(1, 64);
    }
    const std::string stream = in.ConsumeRemainingBytesAsString();

    const auto whole = Lines(stream, {stream.size() + 1});
    FUZZ_CHECK(Lines(stream, cuts) == whole);

    // The model keeps every value as a point while it has room, in its series.
    PlotModel model(1 << 20);
    size_t values = 0;
    for (const auto& line : whole) {
        values += line.size();
    }
    const size_t added = model.Feed(stream.data(), stream.size(), 1000);
    FUZZ_CHECK(model.Series().size() <= PlotModel::kMaxSeries);
    FUZZ_CHECK(added <= values);
    // Only a line after noise may find no series for a value (it makes none).
    if (model.Series().size() < PlotModel::kMaxSeries && model.NoiseLines() == 0) {
        FUZZ_CHECK(added == values);
    }
    FUZZ_CHECK(model.Store().TotalPoints() == added);
    return 0;
}
