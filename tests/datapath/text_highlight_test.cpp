#include <gtest/gtest.h>

#include <string>

#include "datapath/text/Highlight.h"
#include "datapath/text/LineFilter.h"
#include "datapath/text/LiveMatches.h"

using namespace zenta;

namespace {

std::u16string lines(int from, int to) {
    std::u16string out;
    for (int i = from; i < to; ++i) {
        const std::string n = std::to_string(i);
        out += (i % 5 == 0 ? u"E: fault " : u"I: ok ") + std::u16string(n.begin(), n.end()) + u"\n";
    }
    return out;
}

}  // namespace

TEST(LiveMatches, FollowsAGrowingTextAndItsRewrittenLastLine) {
    const LiteralMatcher fault(u"fault", true);
    LiveMatches live(1000, 1000);
    std::u16string text = lines(0, 20) + u"E: fau";
    EXPECT_TRUE(live.update(text, fault));
    EXPECT_EQ(live.list().total, 4u);
    // The line being written ends as a match; a match in it then gets rewritten away.
    text += u"lt 20\n";
    EXPECT_FALSE(live.update(text, fault));
    EXPECT_EQ(live.list().total, 5u);
    text += u"fault";
    live.update(text, fault);
    EXPECT_EQ(live.list().total, 6u);
    text.resize(text.size() - 5);
    text += u"again\n" + lines(21, 40);
    EXPECT_FALSE(live.update(text, fault));
    // Same as searching the whole text afresh.
    const MatchList fresh = FindAll(text, fault, 1000);
    EXPECT_EQ(live.list().total, fresh.total);
    EXPECT_EQ(live.list().matches, fresh.matches);
    // A match that ran on into the line being written is found again once it ends.
    const LiteralMatcher across(u"1\nE", true);
    LiveMatches live2(1000, 1000);
    live2.update(u"I: ok 1\n", across);
    live2.update(u"I: ok 1\nE: fault 2\n", across);
    EXPECT_EQ(live2.list().total, 1u);
    // A replaced text (cleared, trimmed, HEX) is searched again whole.
    EXPECT_TRUE(live.update(lines(30, 40), fault));
    EXPECT_EQ(live.list().total, 2u);
    EXPECT_TRUE(live.update(u"", fault));
    EXPECT_EQ(live.list().total, 0u);
}

TEST(LiveMatches, KeepsAndCountsWithinItsLimits) {
    const LiteralMatcher ok(u"ok", true);
    LiveMatches live(10, 50);
    std::u16string text = lines(0, 40);  // 32 "ok" lines
    live.update(text, ok);
    EXPECT_EQ(live.list().matches.size(), 10u);
    EXPECT_TRUE(live.list().capped);
    EXPECT_EQ(live.list().total, 32u);
    EXPECT_FALSE(live.list().countCapped);
    text += lines(40, 80);
    live.update(text, ok);
    EXPECT_EQ(live.list().matches.size(), 10u);
    EXPECT_EQ(live.list().total, 50u);
    EXPECT_TRUE(live.list().countCapped);
    // Once the count stopped, more text changes nothing.
    text += lines(80, 90);
    live.update(text, ok);
    EXPECT_EQ(live.list().total, 50u);
}

TEST(LineFilter, TakesFinishedMatchingLinesInBoundedSteps) {
    const LiteralMatcher fault(u"fault", true);
    LineFilter filter;
    std::u16string text = lines(0, 12) + u"E: fault 12";  // last line not finished
    std::u16string out;
    // A budget smaller than a line still reads a whole line per call.
    int calls = 0;
    while (!filter.caughtUp(text)) {
        ASSERT_TRUE(filter.feed(text, fault, out, 1));
        ASSERT_LT(++calls, 100);
    }
    EXPECT_EQ(out, u"E: fault 0\nE: fault 5\nE: fault 10\n");
    text += u"\nI: ok 13\n";
    ASSERT_TRUE(filter.feed(text, fault, out, 1 << 20));
    EXPECT_EQ(out, u"E: fault 0\nE: fault 5\nE: fault 10\nE: fault 12\n");
    // A text that is not this one grown says so.
    EXPECT_FALSE(filter.feed(u"I: ok 99\n", fault, out, 1 << 20));
    filter.reset();
    out.clear();
    EXPECT_TRUE(filter.feed(u"", fault, out, 10));
    EXPECT_TRUE(out.empty());
}

