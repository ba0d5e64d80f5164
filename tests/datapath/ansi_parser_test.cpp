#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datapath/ReceiveState.h"
#include "datapath/text/AnsiParser.h"
#include "datapath/text/StyleRuns.h"

namespace zenta {
namespace {

struct Parsed {
    std::u16string text;
    std::vector<StyleMark> marks;
};

std::u16string U16(std::string_view ascii) {
    return {ascii.begin(), ascii.end()};
}

// Feeds `in` in pieces cut at `cuts`, as the window gets it.
Parsed Parse(std::string_view in, const std::vector<std::size_t>& cuts = {}) {
    AnsiParser parser;
    Parsed out;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const std::size_t to = i < cuts.size() ? cuts[i] : in.size();
        const std::u16string piece = U16(in.substr(from, to - from));
        parser.Feed(piece, out.text, out.marks);
        from = to;
    }
    return out;
}

bool operator==(const Parsed& a, const Parsed& b) {
    if (a.text != b.text || a.marks.size() != b.marks.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.marks.size(); ++i) {
        if (a.marks[i].offset != b.marks[i].offset || !(a.marks[i].style == b.marks[i].style)) {
            return false;
        }
    }
    return true;
}

TextStyle StyleAfter(std::string_view in) {
    AnsiParser parser;
    for (const char c : in) {
        parser.Step(static_cast<unsigned char>(c));
    }
    return parser.style();
}

constexpr std::uint32_t kSet = TextStyle::kSet;

TEST(AnsiParser, SgrSetsColoursAndAttributes) {
    EXPECT_EQ(StyleAfter("\x1b[31m").fg, kSet | 0xCD0000);
    EXPECT_EQ(StyleAfter("\x1b[92m").fg, kSet | 0x00FF00);
    EXPECT_EQ(StyleAfter("\x1b[44m").bg, kSet | 0x0000EE);
    EXPECT_EQ(StyleAfter("\x1b[103m").bg, kSet | 0xFFFF00);
    EXPECT_EQ(StyleAfter("\x1b[38;5;196m").fg, kSet | 0xFF0000);  // cube corner
    EXPECT_EQ(StyleAfter("\x1b[48;5;232m").bg, kSet | 0x080808);  // first grey
    EXPECT_EQ(StyleAfter("\x1b[38;5;9m").fg, kSet | 0xFF0000);    // basic, bright
    EXPECT_EQ(StyleAfter("\x1b[38;2;1;2;3m").fg, kSet | 0x010203);
    EXPECT_EQ(StyleAfter("\x1b[48;2;255;128;0m").bg, kSet | 0xFF8000);
    EXPECT_EQ(StyleAfter("\x1b[38:2:1:2:3m").fg, kSet | 0x010203);  // colon form

    const TextStyle all = StyleAfter("\x1b[1;4;7;32;41m");
    EXPECT_TRUE(all.has(TextStyle::Bold) && all.has(TextStyle::Underline) &&
                all.has(TextStyle::Inverse));
    EXPECT_EQ(all.fg, kSet | 0x00CD00);
    EXPECT_EQ(all.bg, kSet | 0xCD0000);
    EXPECT_TRUE(StyleAfter("\x1b[1;32;41m\x1b[0m").plain());
    EXPECT_TRUE(StyleAfter("\x1b[1;32;41m\x1b[m").plain());  // empty means 0
    EXPECT_TRUE(StyleAfter("\x1b[1;4;7;32;41m\x1b[22;24;27;39;49m").plain());
    // Malformed extended colours change nothing and stop the reading of the rest.
    EXPECT_TRUE(StyleAfter("\x1b[38;5m").plain());
    EXPECT_TRUE(StyleAfter("\x1b[38;7;1m").plain());
    EXPECT_EQ(StyleAfter("\x1b[38;5;300m").fg, 0u);
    // Private or intermediate forms are not SGR.
    EXPECT_TRUE(StyleAfter("\x1b[?31m").plain());
    EXPECT_TRUE(StyleAfter("\x1b[31 m").plain());

    // What a log line looks like: colour, text, reset.
    const Parsed p = Parse("\x1b[0;32mI (25) app: 25.3C\x1b[0m\r\n");
    EXPECT_EQ(p.text, u"I (25) app: 25.3C\r\n");
    ASSERT_EQ(p.marks.size(), 2u);
    EXPECT_EQ(p.marks[0].offset, 0u);
    EXPECT_EQ(p.marks[0].style.fg, kSet | 0x00CD00);
    EXPECT_EQ(p.marks[1].offset, 17u);
    EXPECT_TRUE(p.marks[1].style.plain());
}

TEST(AnsiParser, OtherSequencesAreHidden) {
    const std::vector<std::string> hidden = {"\x1b[2K",
                                             "\x1b[10;5H",
                                             "\x1b[?25l",
                                             "\x1b[1A",
                                             "\x1b]0;title\x07",
                                             "\x1b]2;t\x1b\\",
                                             "\x1bPq#0\x1b\\",
                                             "\x1b"
                                             "7",
                                             "\x1b(B",
                                             "\x1b\x1b[J"};
    for (const std::string& seq : hidden) {
        EXPECT_EQ(Parse("a" + seq + "b").text, u"ab") << seq.substr(1);
    }
}

TEST(AnsiParser, EverySplitPointGivesTheSameResult) {
    const std::vector<std::string> streams = {
        "x\x1b[0;1;38;2;10;20;30;48;5;123mcolour\x1b[0m.",
        "\x1b]0;a title\x1b\\y\x1b[2Kz",
        "\x1b[31ma\x1b\x1b[32mb\x1b[1\nc",
    };
    for (const std::string& s : streams) {
        const Parsed whole = Parse(s);
        for (std::size_t cut = 0; cut <= s.size(); ++cut) {
            EXPECT_TRUE(Parse(s, {cut}) == whole) << "cut at " << cut;
        }
        std::vector<std::size_t> each;
        for (std::size_t i = 1; i < s.size(); ++i) {
            each.push_back(i);
        }
        EXPECT_TRUE(Parse(s, each) == whole);
    }
}

TEST(AnsiParser, BrokenAndOverlongSequencesNeverHideWhatFollows) {
    // A control character ends a sequence unfinished and shows.
    EXPECT_EQ(Parse("a\x1b[12\nb").text, u"a\nb");
    EXPECT_EQ(Parse("a\x1b]0;never ended\r\nb").text, u"a\r\nb");
    EXPECT_EQ(Parse("a\x1b\nb").text, u"a\nb");
    // A sequence past the limit is given up at that unit; the rest shows.
    const std::string params(AnsiParser::kMaxSequence + 10, '1');
    EXPECT_EQ(Parse("\x1b[" + params + "mtail").text,
              U16(params.substr(AnsiParser::kMaxSequence - 2) + "mtail"));
    const std::string title(AnsiParser::kMaxSequence * 2, 't');
    const Parsed osc = Parse("\x1b]0;" + title);
    EXPECT_EQ(osc.text.size(), title.size() - (AnsiParser::kMaxSequence - 4));
    // Non-ASCII inside a sequence ends it too (it is text).
    const std::u16string in = u"\x1b[3\u00B0C";
    AnsiParser parser;
    Parsed p;
    parser.Feed(in, p.text, p.marks);
    EXPECT_EQ(p.text, u"\u00B0C");
}

TEST(AnsiParser, AMegabyteOfEscapesKeepsOnlyTheText) {
    std::string s;
    std::u16string expected;
    while (s.size() < (1u << 20)) {
        s += "\x1b[1;38;5;208m";
        s += "\x1b[K";
        s += "\x1b]0;t\x07";
        s += "ab";
        s += "\x1b[0m";
        expected += u"ab";
    }
    const Parsed p = Parse(s, {s.size() / 3, s.size() / 2 + 1});
    EXPECT_EQ(p.text, expected);
    // A reset followed by the same colour before any text is no change.
    EXPECT_EQ(p.marks.size(), 1u);
}

TEST(AnsiParser, StyleSequenceRestoresAStyle) {
    for (const char* seq : {"\x1b[1;4;7;38;5;33;48;2;9;8;7m", "\x1b[35m", "\x1b[0m"}) {
        const TextStyle style = StyleAfter(seq);
        EXPECT_EQ(StyleAfter(AnsiParser::StyleSequence(style)), style) << seq + 1;
    }
    EXPECT_EQ(AnsiParser::StyleSequence(TextStyle{}), "");
}

TEST(StyleRuns, EditsMoveAndSplitTheMarks) {
    TextStyle red;
    red.fg = kSet | 0xFF0000;
    StyleRuns runs;
    runs.setFrom(2, red);  // "ab" plain, then red
    runs.setFrom(6, TextStyle{});
    runs.setFrom(6, TextStyle{});  // no change, no mark
    ASSERT_EQ(runs.marks().size(), 2u);

    runs.splice(4, 0, 3);  // typed into the red stretch: plain, then red again
    EXPECT_EQ(runs.at(3), red);
    EXPECT_TRUE(runs.at(4).plain() && runs.at(6).plain());
    EXPECT_EQ(runs.at(7), red);
    EXPECT_EQ(runs.at(8), red);
    EXPECT_TRUE(runs.at(9).plain());

    runs.splice(1, 7, 0);  // removes most of it: what followed keeps its style
    EXPECT_TRUE(runs.at(0).plain());
    EXPECT_EQ(runs.at(1), red);
    EXPECT_TRUE(runs.at(2).plain());
}

// ---- colours and the trim

ReceiveOutput Feed(ReceiveState& st, std::string_view chunk) {
    ReceiveInput in;
    in.chunk = chunk;
    return st.OnChunk(in);
}

void FeedFiller(ReceiveState& st, std::size_t total) {
    const std::string line(63, 'x');
    std::string chunk;
    while (chunk.size() < 65536) {
        chunk += line + "\n";
    }
    for (std::size_t done = 0; done < total;) {
        const std::size_t n = std::min(chunk.size(), total - done);
        Feed(st, std::string_view(chunk).substr(0, n));
        done += n;
    }
}

TEST(AnsiTrim, TextAfterTheTrimStartsInTheColoursInForce) {
    ReceiveState st;
    Feed(st, "\x1b[1;32mgreen from here\n");
    FeedFiller(st, 4'999'000);
    EXPECT_TRUE(Feed(st, std::string(2000, 'y')).trimmed);
    const std::string prefix = AnsiParser::StyleSequence(StyleAfter("\x1b[1;32m"));
    EXPECT_EQ(st.rxTextAll.substr(0, prefix.size()), prefix);

    // Without colours the text is the kept bytes' text form, as before.
    ReceiveState plain;
    plain.ansiColours = false;
    Feed(plain, "\x1b[1;32mgreen from here\n");
    FeedFiller(plain, 4'999'000);
    Feed(plain, std::string(2000, 'y'));
    EXPECT_EQ(plain.rxTextAll.substr(0, 3), "xxx");
}

TEST(AnsiTrim, ASequenceCutByTheTrimShowsNothingOfItself) {
    // The kept bytes start inside "\x1b[1;31m" at every possible point.
    const std::string seq = "\x1b[1;31m";
    for (std::size_t inside = 1; inside < seq.size(); ++inside) {
        ReceiveState st;
        const std::size_t total = 5'000'001;
        const std::size_t seqAt = total - ReceiveState::kTrimKeep - inside;
        FeedFiller(st, seqAt);
        Feed(st, seq + "red");
        FeedFiller(st, total - seqAt - seq.size() - 3);
        ASSERT_EQ(st.rxRawAll.size(), ReceiveState::kTrimKeep);  // trimmed
        const std::string prefix = AnsiParser::StyleSequence(StyleAfter(seq));
        EXPECT_EQ(st.rxTextAll.substr(0, prefix.size() + 3), prefix + "red") << inside;
    }
}

}  // namespace
}  // namespace zenta
