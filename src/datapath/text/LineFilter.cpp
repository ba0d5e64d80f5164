#include "datapath/text/LineFilter.h"

#include <algorithm>

namespace zenta {

namespace {

constexpr std::size_t kHead = 64;

}  // namespace

void LineFilter::reset() {
    next_ = 0;
    head_.clear();
}

bool LineFilter::feed(std::u16string_view text, const TextMatcher& matcher, std::u16string& out,
                      std::size_t budget) {
    if (text.size() < next_ || text.substr(0, head_.size()) != head_)
        return false;
    if (head_.size() < kHead)
        head_ = std::u16string(text.substr(0, std::min(kHead, text.size())));
    const std::size_t stop = std::min(text.size(), next_ + std::max<std::size_t>(budget, 1));
    while (next_ < stop) {
        const std::size_t lf = text.find(u'\n', next_);
        if (lf == std::u16string_view::npos)
            break;
        const std::u16string_view line = text.substr(next_, lf - next_);
        if (matcher.matches(line))
            out.append(line).push_back(u'\n');
        next_ = lf + 1;
    }
    return true;
}

bool LineFilter::caughtUp(std::u16string_view text) const {
    return text.find(u'\n', next_) == std::u16string_view::npos;
}

}  // namespace zenta
