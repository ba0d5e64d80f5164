#include <gtest/gtest.h>

#include <string>

#include "datapath/text/TextSearch.h"

using namespace zenta;

namespace {

std::vector<std::size_t> starts(const MatchList& list) {
    std::vector<std::size_t> out;
    for (const TextMatch& m : list.matches)
        out.push_back(m.pos);
    return out;
}

// A log as a firmware prints it: boot lines, levels, a CJK message.
const std::u16string kLog =
    u"[00:00:01.002] <inf> main: Booting Zephyr OS\n"
    u"[00:00:01.010] <err> i2c: ERROR bus stuck\n"
    u"[00:00:01.020] <inf> test: PASS 3/3\n"
    u"[00:00:01.030] <wrn> 温度传感器 error 0x1F\n"
    u"uart:~$ Error: unknown command\n";

}  // namespace

TEST(TextSearch, LiteralWithAndWithoutCase) {
    EXPECT_EQ(starts(FindAll(kLog, LiteralMatcher(u"ERROR", true), 100)),
              (std::vector<std::size_t>{kLog.find(u"ERROR")}));
    const MatchList any = FindAll(kLog, LiteralMatcher(u"error", false), 100);
    ASSERT_EQ(any.matches.size(), 3u);
    EXPECT_EQ(any.matches[2].pos, kLog.find(u"Error:"));
    EXPECT_EQ(any.matches[2].len, 5u);
    EXPECT_FALSE(any.capped);
    // CJK has no case; Latin-1, Greek and Cyrillic capitals fold.
    EXPECT_EQ(FindAll(kLog, LiteralMatcher(u"传感器", false), 10).matches.size(), 1u);
    const std::u16string mixed = u"ÄRGER ärger ΣΦ σφ ПРИВЕТ привет ×÷";
    EXPECT_EQ(FindAll(mixed, LiteralMatcher(u"ärger", false), 10).matches.size(), 2u);
    EXPECT_EQ(FindAll(mixed, LiteralMatcher(u"σφ", false), 10).matches.size(), 2u);
    EXPECT_EQ(FindAll(mixed, LiteralMatcher(u"Привет", false), 10).matches.size(), 2u);
    EXPECT_EQ(FindAll(mixed, LiteralMatcher(u"÷", false), 10).matches.size(), 1u);
    EXPECT_EQ(FindAll(mixed, LiteralMatcher(u"ärger", true), 10).matches.size(), 1u);
}

