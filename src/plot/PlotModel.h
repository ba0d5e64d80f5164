#pragma once
// Received bytes in, named series of points out: the line parser feeding the point store,
// with one series per column and per name.

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
    std::string rawName;  // the name's bytes as received; empty for a column
    std::string name;     // UTF-8, through the name decoder
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

    const PointStore& Store() const { return store_; }
    const std::vector<SeriesInfo>& Series() const { return series_; }
    uint64_t LinesCut() const { return parser_.LinesCut(); }

  private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::size_t SeriesFor(const LineValue& v);  // npos when full
    std::size_t SeriesAt(std::size_t position, const LineValue& v);

    LineParser parser_;
    PointStore store_;
    NameDecoder decoder_;
    std::vector<SeriesInfo> series_;
    std::vector<std::size_t> columns_;  // column -> series
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> names_;
    std::vector<std::size_t> lastLine_;  // series of each value of the last line
};

}  // namespace zenta::plot
