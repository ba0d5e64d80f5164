#include <gtest/gtest.h>

#include <string>

#include "datapath/ByteForms.h"
#include "datapath/ReceiveState.h"

namespace zenta {
namespace {

using namespace std::string_literals;

const TimeOfDay kTime{14, 3, 7, 125};

ReceiveOutput Feed(ReceiveState& st, std::string_view chunk, bool hex = false) {
    ReceiveInput in;
    in.chunk = chunk;
    in.hexDisplay = hex;
    return st.OnChunk(in);
}

ReceiveOutput FeedAt(ReceiveState& st, std::string_view chunk, std::uint32_t tick,
                     std::string_view timeout = "20", bool english = true) {
    ReceiveInput in;
    in.chunk = chunk;
    in.packetSplit = true;
    in.timeoutText = timeout;
    in.nowTickMs = tick;
    in.time = kTime;
    in.englishUI = english;
    return st.OnChunk(in);
}

TEST(ReceiveState, TextModeAccumulatesAllThreeForms) {
    ReceiveState st;
    EXPECT_EQ(Feed(st,
                   "A\x00"
                   "B\r\n"s)
                  .display,
              "A\\0B\r\n");
    EXPECT_EQ(st.rxRawAll,
              "A\x00"
              "B\r\n"s);
    EXPECT_EQ(st.HexAll(), "41 00 42 0D 0A ");
    EXPECT_EQ(st.rxTextAll, "A\\0B\r\n");
    EXPECT_EQ(st.rxCount, 5);
}

TEST(ReceiveState, SplitDoubleByteCharacterIsHeldBack) {
    ReceiveState st;
    EXPECT_EQ(Feed(st, "\xB0").display, "");
    EXPECT_FALSE(st.heldBytes.empty());
    EXPECT_EQ(Feed(st, "\xA1").display, "\xB0\xA1");
    EXPECT_TRUE(st.heldBytes.empty());

    EXPECT_EQ(Feed(st, "A\xB0\xA1").display, "A\xB0\xA1");
    EXPECT_TRUE(st.heldBytes.empty());

    EXPECT_EQ(Feed(st, "A\xB0").display, "A");
    EXPECT_EQ(Feed(st, "\r").display, "");  // nothing displayable: still held
    // The bare CR parts the bytes around it: they make no character together.
    EXPECT_EQ(Feed(st,
                   "\xA1"
                   "B")
                  .display,
              "\xB0\r\xA1"
              "B");
    // Pairs are counted from the start: B0 A1 B0 ends on a lead byte.
    EXPECT_EQ(Feed(st, "\xB0\xA1\xB0").display, "\xB0\xA1");
    EXPECT_EQ(Feed(st, "\xA1").display, "\xB0\xA1");
    EXPECT_EQ(st.rxTextAll,
              "\xB0\xA1"
              "A\xB0\xA1"
              "A\xB0\r\xA1"
              "B\xB0\xA1\xB0\xA1");
    EXPECT_EQ(st.rxCount, 14);
}

TEST(ReceiveState, HexDisplayAndModeSwitchText) {
    ReceiveState st;
    EXPECT_EQ(Feed(st, "12", true).display, "31 32 ");
    Feed(st, "\n", false);
    EXPECT_EQ(st.WindowText(true), "31 32 0A ");
    EXPECT_EQ(st.WindowText(false), "12\r\n");
}

TEST(ReceiveState, PacketHeaderOnlyAfterGapLongerThanTimeout) {
    ReceiveState st;
    const std::string header = "\r\n[14:03:07.125]IN\xA1\xFB\xA1\xF4";
    EXPECT_EQ(FeedAt(st, "a", 1000).display, header + "a");
    EXPECT_EQ(FeedAt(st, "b", 1005).display, "b");
    EXPECT_EQ(FeedAt(st, "c", 1025).display, "c");  // exactly the timeout: same packet
    EXPECT_EQ(FeedAt(st, "d", 1075).display, header + "d");
    EXPECT_EQ(st.rxTextAll, "abcd");  // headers never reach the accumulators

    // Chinese header, and a tick counter that wrapped around.
    st.lastRxTick = 0xFFFFFFF0u;
    EXPECT_EQ(FeedAt(st, "e", 5, "20", false).display,
              "\r\n[14:03:07.125]\xCA\xD5\xA1\xFB\xA1\xF4"
              "e");
}

TEST(ReceiveState, TimeoutThatIsNotANumberMeansOneMs) {
    ReceiveState st;
    st.lastRxTick = 100;
    EXPECT_EQ(FeedAt(st, "a", 101, "abc").display, "a");
    EXPECT_NE(FeedAt(st, "b", 103, "abc").display, "b");
}

TEST(ReceiveState, PacketSplitOffLeavesTimerAlone) {
    ReceiveState st;
    st.lastRxTick = 7;
    Feed(st, "x");
    EXPECT_EQ(st.lastRxTick, 7u);
}

TEST(ReceiveState, ClearKeepsHeldByteAndTimer) {
    ReceiveState st;
    FeedAt(st, "\xB0", 500);
    st.txCount = 9;
    st.Clear();
    EXPECT_TRUE(st.rxRawAll.empty() && st.HexAll().empty() && st.rxTextAll.empty());
    EXPECT_EQ(st.rxCount, 0);
    EXPECT_EQ(st.txCount, 0);
    EXPECT_EQ(st.lastRxTick, 500u);
    EXPECT_EQ(Feed(st, "\xA1").display, "\xB0\xA1");
}

// Feeds `total` bytes made by `gen` in chunks; returns the outputs' trimmed flags count.
int FeedMany(ReceiveState& st, std::size_t total, char (*gen)(std::size_t)) {
    int trims = 0;
    std::string chunk;
    for (std::size_t done = 0; done < total;) {
        const std::size_t n = std::min<std::size_t>(65536, total - done);
        chunk.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            chunk[i] = gen(done + i);
        }
        trims += Feed(st, chunk).trimmed ? 1 : 0;
        done += n;
    }
    return trims;
}

TEST(ReceiveState, TrimKeepsNewestBytesInAllThreeForms) {
    ReceiveState st;
    auto gen = [](std::size_t i) { return "ab\r\n\x00z"[i % 6]; };
    EXPECT_EQ(FeedMany(st, 5'000'000, gen), 0);
    EXPECT_EQ(st.rxCount, 5'000'000);
    EXPECT_TRUE(Feed(st, "!").trimmed);

    // The window keeps the newest bytes; the count goes on with the session.
    ASSERT_EQ(st.rxCount, 5'000'001);
    ASSERT_EQ(st.rxRawAll.size(), 100'000u);
    EXPECT_EQ(st.rxRawAll.back(), '!');
    EXPECT_EQ(st.rxRawAll.front(), gen(4'900'001));
    EXPECT_EQ(st.HexAll(), BytesToHex(st.rxRawAll));
    // The text window shows the display form, never raw NUL or CR bytes.
    EXPECT_EQ(st.WindowText(false), ToDisplayText(st.rxRawAll));

    Feed(st, "xyz");
    EXPECT_EQ(st.rxCount, 5'000'004);
    EXPECT_EQ(st.rxTextAll.substr(st.rxTextAll.size() - 4), "!xyz");
}

TEST(ReceiveState, TrimStartsTextOnCharacterBoundaryAndKeepsHeldByteOut) {
    ReceiveState st;
    // "XY", then B0 A1 pairs; with the last chunk the kept part begins on a trail byte.
    FeedMany(st, 5'000'000, [](std::size_t i) { return i < 2 ? 'X' : "\xB0\xA1"[i % 2]; });
    EXPECT_TRUE(st.heldBytes.empty());
    EXPECT_TRUE(Feed(st, "ZZ\xB0").trimmed);  // ends on a lead byte that is held back

    ASSERT_EQ(st.rxRawAll.size(), 100'000u);
    EXPECT_EQ(st.rxRawAll.front(), '\xA1');
    ASSERT_EQ(st.rxTextAll.size(), 99'998u);
    EXPECT_EQ(st.rxTextAll.front(), '\xB0');
    EXPECT_EQ(st.rxTextAll.substr(st.rxTextAll.size() - 3), "\xA1ZZ");
    EXPECT_EQ(Feed(st, "\xA1").display, "\xB0\xA1");
    EXPECT_EQ(st.rxTextAll.substr(st.rxTextAll.size() - 4), "ZZ\xB0\xA1");
}

// Window text as the receive window builds it: replaced on a trim, appended otherwise.
void FeedToWindow(ReceiveState& st, std::string& window, std::string_view chunk) {
    const ReceiveOutput out = Feed(st, chunk);
    if (out.trimmed) {
        window = st.WindowText(false);
    } else {
        window += out.display;
    }
}

TEST(ReceiveState, HeldLeadByteIsShownOnceAcrossTheTrim) {
    // The chunk that crosses the trim ends on a lead byte, alone or followed by bare CRs
    // (which stay, and part the lead byte from the trail byte after them).
    for (const std::string& tail : {"\xB0\r"s, "\xB0\r\r"s, "\xB0"s}) {
        ReceiveState st;
        std::string window;
        FeedMany(st, 4'999'990, [](std::size_t) { return 'a'; });
        FeedToWindow(st, window, "abcdefgh" + tail);
        FeedToWindow(st, window,
                     "\xA1"
                     "end");
        const std::string shown = "abcdefgh" + tail + "\xA1" + "end";
        EXPECT_EQ(window.substr(window.size() - shown.size()), shown);
        EXPECT_EQ(st.rxTextAll, window);  // HEX display on and off shows the same
        EXPECT_TRUE(st.heldBytes.empty());
    }
}

TEST(ReceiveState, TrimWithHexDisplayKeepsTheHeldLeadByte) {
    // The trim holds B0 back while HEX display is on; the next chunk, still in HEX
    // display, must take it, or the text after a switch loses it and pairs A1 with "|".
    ReceiveState st;
    FeedMany(st, 4'999'984, [](std::size_t) { return 'a'; });
    EXPECT_TRUE(Feed(st, std::string(17, 'Z') + "\xB0", true).trimmed);
    Feed(st, "\xA1|END\n", true);
    EXPECT_EQ(st.WindowText(false).substr(st.WindowText(false).size() - 10), "ZZ\xB0\xA1|END\r\n");
    Feed(st, "next-line\n", true);
    Feed(st, "\xB0", true);
    Feed(st, "\xA1!", false);  // held in HEX display, completed after the switch
    EXPECT_EQ(st.WindowText(false).substr(st.WindowText(false).size() - 19),
              "END\r\nnext-line\r\n\xB0\xA1!");
    EXPECT_EQ(st.HexAll(), BytesToHex(st.rxRawAll));
}

TEST(ReceiveState, TextFormDoesNotDependOnChunksOrDisplayMode) {
    // Random device-like bytes fed whole and in random chunks with random display
    // modes: the text form and the held byte are the same.
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int round = 0; round < 200; ++round) {
        std::string bytes(1 + next() % 300, '\0');
        for (char& c : bytes) {
            c = next() % 2 ? static_cast<char>(0x80 + next() % 0x80) : "A\r\n\x00"[next() % 4];
        }
        ReceiveState whole;
        Feed(whole, bytes);
        ReceiveState cut;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t n = std::min<std::size_t>(next() % 7, bytes.size() - at);
            Feed(cut, std::string_view(bytes).substr(at, n), next() % 2 == 0);
            at += n;
        }
        ASSERT_EQ(cut.rxTextAll, whole.rxTextAll) << "round " << round;
        ASSERT_EQ(cut.heldBytes, whole.heldBytes);
    }
}

}  // namespace
}  // namespace zenta
