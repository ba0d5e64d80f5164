#include "datapath/text/Highlight.h"

#include <algorithm>

namespace zenta {

namespace {

// How far around the painted range rules look for the start or end of a line.
constexpr std::size_t kLineReach = 1024;

}  // namespace

TextStyle Highlighted(TextStyle style, std::uint32_t fg, std::uint32_t bg) {
    // Inverse text shows its colours swapped: undo that first, so the highlight's
    // colours land where they are meant to.
    if (style.has(TextStyle::Inverse)) {
        std::swap(style.fg, style.bg);
        style.flags &= static_cast<std::uint8_t>(~TextStyle::Inverse);
    }
    if (fg != 0)
        style.fg = fg;
    if (bg != 0)
        style.bg = bg;
    return style;
}

void SpanOverlay::reset(std::size_t from, std::size_t to) {
    from_ = from;
    cells_.assign(to > from ? to - from : 0, Cell{});
    any_ = false;
}

void SpanOverlay::add(const HighlightSpan& span) {
    const std::size_t a = std::max(span.from, from_);
    const std::size_t b = std::min(span.to, from_ + cells_.size());
    for (std::size_t i = a; i < b; ++i) {
        Cell& c = cells_[i - from_];
        if (span.fg != 0)
            c.fg = span.fg;
        if (span.bg != 0)
            c.bg = span.bg;
        any_ = true;
    }
}

void CollectRuleSpans(std::u16string_view text, std::size_t from, std::size_t to,
                      const std::vector<ActiveRule>& rules, std::vector<HighlightSpan>& out) {
    if (rules.empty() || from >= text.size())
        return;
    to = std::min(to, text.size());
    // Whole lines where they are short; a bounded reach where they are not.
    std::size_t start = from;
    const std::size_t floor = from > kLineReach ? from - kLineReach : 0;
    while (start > floor && text[start - 1] != u'\n')
        --start;
    std::size_t end = to;
    const std::size_t ceiling = std::min(text.size(), to + kLineReach);
    while (end < ceiling && text[end] != u'\n')
        ++end;
    const std::u16string_view piece = text.substr(start, end - start);
    // Later rules first, so the first rule is drawn last, on top.
    for (auto r = rules.rbegin(); r != rules.rend(); ++r) {
        if (!r->matcher)
            continue;
        const std::uint32_t colour = TextStyle::kSet | (r->rule.colour & 0xFFFFFF);
        std::size_t pos = 0;
        while (auto m = r->matcher->next(piece, pos)) {
            if (m->len == 0) {
                pos = m->pos + 1;
                continue;
            }
            if (start + m->end() > from && start + m->pos < to) {
                out.push_back({start + m->pos, start + m->end(), r->rule.background ? 0 : colour,
                               r->rule.background ? colour : 0});
            }
            pos = m->end();
        }
    }
}

void CollectFindSpans(const MatchList& matches, std::size_t from, std::size_t to,
                      std::size_t current, std::vector<HighlightSpan>& out) {
    const auto [a, b] = matches.touching(from, to);
    for (std::size_t i = a; i < b; ++i) {
        const TextMatch& m = matches.matches[i];
        out.push_back({m.pos, m.end(), kFindForeground,
                       i == current ? kCurrentFindBackground : kFindBackground});
    }
}

}  // namespace zenta
