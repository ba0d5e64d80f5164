#include "datapath/text/TextSearch.h"

#include <algorithm>

namespace zenta {

namespace {

// Units past this never fold (FoldCase's ranges end below it).
constexpr char16_t kFoldEnd = 0x0530;

bool isHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

char16_t upperHex(char16_t c) {
    return c >= u'a' && c <= u'f' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

}  // namespace

char16_t FoldCase(char16_t c) {
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    if (c >= kFoldEnd)
        return c;
    // Latin-1 capitals, leaving out the multiplication sign.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 32);
    // Greek capitals (no letter at 0x3A2).
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return static_cast<char16_t>(c + 32);
    // Cyrillic: Ѐ-Џ, А-Я, then pairs from Ѡ to ԯ (capital even, small odd).
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 80);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<char16_t>(c + 32);
    if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) &&
        c % 2 == 0) {
        return static_cast<char16_t>(c + 1);
    }
    return c;
}

LiteralMatcher::LiteralMatcher(std::u16string_view needle, bool matchCase)
    : needle_(needle), matchCase_(matchCase) {
    if (matchCase_ || needle_.empty())
        return;
    for (char16_t& c : needle_)
        c = FoldCase(c);
    // The first unit is looked for in its two forms (at most two units fold to one in
    // the ranges that fold); the rest is compared folded.
    first_ = other_ = needle_[0];
    for (char16_t u = 0; u < kFoldEnd; ++u) {
        if (u != first_ && FoldCase(u) == first_) {
            other_ = u;
            break;
        }
    }
}

std::optional<TextMatch> LiteralMatcher::next(std::u16string_view text, std::size_t from) const {
    const std::size_t n = needle_.size();
    if (n == 0 || from > text.size() || text.size() - from < n)
        return std::nullopt;
    if (matchCase_) {
        const std::size_t at = text.find(needle_, from);
        if (at == std::u16string_view::npos)
            return std::nullopt;
        return TextMatch{at, n};
    }
    const char16_t first = first_;
    const char16_t other = other_;
    const char16_t* t = text.data();
    const std::size_t last = text.size() - n;
    for (std::size_t i = from; i <= last; ++i) {
        if (t[i] != first && t[i] != other)
            continue;
        std::size_t k = 1;
        while (k < n && FoldCase(t[i + k]) == needle_[k])
            ++k;
        if (k == n)
            return TextMatch{i, n};
    }
    return std::nullopt;
}

std::optional<std::u16string> HexBytesMatcher::Normalize(std::u16string_view query) {
    std::u16string digits;
    for (std::size_t i = 0; i < query.size(); ++i) {
        const char16_t c = query[i];
        if (c == u' ' || c == u',' || c == u'\t')
            continue;
        // "0x0d": the prefix, when it starts a byte.
        if (c == u'0' && i + 1 < query.size() && (query[i + 1] == u'x' || query[i + 1] == u'X') &&
            digits.size() % 2 == 0) {
            ++i;
            continue;
        }
        if (!isHexDigit(c))
            return std::nullopt;
        digits.push_back(upperHex(c));
    }
    if (digits.empty() || digits.size() % 2 != 0)
        return std::nullopt;
    std::u16string out;
    out.reserve(digits.size() / 2 * 3);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        if (i > 0)
            out.push_back(u' ');
        out.push_back(digits[i]);
        out.push_back(digits[i + 1]);
    }
    return out;
}

HexBytesMatcher::HexBytesMatcher(std::u16string_view normalized) : literal_(normalized, false) {}

std::optional<TextMatch> HexBytesMatcher::next(std::u16string_view text, std::size_t from) const {
    // "0D 0A" has digits, digits, space...: it lands on byte pairs as long as it does
    // not start on the second digit of one.
    while (auto m = literal_.next(text, from)) {
        if (m->pos == 0 || !isHexDigit(text[m->pos - 1]))
            return m;
        from = m->pos + 1;
    }
    return std::nullopt;
}

std::size_t MatchList::firstAtOrAfter(std::size_t pos) const {
    return static_cast<std::size_t>(
        std::partition_point(matches.begin(), matches.end(),
                             [pos](const TextMatch& m) { return m.pos < pos; }) -
        matches.begin());
}

std::pair<std::size_t, std::size_t> MatchList::touching(std::size_t from, std::size_t to) const {
    // Matches never overlap, so their ends are sorted too.
    const auto first = std::partition_point(matches.begin(), matches.end(),
                                            [from](const TextMatch& m) { return m.end() <= from; });
    const auto last =
        std::partition_point(first, matches.end(), [to](const TextMatch& m) { return m.pos < to; });
    return {static_cast<std::size_t>(first - matches.begin()),
            static_cast<std::size_t>(last - matches.begin())};
}

namespace {

// The next match that is not empty: an empty one (a regex such as "x*") shows nothing.
std::optional<TextMatch> nextNonEmpty(std::u16string_view text, const TextMatcher& matcher,
                                      std::size_t from) {
    while (from <= text.size()) {
        auto m = matcher.next(text, from);
        if (!m || m->len > 0)
            return m;
        from = m->pos + 1;
    }
    return std::nullopt;
}

}  // namespace

MatchList FindAll(std::u16string_view text, const TextMatcher& matcher, std::size_t cap,
                  std::size_t countLimit) {
    countLimit = std::max(cap, countLimit);
    MatchList out;
    std::size_t from = 0;
    while (auto m = nextNonEmpty(text, matcher, from)) {
        if (out.total == countLimit) {
            out.countCapped = true;
            out.capped = true;
            break;
        }
        ++out.total;
        if (out.matches.size() < cap)
            out.matches.push_back(*m);
        else
            out.capped = true;
        from = m->end();
    }
    return out;
}

std::optional<TextMatch> FindNext(std::u16string_view text, const TextMatcher& matcher,
                                  std::size_t pos) {
    if (auto m = nextNonEmpty(text, matcher, std::min(pos, text.size())))
        return m;
    return pos > 0 ? nextNonEmpty(text, matcher, 0) : std::nullopt;
}

std::optional<TextMatch> FindPrevious(std::u16string_view text, const TextMatcher& matcher,
                                      std::size_t pos) {
    // Searched backwards in growing windows: the match before the caret is usually near,
    // and the whole text is read at most about twice.
    auto lastBefore = [&](std::size_t from, std::size_t before) -> std::optional<TextMatch> {
        std::optional<TextMatch> found;
        while (auto m = nextNonEmpty(text, matcher, from)) {
            if (m->pos >= before)
                break;
            found = m;
            from = m->end();
        }
        return found;
    };
    pos = std::min(pos, text.size());
    std::size_t window = 64 * 1024;
    for (std::size_t start = pos;;) {
        start = start > window ? start - window : 0;
        if (auto m = lastBefore(start, pos))
            return m;
        if (start == 0)
            break;
        window *= 2;
    }
    // Round the end: the last match of the whole text, if it lies past `pos`.
    if (auto m = lastBefore(pos, text.size() + 1))
        return m;
    return std::nullopt;
}

}  // namespace zenta
