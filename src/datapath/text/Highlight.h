#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datapath/text/TextSearch.h"
#include "datapath/text/TextStyle.h"

namespace zenta {

// Colours drawn over a stretch of the window's text, never stored in it: 0 keeps the
// text's own colour, else TextStyle::kSet | 0xRRGGBB.
struct HighlightSpan {
    std::size_t from = 0;
    std::size_t to = 0;
    std::uint32_t fg = 0;
    std::uint32_t bg = 0;
};

// The style a character is drawn in under a highlight.
TextStyle Highlighted(TextStyle style, std::uint32_t fg, std::uint32_t bg);

// The highlights of one stretch of text (a row being painted), a style per unit; a
// span added later is drawn over the earlier ones.
class SpanOverlay {
  public:
    void reset(std::size_t from, std::size_t to);
    void add(const HighlightSpan& span);
    bool empty() const { return !any_; }
    TextStyle apply(std::size_t offset, const TextStyle& style) const {
        if (!any_ || offset < from_ || offset - from_ >= cells_.size())
            return style;
        const Cell& c = cells_[offset - from_];
        return c.fg == 0 && c.bg == 0 ? style : Highlighted(style, c.fg, c.bg);
    }

  private:
    struct Cell {
        std::uint32_t fg = 0;
        std::uint32_t bg = 0;
    };
    std::size_t from_ = 0;
    std::vector<Cell> cells_;
    bool any_ = false;
};

// A user's rule: text or a regular expression, and the colour its matches get.
struct HighlightRule {
    std::u16string pattern;
    bool regex = false;
    bool matchCase = false;
    std::uint32_t colour = 0xFF0000;  // 0xRRGGBB
    bool background = false;          // the colour fills the cells, else it draws the text
    bool operator==(const HighlightRule&) const = default;
};

// A rule ready to run; the matcher is made by whoever knows regular expressions.
struct ActiveRule {
    std::unique_ptr<TextMatcher> matcher;
    HighlightRule rule;
};

// Spans of every rule's matches on the lines that touch [from, to) of `text`. Only a
// bounded stretch around the range is searched, so a megabyte line costs no more than a
// screen; earlier rules are drawn over later ones.
void CollectRuleSpans(std::u16string_view text, std::size_t from, std::size_t to,
                      const std::vector<ActiveRule>& rules, std::vector<HighlightSpan>& out);

// Spans of the kept matches of a find that touch [from, to); the current match (an
// index into the list, or none) in its own colours.
void CollectFindSpans(const MatchList& matches, std::size_t from, std::size_t to,
                      std::size_t current, std::vector<HighlightSpan>& out);

// Find colours: a yellow under every match, orange under the current one.
inline constexpr std::uint32_t kFindBackground = TextStyle::kSet | 0xFFEB3B;
inline constexpr std::uint32_t kCurrentFindBackground = TextStyle::kSet | 0xFF9632;
inline constexpr std::uint32_t kFindForeground = TextStyle::kSet | 0x000000;

}  // namespace zenta
