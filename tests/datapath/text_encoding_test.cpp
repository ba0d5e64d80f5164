#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "datapath/ByteForms.h"
#include "datapath/PacketHeader.h"
#include "datapath/ReceiveState.h"
#include "datapath/SendEncoding.h"
#include "datapath/TypedLine.h"
#include "datapath/text/LineStamper.h"
#include "datapath/text/TextEncoding.h"
#include "datapath/text/Utf8.h"

namespace zenta {
namespace {

using namespace std::string_literals;

std::u16string DecodeInPieces(std::string_view bytes, const std::vector<std::size_t>& cuts) {
    Utf8Stream stream;
    std::u16string out;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const std::size_t to = i < cuts.size() ? cuts[i] : bytes.size();
        out += stream.Decode(bytes.substr(from, to - from));
        from = to;
    }
    return out;
}

TEST(Utf8Stream, EverySplitPointOfEachSequence) {
    // One-, two-, three- and four-byte characters, as a firmware log prints them.
    const std::string text =
        "T=25.3\xC2\xB0"
        "C \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80!";
    const std::u16string expected = u"T=25.3\u00B0C \u4E2D\u6587 \U0001F600!";
    EXPECT_EQ(DecodeInPieces(text, {}), expected);
    for (std::size_t a = 0; a <= text.size(); ++a) {
        for (std::size_t b = a; b <= text.size(); ++b) {
            ASSERT_EQ(DecodeInPieces(text, {a, b}), expected) << a << "," << b;
        }
    }
}

TEST(Utf8Stream, InvalidBytesShowOneReplacementEach) {
    const std::vector<std::pair<std::string, std::u16string>> cases = {
        {"\x80", u"\uFFFD"},                                // stray continuation
        {"\xC0\x80", u"\uFFFD\uFFFD"},                      // overlong NUL
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},            // overlong three bytes
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above 10FFFFh
        {"\xF5\xFF", u"\uFFFD\uFFFD"},                      // never a lead byte
        {"\xE4\xB8"
         "A",
         u"\uFFFD\uFFFDA"},           // broken off
        {"\xC3\xA9\xC3", u"\u00E9"},  // the last lead waits for its continuation
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(DecodeInPieces(in, {}), out);
        for (std::size_t cut = 0; cut <= in.size(); ++cut) {
            EXPECT_EQ(DecodeInPieces(in, {cut}), out) << cut;
        }
    }
}

TEST(Utf8Stream, RandomBytesDoNotDependOnChunking) {
    std::mt19937 rng(22);
    const std::string pool =
        "\xC2\xB0\xE4\xB8\xAD\xF0\x9F\x98\x80\x80\xBF\xED\xA0\xF4\x90"
        "Ab\n";
    for (int round = 0; round < 300; ++round) {
        std::string s(1 + rng() % 64, ' ');
        for (char& c : s) {
            c = rng() % 3 ? pool[rng() % pool.size()] : static_cast<char>(rng());
        }
        std::vector<std::size_t> cuts;
        for (std::size_t at = rng() % 4; at < s.size(); at += 1 + rng() % 5) {
            cuts.push_back(at);
        }
        Utf8Stream whole;
        const std::u16string once = whole.Decode(s);
        Utf8Stream pieces;
        std::u16string shown;
        std::size_t from = 0;
        for (std::size_t i = 0; i <= cuts.size(); ++i) {
            const std::size_t to = i < cuts.size() ? cuts[i] : s.size();
            shown += pieces.Decode(std::string_view(s).substr(from, to - from));
            from = to;
        }
        ASSERT_EQ(shown, once);
        ASSERT_EQ(pieces.held(), whole.held());
        // What is held is what the receive state holds back too.
        ASSERT_EQ(whole.held().size(), IncompleteTail(TextEncoding::Utf8, s));
    }
}

