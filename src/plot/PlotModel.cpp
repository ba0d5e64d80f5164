#include "plot/PlotModel.h"

namespace zenta::plot {

PlotModel::PlotModel(std::size_t capacity) : store_(capacity) {}

void PlotModel::SetNameDecoder(NameDecoder decoder) {
    decoder_ = std::move(decoder);
    for (SeriesInfo& s : series_) {
        if (s.column < 0) {
            s.name = decoder_ ? decoder_(s.rawName) : s.rawName;
        }
    }
}

std::size_t PlotModel::SeriesAt(std::size_t position, const LineValue& v) {
    // A device prints the same names in the same order line after line: the name at this
    // place in the last line is compared before the table is asked.
    if (v.column < 0 && position < lastLine_.size()) {
        const std::size_t id = lastLine_[position];
        if (id < series_.size() && series_[id].column < 0 && series_[id].rawName == v.name) {
            return id;
        }
    }
    const std::size_t id = SeriesFor(v);
    if (position >= lastLine_.size()) {
        lastLine_.resize(position + 1, PointStore::npos);
    }
    lastLine_[position] = id;
    return id;
}

std::size_t PlotModel::SeriesFor(const LineValue& v) {
    if (v.column >= 0) {
        const auto c = static_cast<std::size_t>(v.column);
        if (c < columns_.size() && columns_[c] != PointStore::npos) {
            return columns_[c];
        }
    } else if (auto it = names_.find(v.name); it != names_.end()) {
        return it->second;
    }
    if (series_.size() >= kMaxSeries) {
        return PointStore::npos;
    }
    const std::size_t id = store_.AddSeries();
    SeriesInfo info;
    info.column = v.column;
    if (v.column >= 0) {
        const auto c = static_cast<std::size_t>(v.column);
        if (columns_.size() <= c) {
            columns_.resize(c + 1, PointStore::npos);
        }
        columns_[c] = id;
    } else {
        info.rawName = std::string(v.name);
        info.name = decoder_ ? decoder_(v.name) : info.rawName;
        names_.emplace(info.rawName, id);
    }
    series_.push_back(std::move(info));
    return id;
}

std::size_t PlotModel::Feed(const char* data, std::size_t size, int64_t msecs) {
    std::size_t added = 0;
    parser_.Feed(data, size, [&](const std::vector<LineValue>& values) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            const LineValue& v = values[i];
            const std::size_t id = SeriesAt(i, v);
            if (id != PointStore::npos) {
                store_.Append(id, msecs, v.value);
                ++added;
            }
        }
    });
    return added;
}

void PlotModel::Clear() {
    parser_.Reset();
    store_.Clear();
    series_.clear();
    columns_.clear();
    names_.clear();
    lastLine_.clear();
}

}  // namespace zenta::plot
