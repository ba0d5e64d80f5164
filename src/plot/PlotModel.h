#pragma once
// Received bytes in, named series of points out: the line parser feeding the point store,
// with one series per column and per name. Every line that gives values is one sample:
// its points share a line number, so series stay aligned however often each appears.
// A header line names the columns when the line after it has as many fields.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "plot/LineParser.h"
#include "plot/PointStore.h"

namespace zenta::plot {

struct SeriesInfo {
    std::string rawName;  // the name's bytes as received; a column's from its header
    std::string name;     // UTF-8, through the name decoder; empty for an unnamed column
    int column = -1;      // column index (from 0) of a column series, else -1
};

class PlotModel {
  public:
    // Turns a name's received bytes into UTF-8 (the receive window's encoding).
    using NameDecoder = std::function<std::string(std::string_view)>;
    // Series beyond this many are not created: noise must not make thousands.
    static constexpr std::size_t kMaxSeries = 256;

    explicit PlotModel(std::size_t capacity = kDefaultCapacity);

    // Decodes all names again with the new decoder. Without one, bytes are taken as UTF-8.
    void SetNameDecoder(NameDecoder decoder);
    // Returns the number of points added.
    std::size_t Feed(const char* data, std::size_t size, int64_t msecsSinceEpoch);
    // Drops points and series; a line begun before the clear is forgotten too.
    void Clear();
    // The bytes go on from another connection: a line begun is forgotten, so its start
    // cannot join the next connection's first line.
    void Restart();
    // One more field separator besides blanks, commas and semicolons (0: none).
    void SetSeparator(char separator) { parser_.SetSeparator(separator); }
    char Separator() const { return parser_.Separator(); }

    const PointStore& Store() const { return store_; }
    const std::vector<SeriesInfo>& Series() const { return series_; }
    // What the limits cut since the clear: lines longer than kMaxLineBytes, values past
    // kMaxLineValues in a line, values of new series past kMaxSeries.
    uint64_t LinesCut() const { return parser_.LinesCut(); }
    uint64_t ValuesLeftOut() const { return parser_.ValuesLeftOut(); }
    uint64_t ValuesWithoutSeries() const { return valuesWithoutSeries_; }
    // Lines taken for noise: control bytes, or bytes that are no whole characters in a
    // line that would make a series or name columns.
    uint64_t NoiseLines() const { return noiseLines_; }

  private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    // npos when full, or when new series may not be made.
    std::size_t SeriesFor(const LineValue& v, bool mayCreate);
    std::size_t SeriesAt(std::size_t position, const LineValue& v, bool mayCreate);
    std::size_t AddLine(const ParsedLine& line, int64_t msecs);
    void NoteNoise();
    void NameColumns(std::vector<std::string> names);
    std::string Decode(std::string_view raw) const;

    LineParser parser_;
    PointStore store_;
    NameDecoder decoder_;
    std::vector<SeriesInfo> series_;
    std::vector<std::size_t> columns_;  // column -> series
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> names_;
    std::vector<std::size_t> lastLine_;       // series of each value of the last line
    std::vector<std::string> columnNames_;    // raw, from the header in force
    std::vector<std::string> pendingHeader_;  // a header waiting for the next line
    uint64_t valuesWithoutSeries_ = 0;
    uint64_t noiseLines_ = 0;
    bool afterNoise_ = false;
};

}  // namespace zenta::plot
