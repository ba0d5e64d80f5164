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
    resumeAt_ = 0;
    head_.clear();
}

bool LiveMatches::update(std::u16string_view text, const TextMatcher& matcher) {
    const bool grown = searched_ && text.size() >= stable_ && text.size() >= head_.size() &&
                       text.substr(0, head_.size()) == head_;
    // Counting stopped at its limit: the count stays "that many or more".
    if (grown && list_.countCapped)
        return false;
    const bool whole = !grown;
    if (whole)
        reset();
    // What reached into the line being written is found again: that line may have been
    // rewritten, and a match may run on past its old end.
    const auto firstUnstable =
        std::partition_point(list_.matches.begin(), list_.matches.end(),
                             [this](const TextMatch& m) { return m.end() <= stable_; });
    list_.matches.erase(firstUnstable, list_.matches.end());
    list_.total = totalBeforeStable_;
    list_.capped = list_.matches.size() < list_.total;
    list_.countCapped = false;
    const std::size_t lf = text.rfind(u'\n');
    const std::size_t newStable = lf == std::u16string_view::npos ? 0 : lf + 1;
    // On from the end of the last match kept, as a search from the start would go.
    std::size_t from = resumeAt_;
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
        if (m->end() <= newStable) {
            ++totalBeforeStable_;
            resumeAt_ = m->end();
        }
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
