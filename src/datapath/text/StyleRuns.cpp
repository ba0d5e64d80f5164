#include "datapath/text/StyleRuns.h"

#include <algorithm>

namespace zenta {

namespace {

bool Before(const StyleMark& m, std::size_t offset) {
    return m.offset < offset;
}

}  // namespace

void StyleRuns::setFrom(std::size_t offset, const TextStyle& style) {
    while (!marks_.empty() && marks_.back().offset >= offset) {
        marks_.pop_back();
    }
    const TextStyle current = marks_.empty() ? TextStyle{} : marks_.back().style;
    if (!(current == style)) {
        marks_.push_back({offset, style});
    }
}

TextStyle StyleRuns::at(std::size_t offset) const {
    const std::size_t k = nextAfter(offset);
    return k == 0 ? TextStyle{} : marks_[k - 1].style;
}

std::size_t StyleRuns::nextAfter(std::size_t offset) const {
    auto it = std::upper_bound(marks_.begin(), marks_.end(), offset,
                               [](std::size_t o, const StyleMark& m) { return o < m.offset; });
    return static_cast<std::size_t>(it - marks_.begin());
}

void StyleRuns::splice(std::size_t pos, std::size_t removed, std::size_t inserted,
                       const TextStyle& style) {
    if (marks_.empty() && style.plain()) {
        return;
    }
    const TextStyle before = pos > 0 ? at(pos - 1) : TextStyle{};
    const TextStyle after = at(pos + removed);
    // Marks inside the replaced stretch go; the ones after it move.
    auto first = std::lower_bound(marks_.begin(), marks_.end(), pos, Before);
    auto last = std::upper_bound(first, marks_.end(), pos + removed,
                                 [](std::size_t o, const StyleMark& m) { return o < m.offset; });
    const auto at = first - marks_.begin();
    marks_.erase(first, last);
    for (auto k = static_cast<std::size_t>(at); k < marks_.size(); ++k) {
        marks_[k].offset = marks_[k].offset - removed + inserted;
    }
    std::vector<StyleMark> add;
    TextStyle current = before;
    if (inserted > 0 && !(current == style)) {
        add.push_back({pos, style});
        current = style;
    }
    if (!(current == after)) {
        add.push_back({pos + inserted, after});
    }
    marks_.insert(marks_.begin() + at, add.begin(), add.end());
}

}  // namespace zenta
