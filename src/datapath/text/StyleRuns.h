#pragma once

#include <cstddef>
#include <vector>

#include "datapath/text/TextStyle.h"

namespace zenta {

// Styles of a text as sorted marks: a mark's style lasts until the next mark; text
// before the first mark is plain. Appending at the end is O(1); an edit in the middle
// moves the marks after it.
class StyleRuns {
  public:
    void clear() { marks_.clear(); }
    bool empty() const { return marks_.empty(); }
    const std::vector<StyleMark>& marks() const { return marks_; }

    // Text from `offset` on has `style`; `offset` is at or after every mark.
    void setFrom(std::size_t offset, const TextStyle& style);
    TextStyle at(std::size_t offset) const;
    // Index of the first mark after `offset` (marks().size() when none).
    std::size_t nextAfter(std::size_t offset) const;
    // The text's [pos, pos + removed) was replaced by `inserted` units drawn in `style`
    // (plain for typing).
    void splice(std::size_t pos, std::size_t removed, std::size_t inserted,
                const TextStyle& style = TextStyle{});

  private:
    std::vector<StyleMark> marks_;
};

}  // namespace zenta
