#include "plot/PlotModel.h"

#include <algorithm>
#include <utility>

namespace zenta::plot {

PlotModel::PlotModel(std::size_t capacity) : store_(capacity) {}

std::string PlotModel::Decode(std::string_view raw) const {
    return decoder_ ? decoder_(raw) : std::string(raw);
}

void PlotModel::SetNameDecoder(NameDecoder decoder) {
    decoder_ = std::move(decoder);
    for (SeriesInfo& s : series_) {
        s.name = s.rawName.empty() ? std::string() : Decode(s.rawName);
    }
}

void PlotModel::NameColumns(std::vector<std::string> names) {
    columnNames_ = std::move(names);
    for (SeriesInfo& s : series_) {
        if (s.column >= 0) {
            const auto c = static_cast<std::size_t>(s.column);
            s.rawName = c < columnNames_.size() ? columnNames_[c] : std::string();
            s.name = s.rawName.empty() ? std::string() : Decode(s.rawName);
        }
    }
}

std::size_t PlotModel::SeriesAt(std::size_t position, const LineValue& v, bool mayCreate) {
    // A device prints the same names in the same order line after line: the name at this
    // place in the last line is compared before the table is asked.
    if (v.column < 0 && position < lastLine_.size()) {
        const std::size_t id = lastLine_[position];
        if (id < series_.size() && series_[id].column < 0 && series_[id].rawName == v.name) {
            return id;
        }
    }
    const std::size_t id = SeriesFor(v, mayCreate);
    if (position >= lastLine_.size()) {
        lastLine_.resize(position + 1, PointStore::npos);
    }
    lastLine_[position] = id;
    return id;
}

std::size_t PlotModel::SeriesFor(const LineValue& v, bool mayCreate) {
    if (v.column >= 0) {
        const auto c = static_cast<std::size_t>(v.column);
        if (c < columns_.size() && columns_[c] != PointStore::npos) {
            return columns_[c];
        }
    } else if (auto it = names_.find(v.name); it != names_.end()) {
        return it->second;
    }
    if (!mayCreate) {
        return PointStore::npos;
    }
    if (series_.size() >= kMaxSeries) {
        ++valuesWithoutSeries_;
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
        if (c < columnNames_.size() && !columnNames_[c].empty()) {
            info.rawName = columnNames_[c];
            info.name = Decode(info.rawName);
        }
    } else {
        info.rawName = std::string(v.name);
        info.name = Decode(v.name);
        names_.emplace(info.rawName, id);
    }
    series_.push_back(std::move(info));
    return id;
}

void PlotModel::NoteNoise() {
    ++noiseLines_;
    afterNoise_ = true;
}

std::size_t PlotModel::AddLine(const ParsedLine& line, int64_t msecs) {
    if (line.kind == LineKind::Noise) {
        NoteNoise();
        return 0;
    }
    // A line right after noise may be noise that looks like text: it adds to series but
    // makes none.
    const bool suspect = std::exchange(afterNoise_, false);
    if (line.kind == LineKind::Header) {
        if (!IsText(line.text)) {
            NoteNoise();
        } else if (!suspect) {
            pendingHeader_.assign(line.labels.begin(), line.labels.end());
        }
        return 0;
    }
    const std::size_t count = line.values.size();
    const uint64_t number = store_.NextLine();
    std::size_t added = 0;
    std::size_t i = 0;
    if (pendingHeader_.empty()) {
        // The usual line: every value has its series already.
        for (; i < count; ++i) {
            const std::size_t id = SeriesAt(i, line.values[i], false);
            if (id == PointStore::npos) {
                break;
            }
            store_.Append(id, msecs, line.values[i].value, number);
            ++added;
        }
        if (i == count) {
            return added;
        }
    }
    // A series to make or columns to name: only such a line is checked for being text (the
    // check costs as much as reading the line).
    if (!IsText(line.text)) {
        NoteNoise();
        pendingHeader_.clear();
        return added;
    }
    if (!pendingHeader_.empty()) {
        // A line of words is a header only when the data under it fits it.
        const bool columns = std::any_of(line.values.begin(), line.values.end(),
                                         [](const LineValue& v) { return v.column >= 0; });
        if (columns && line.columns == pendingHeader_.size()) {
            NameColumns(std::move(pendingHeader_));
        }
        pendingHeader_.clear();
    }
    for (; i < count; ++i) {
        const std::size_t id = SeriesAt(i, line.values[i], !suspect);
        if (id != PointStore::npos) {
            store_.Append(id, msecs, line.values[i].value, number);
            ++added;
        }
    }
    return added;
}

std::size_t PlotModel::Feed(const char* data, std::size_t size, int64_t msecs) {
    std::size_t added = 0;
    parser_.Feed(data, size, [&](const ParsedLine& line) { added += AddLine(line, msecs); });
    return added;
}

void PlotModel::Restart() {
    parser_.Reset();
    pendingHeader_.clear();
    afterNoise_ = false;
}

void PlotModel::Clear() {
    const char separator = parser_.Separator();
    parser_ = LineParser();
    parser_.SetSeparator(separator);
    store_.Clear();
    series_.clear();
    columns_.clear();
    names_.clear();
    lastLine_.clear();
    pendingHeader_.clear();  // the names of the columns stay: the device printed them once
    valuesWithoutSeries_ = 0;
    noiseLines_ = 0;
    afterNoise_ = false;
}

}  // namespace zenta::plot
