#include "datapath/text/LiveMatches.h"

#include <algorithm>

namespace zenta {

namespace {

constexpr std::size_t kHead = 64;

}  // namespace

void LiveMatches::reset() {
    list_ = MatchList{};
    searched_ = false;
    stable_ = 0;
    totalBeforeStable_ = 0;
    head_.clear();
}

bool LiveMatches::update(std::u16string_view text, const TextMatcher& matcher) {
    const bool grown = searched_ && text.size() >= stable_ &&
                       text.substr(0, std::min(head_.size(), text.size())) == head_ &&
                       text.size() >= head_.size();
    // Counting stopped at its limit: the count stays "that many or more".
    if (grown && list_.countCapped)
        return false;
    const bool whole = !grown;
    if (whole)
        reset();
    // What was found in the line being written is found again.
    list_.matches.erase(
        list_.matches.begin() + static_cast<std::ptrdiff_t>(list_.firstAtOrAfter(stable_)),
        list_.matches.end());
    list_.total = totalBeforeStable_;
    list_.capped = list_.matches.size() < list_.total;
    list_.countCapped = false;
    const std::size_t lf = text.rfind(u'\n');
    const std::size_t newStable = lf == std::u16string_view::npos ? 0 : lf + 1;
    std::size_t from = stable_;
    if (!list_.matches.empty())
        from = std::max(from, list_.matches.back().end());
    while (from <= text.size()) {
        auto m = matcher.next(text, from);
        if (!m)
            break;
        if (m->len == 0) {
            from = m->pos + 1;
            continue;
        }
        if (list_.total == counted_) {
            list_.countCapped = true;
            list_.capped = true;
            break;
        }
        ++list_.total;
        if (m->pos < newStable)
            ++totalBeforeStable_;
        if (list_.matches.size() < kept_ && !list_.capped)
            list_.matches.push_back(*m);
        else
            list_.capped = true;
        from = m->end();
    }
    stable_ = newStable;
    searched_ = true;
    head_ = std::u16string(text.substr(0, std::min(kHead, text.size())));
    return whole;
}

}  // namespace zenta
