#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "datapath/text/TextSearch.h"

namespace zenta {

// Picks the lines of a growing text that match, a bounded amount of text per call, so
// that a filter over megabytes keeps the window answering. Only finished lines (ended
// by LF) are taken: the line being written may still change.
class LineFilter {
  public:
    // Starts again from the text's beginning.
    void reset();
    // Appends to `out` the matching finished lines of `text` not seen yet, reading at
    // most about `budget` units. False when `text` is not the one seen so far grown at
    // its end (cleared, trimmed, shown in another form): reset and start again then.
    bool feed(std::u16string_view text, const TextMatcher& matcher, std::u16string& out,
              std::size_t budget);
    // Everything finished has been read.
    bool caughtUp(std::u16string_view text) const;

  private:
    // Where the first line not read yet starts.
    std::size_t next_ = 0;
    // The start of the text as first seen, to notice a text that was replaced.
    std::u16string head_;
};

}  // namespace zenta