TEST(TextEncoding, EncodersAndNames) {
    EXPECT_EQ(EncodeUtf8(u"25.3\u00B0C \u4E2D \U0001F600"),
              "25.3\xC2\xB0"
              "C \xE4\xB8\xAD \xF0\x9F\x98\x80");
    EXPECT_EQ(EncodeUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(EncodeLatin1(u"\u00B5s \u4E2D\U0001F600"), "\xB5s ??");
    std::u16string latin(2, u'\0');
    DecodeLatin1("\xB0\x41", latin.data());
    EXPECT_EQ(latin, u"\u00B0A");

    for (const TextEncoding e : kAllTextEncodings) {
        EXPECT_EQ(TextEncodingFromName(TextEncodingName(e)), e);
    }
    EXPECT_EQ(TextEncodingFromName("utf8"), TextEncoding::Utf8);
    EXPECT_EQ(TextEncodingFromName("ISO-8859-1"), TextEncoding::Latin1);
    EXPECT_EQ(TextEncodingFromName("EBCDIC"), std::nullopt);

    EXPECT_EQ(IncompleteTail(TextEncoding::Gb18030, "a\xB0\xA1\xB0"), 1u);
    EXPECT_EQ(IncompleteTail(TextEncoding::Gb18030, "a\xB0\xA1"), 0u);
    EXPECT_EQ(IncompleteTail(TextEncoding::Utf8, "a\xE4\xB8"), 2u);
    EXPECT_EQ(IncompleteTail(TextEncoding::Utf8, "a\xE4\xB8\xAD"), 0u);
    EXPECT_EQ(IncompleteTail(TextEncoding::Utf8, "a\xE4\x41"), 0u);  // broken: shown now
    EXPECT_EQ(IncompleteTail(TextEncoding::Latin1, "a\xE4"), 0u);
}

TEST(TextEncoding, SendsAndTypedLinesFollowTheEncoding) {
    // GB18030 copies a double-byte character whole, so a trail byte of 5Ch is text;
    // in UTF-8 and Latin-1 a backslash after a high byte is an escape.
    EXPECT_EQ(ApplyEscapes("\xB0\\n"), "\xB0\\n");
    EXPECT_EQ(ApplyEscapes("\xE9\\n", TextEncoding::Latin1), "\xE9\n");
    EXPECT_EQ(ApplyEscapes("\xC2\xB0\\x41", TextEncoding::Utf8),
              "\xC2\xB0"
              "A");
    EXPECT_EQ(
        BuildSendPayload("\xE9\\t", false, true, ChecksumKind::None, TextEncoding::Latin1).bytes,
        "\xE9\t\r\n");
    EXPECT_EQ(BuildSendPayload("e9 5c", true, false, ChecksumKind::None, TextEncoding::Utf8).bytes,
              "\xE9\x5C");

    TypedLine line;
    line.setEncoding(TextEncoding::Utf8);
    line.OnKey("a", true);
    line.OnKey("\xE4\xB8\xAD", true);
    line.OnKey("\xF0\x9F\x98\x80", true);
    line.OnKey("\x08", true);
    EXPECT_EQ(line.text(), "a\xE4\xB8\xAD");
    line.OnKey("\x08", true);
    EXPECT_EQ(line.text(), "a");
    line.setEncoding(TextEncoding::Latin1);
    line.OnKey("\xE9\xE9", true);
    line.OnKey("\x08", true);
    EXPECT_EQ(line.text(), "a\xE9");
}

TEST(TextEncoding, PacketMarksAreInTheWindowsEncoding) {
    const TimeOfDay t{17, 46, 3, 125};
    EXPECT_EQ(ReceiveHeader(t, false, TextEncoding::Utf8),
              "\r\n[17:46:03.125]\xE6\x94\xB6\xE2\x86\x90\xE2\x97\x86");
    EXPECT_EQ(ReceiveHeader(t, true, TextEncoding::Latin1), "\r\n[17:46:03.125]IN<-*");
    EXPECT_EQ(SendEcho("ab", false, t, true, TextEncoding::Utf8),
              "\r\n[17:46:03.125]OUT\xE2\x86\x92\xE2\x97\x87"
              "ab\xE2\x96\xA1");
}

TEST(LineStamper, StampsEachLineWithItsFirstBytesTime) {
    const TimeOfDay t1{9, 5, 7, 3};
    const TimeOfDay t2{9, 5, 8, 250};
    LineStamper s;
    EXPECT_EQ(s.Stamp("ab", t1), "[09:05:07.003] ab");
    EXPECT_EQ(s.Stamp("c\nd\n", t2), "c\n[09:05:08.250] d\n");
    EXPECT_EQ(s.Stamp("", t2), "");
    EXPECT_EQ(s.Stamp("\n\nx", t1), "[09:05:07.003] \n[09:05:07.003] \n[09:05:07.003] x");

    // Cut anywhere, with one time for all: the same as the whole.
    const std::string stream = "one\r\ntwo\n\nthree\nfour";
    LineStamper whole;
    const std::string once = whole.Stamp(stream, t1);
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        LineStamper parts;
        std::string shown = parts.Stamp(stream.substr(0, cut), t1);
        shown += parts.Stamp(stream.substr(cut), t1);
        EXPECT_EQ(shown, once);
    }
}