TEST(Highlight, OverlayLayersSpansOverTheTextStyle) {
    SpanOverlay overlay;
    overlay.reset(100, 110);
    EXPECT_TRUE(overlay.empty());
    const std::uint32_t red = TextStyle::kSet | 0xFF0000;
    const std::uint32_t yellow = TextStyle::kSet | 0xFFEB3B;
    overlay.add({90, 103, red, 0});        // clipped to the row
    overlay.add({102, 105, 0, yellow});    // keeps the red letters where they overlap
    overlay.add({120, 130, red, yellow});  // off the row
    EXPECT_FALSE(overlay.empty());
    TextStyle bold;
    bold.flags = TextStyle::Bold;
    EXPECT_EQ(overlay.apply(100, bold).fg, red);
    EXPECT_TRUE(overlay.apply(100, bold).has(TextStyle::Bold));
    EXPECT_EQ(overlay.apply(102, bold).fg, red);
    EXPECT_EQ(overlay.apply(102, bold).bg, yellow);
    EXPECT_EQ(overlay.apply(104, bold).fg, 0u);
    EXPECT_EQ(overlay.apply(105, bold), bold);
    EXPECT_EQ(overlay.apply(99, bold), bold);
    EXPECT_EQ(overlay.apply(115, bold), bold);
    // Inverse text shows the highlight, not its swapped colours.
    TextStyle inverse;
    inverse.fg = TextStyle::kSet | 0x00FF00;
    inverse.flags = TextStyle::Inverse;
    const TextStyle shown = overlay.apply(102, inverse);
    EXPECT_FALSE(shown.has(TextStyle::Inverse));
    EXPECT_EQ(shown.bg, yellow);
    EXPECT_EQ(shown.fg, red);
}

TEST(Highlight, RuleSpansCoverTheLinesOfTheRangeOnly) {
    std::vector<ActiveRule> rules;
    rules.push_back({std::make_unique<LiteralMatcher>(u"fault", true),
                     HighlightRule{u"fault", false, true, 0xFF0000, false}});
    rules.push_back({std::make_unique<LiteralMatcher>(u"e: f", false),
                     HighlightRule{u"e: f", false, false, 0x00FF00, true}});
    rules.push_back({nullptr, HighlightRule{}});  // a rule that did not compile
    const std::u16string text = lines(0, 20);
    const std::size_t line5 = text.find(u"E: fault 5");
    std::vector<HighlightSpan> out;
    // A range in the middle of line 5's text still sees the whole line.
    CollectRuleSpans(text, line5 + 2, line5 + 7, rules, out);
    ASSERT_EQ(out.size(), 2u);
    // The first rule comes last: it is drawn on top.
    EXPECT_EQ(out[0].from, line5);
    EXPECT_EQ(out[0].bg, TextStyle::kSet | 0x00FF00);
    EXPECT_EQ(out[1].from, line5 + 3);
    EXPECT_EQ(out[1].to, line5 + 8);
    EXPECT_EQ(out[1].fg, TextStyle::kSet | 0xFF0000);
    out.clear();
    CollectRuleSpans(text, text.size(), text.size() + 5, rules, out);
    EXPECT_TRUE(out.empty());
    // A line of megabytes is searched only around the range.
    const std::u16string huge = std::u16string(4'000'000, u'x') + u"fault";
    CollectRuleSpans(huge, 0, 100, rules, out);
    EXPECT_TRUE(out.empty());
    CollectRuleSpans(huge, huge.size() - 10, huge.size(), rules, out);
    EXPECT_EQ(out.size(), 1u);

    MatchList found = FindAll(text, LiteralMatcher(u"fault", true), 100);
    out.clear();
    CollectFindSpans(found, line5, line5 + 1000, 1, out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0].bg, kCurrentFindBackground);
    EXPECT_EQ(out[1].bg, kFindBackground);
}
