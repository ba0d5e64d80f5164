#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "datapath/text/TextSearch.h"

namespace zenta {

// The matches of a find in a text that keeps growing at its end, the way the receive
// window grows: each update searches only what came since the last one (from the start
// of the line that was being written then, which may have been rewritten). A text that
// did not just grow (cleared, trimmed, shown in another form) is searched again whole.
class LiveMatches {
  public:
    LiveMatches(std::size_t kept, std::size_t counted) : kept_(kept), counted_(counted) {}

    void reset();
    // Brings the list up to `text`; true when it was searched from the start.
    bool update(std::u16string_view text, const TextMatcher& matcher);
    const MatchList& list() const { return list_; }

  private:
    std::size_t kept_;
    std::size_t counted_;
    MatchList list_;
    bool searched_ = false;
    // Start of the line being written at the last update, the matches that end before
    // it, and where the search goes on after the last of them.
    std::size_t stable_ = 0;
    std::size_t totalBeforeStable_ = 0;
    std::size_t resumeAt_ = 0;
    // The text's start as seen, to notice a replaced text.
    std::u16string head_;
};

}  // namespace zenta