// ---- the receive state in every encoding

ReceiveOutput Feed(ReceiveState& st, std::string_view chunk, bool hex = false) {
    ReceiveInput in;
    in.chunk = chunk;
    in.hexDisplay = hex;
    return st.OnChunk(in);
}

TEST(ReceiveEncoding, TextFormDoesNotDependOnChunksInAnyEncoding) {
    std::mt19937 rng(3101);
    const std::string pool =
        "\xC2\xB0\xE4\xB8\xAD\xF0\x9F\x98\x80\xB0\xA1\x81\x30"
        "A\r\n\x1b[0;32m";
    for (const TextEncoding e : kAllTextEncodings) {
        for (int round = 0; round < 200; ++round) {
            std::string bytes(1 + rng() % 200, ' ');
            for (char& c : bytes) {
                c = rng() % 4 ? pool[rng() % pool.size()] : static_cast<char>(rng());
            }
            ReceiveState whole;
            whole.encoding = e;
            const std::string shownOnce = Feed(whole, bytes).display;
            ReceiveState cut;
            cut.encoding = e;
            std::string shown;
            bool switched = false;
            for (std::size_t at = 0; at < bytes.size();) {
                const std::size_t n = std::min<std::size_t>(rng() % 7, bytes.size() - at);
                const bool hex = rng() % 4 == 0;
                switched = switched || hex;
                shown += Feed(cut, std::string_view(bytes).substr(at, n), hex).display;
                at += n;
            }
            ASSERT_EQ(cut.rxTextAll, whole.rxTextAll);
            ASSERT_EQ(cut.heldBytes, whole.heldBytes);
            ASSERT_EQ(cut.heldCr, whole.heldCr);
            ASSERT_EQ(whole.rxTextAll + whole.heldBytes + (whole.heldCr ? "\r" : ""),
                      ToDisplayText(bytes));
            if (!switched) {
                ASSERT_EQ(shown, shownOnce);
            }
        }
    }
}

TEST(ReceiveEncoding, Utf8TrimStartsOnACharacterAndHoldsTheOpenOne) {
    // Three-byte characters all the way: the kept bytes start inside one.
    ReceiveState st;
    st.encoding = TextEncoding::Utf8;
    std::string chunk;
    while (chunk.size() < 65535) {
        chunk += "\xE4\xB8\xAD";
    }
    std::size_t fed = 0;
    while (fed + chunk.size() <= 5'000'001) {
        Feed(st, chunk);
        fed += chunk.size();
    }
    const std::string last = chunk.substr(0, 5'000'001 - fed) + "!\xE6\x96";
    EXPECT_TRUE(Feed(st, last).trimmed);
    ASSERT_EQ(st.rxRawAll.size(), ReceiveState::kTrimKeep);
    // 5,000,004 bytes: the kept part starts 4,900,004 bytes in, two bytes into a
    // character, whose last byte is left out.
    EXPECT_EQ(st.rxTextAll.substr(0, 3), "\xE4\xB8\xAD");
    EXPECT_EQ(st.rxTextAll.size() % 3, 1u);  // whole characters and "!"
    EXPECT_EQ(st.heldBytes, "\xE6\x96");
    EXPECT_EQ(Feed(st, "\x87").display, "\xE6\x96\x87");
}

}  // namespace
}  // namespace zenta