TEST(TextSearch, EdgesOfTheTextAndOfTheNeedle) {
    // Matches do not overlap; a needle at the very start and end is found.
    EXPECT_EQ(starts(FindAll(u"aaaaa", LiteralMatcher(u"aa", true), 10)),
              (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(starts(FindAll(u"ab", LiteralMatcher(u"ab", false), 10)),
              (std::vector<std::size_t>{0}));
    EXPECT_TRUE(FindAll(u"a", LiteralMatcher(u"ab", true), 10).matches.empty());
    EXPECT_TRUE(FindAll(u"", LiteralMatcher(u"a", false), 10).matches.empty());
    // An empty query finds nothing rather than everything.
    EXPECT_TRUE(FindAll(kLog, LiteralMatcher(u"", true), 10).matches.empty());
    EXPECT_FALSE(FindNext(kLog, LiteralMatcher(u"", true), 5).has_value());
    EXPECT_FALSE(LiteralMatcher(u"x", true).next(u"abc", 7).has_value());
}

TEST(TextSearch, CapKeepsTheFirstMatchesAndSaysMoreFollow) {
    std::u16string text;
    for (int i = 0; i < 1000; ++i)
        text += u"OK\n";
    const MatchList list = FindAll(text, LiteralMatcher(u"ok", false), 100);
    EXPECT_EQ(list.matches.size(), 100u);
    EXPECT_TRUE(list.capped);
    EXPECT_EQ(list.matches.back().pos, 99u * 3);
    EXPECT_EQ(list.firstAtOrAfter(4), 2u);
    EXPECT_EQ(list.firstAtOrAfter(100000), 100u);
    // Matches touching [4, 10): "OK" at 3 (ends at 5), 6, 9.
    EXPECT_EQ(list.touching(4, 10), (std::pair<std::size_t, std::size_t>{1, 4}));
    EXPECT_EQ(list.touching(2, 3), (std::pair<std::size_t, std::size_t>{1, 1}));
    EXPECT_EQ(list.total, 100u);
    EXPECT_TRUE(list.countCapped);
    // Counted beyond the kept ones, up to the count limit.
    const MatchList counted = FindAll(text, LiteralMatcher(u"ok", false), 100, 600);
    EXPECT_EQ(counted.matches.size(), 100u);
    EXPECT_EQ(counted.total, 600u);
    EXPECT_TRUE(counted.capped);
    EXPECT_TRUE(counted.countCapped);
    const MatchList all = FindAll(text, LiteralMatcher(u"ok", false), 100, 5000);
    EXPECT_EQ(all.total, 1000u);
    EXPECT_FALSE(all.countCapped);
    // Exactly cap matches is not capped.
    EXPECT_FALSE(FindAll(text, LiteralMatcher(u"OK", true), 1000).capped);
}

TEST(TextSearch, NextAndPreviousWrapRound) {
    const LiteralMatcher err(u"error", false);
    const std::size_t first = kLog.find(u"ERROR");
    const std::size_t second = kLog.find(u"error");
    const std::size_t third = kLog.find(u"Error");
    EXPECT_EQ(FindNext(kLog, err, 0)->pos, first);
    EXPECT_EQ(FindNext(kLog, err, first + 1)->pos, second);
    EXPECT_EQ(FindNext(kLog, err, third + 1)->pos, first);  // round the end
    EXPECT_EQ(FindPrevious(kLog, err, third)->pos, second);
    EXPECT_EQ(FindPrevious(kLog, err, first)->pos, third);  // round the start
    EXPECT_EQ(FindPrevious(kLog, err, kLog.size())->pos, third);
    EXPECT_FALSE(FindNext(kLog, LiteralMatcher(u"absent", true), 0).has_value());
    EXPECT_FALSE(FindPrevious(kLog, LiteralMatcher(u"absent", true), 9).has_value());

    // Far apart in a large text: the backward search widens until it finds one.
    std::u16string big(3'000'000, u'.');
    big.replace(10, 4, u"MARK");
    big.replace(2'999'000, 4, u"MARK");
    const LiteralMatcher mark(u"mark", false);
    EXPECT_EQ(FindPrevious(big, mark, 2'000'000)->pos, 10u);
    EXPECT_EQ(FindPrevious(big, mark, 5)->pos, 2'999'000u);
    EXPECT_EQ(FindNext(big, mark, 11)->pos, 2'999'000u);
}

TEST(TextSearch, HexQueriesAreWholeBytes) {
    EXPECT_EQ(HexBytesMatcher::Normalize(u"0d 0a"), std::u16string(u"0D 0A"));
    EXPECT_EQ(HexBytesMatcher::Normalize(u"0D0A"), std::u16string(u"0D 0A"));
    EXPECT_EQ(HexBytesMatcher::Normalize(u" 0x0d,0x0A "), std::u16string(u"0D 0A"));
    EXPECT_EQ(HexBytesMatcher::Normalize(u"ff"), std::u16string(u"FF"));
    EXPECT_FALSE(HexBytesMatcher::Normalize(u"0D0").has_value());  // half a byte
    EXPECT_FALSE(HexBytesMatcher::Normalize(u"0G").has_value());
    EXPECT_FALSE(HexBytesMatcher::Normalize(u"  ").has_value());
    EXPECT_FALSE(HexBytesMatcher::Normalize(u"0x").has_value());
}

TEST(TextSearch, HexBytesFoundOnByteBoundariesOnly) {
    const std::u16string hex = u"30 D0 A1 0D 0A 00 D0 AD 0D 0A \n[12:00:01.5]0D 0A ";
    const HexBytesMatcher crlf(*HexBytesMatcher::Normalize(u"0d0a"));
    EXPECT_EQ(starts(FindAll(hex, crlf, 10)),
              (std::vector<std::size_t>{9, 24, hex.find(u"]0D") + 1}));
    // "D0 A" inside "0D 0A 00 D0 AD": only whole bytes "D0 AD".
    const HexBytesMatcher d0ad(*HexBytesMatcher::Normalize(u"d0ad"));
    EXPECT_EQ(starts(FindAll(hex, d0ad, 10)), (std::vector<std::size_t>{18}));
    // A packet header's digits are no bytes: "23" inside "123" is skipped, the byte 23
    // after it is found.
    const std::u16string header = u"[10:20:30.123]23 ";
    EXPECT_EQ(starts(FindAll(header, HexBytesMatcher(u"23"), 10)), (std::vector<std::size_t>{14}));
}

namespace {

// A matcher that can return empty matches, as a regular expression such as "x*" does.
class StarMatcher : public TextMatcher {
  public:
    std::optional<TextMatch> next(std::u16string_view text, std::size_t from) const override {
        if (from > text.size())
            return std::nullopt;
        std::size_t end = from;
        while (end < text.size() && text[end] == u'x')
            ++end;
        return TextMatch{from, end - from};
    }
};

}  // namespace

TEST(TextSearch, EmptyMatchesAreSkipped) {
    const std::u16string text = u"axxbxc";
    const StarMatcher star;
    EXPECT_EQ(starts(FindAll(text, star, 10)), (std::vector<std::size_t>{1, 4}));
    EXPECT_EQ(FindNext(text, star, 2)->pos, 2u);
    EXPECT_EQ(FindNext(text, star, 5)->pos, 1u);
    EXPECT_EQ(FindPrevious(text, star, 4)->pos, 1u);
    EXPECT_FALSE(FindAll(u"abc", star, 10).capped);
    EXPECT_TRUE(FindAll(u"abc", star, 10).matches.empty());
}
