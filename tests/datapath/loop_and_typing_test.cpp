#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "datapath/LoopSend.h"
#include "datapath/TermKeys.h"
#include "datapath/TypedLine.h"
#include "datapath/text/AnsiParser.h"

namespace zenta {
namespace {

std::array<bool, 50> AllEmpty() {
    std::array<bool, 50> e;
    e.fill(true);
    return e;
}

TEST(LoopSend, WalksNonEmptyEntriesAndWaitsWhileClosed) {
    auto empty = AllEmpty();
    empty[0] = false;
    empty[2] = false;
    LoopSendState st;
    std::vector<std::optional<int>> sent;
    for (int i = 0; i < 3; ++i) {
        sent.push_back(LoopSendTick(st, true, empty));
    }
    EXPECT_EQ(sent, (std::vector<std::optional<int>>{0, 2, 0}));

    const LoopSendState before = st;
    EXPECT_EQ(LoopSendTick(st, false, empty), std::nullopt);
    EXPECT_EQ(st.loopPosition, before.loopPosition);
    EXPECT_EQ(st.loopEmptyCount, before.loopEmptyCount);
    EXPECT_EQ(LoopSendTick(st, true, empty), 2);
}

TEST(LoopSend, AllEmptySendsNothingAndKeepsGoing) {
    const auto empty = AllEmpty();
    LoopSendState st;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(LoopSendTick(st, true, empty), std::nullopt);
        EXPECT_EQ(st.loopEmptyCount, 0);
    }
    auto one = AllEmpty();
    one[49] = false;
    EXPECT_EQ(LoopSendTick(st, true, one), 49);
    EXPECT_EQ(LoopSendTick(st, true, one), 49);
}

TEST(TypedLine, EnterSendsLineWithCrLfOnlyWhileOpen) {
    TypedLine t;
    EXPECT_EQ(t.OnKey("a", false), std::nullopt);
    EXPECT_EQ(t.OnKey("b", false), std::nullopt);
    EXPECT_EQ(t.OnKey("\r", false), std::nullopt);  // closed: the line keeps growing
    for (char c : {'\x01', '\x03', '\x0A', '\x16', '\x18', '\x1A', '\x7F'}) {
        EXPECT_EQ(t.OnKey(std::string(1, c), true), std::nullopt);
    }
    EXPECT_EQ(t.text(), "ab\r");
    EXPECT_EQ(t.OnKey("c", true), std::nullopt);
    EXPECT_EQ(t.OnKey("\r", true), "ab\rc\r\n");
    EXPECT_TRUE(t.text().empty());
}

TEST(TypedLine, ControlKeysAreRefusedAndTheLineEndIsChosen) {
    TypedLine t;
    // Esc, Ctrl+D, Ctrl+L, Ctrl+F used to ride unseen in the next line.
    for (char c : {'\x1b', '\x04', '\x0c', '\x06'}) {
        EXPECT_EQ(t.OnKey(std::string(1, c), true), std::nullopt);
        EXPECT_TRUE(t.refused());
    }
    EXPECT_EQ(t.OnKey("ls", true), std::nullopt);
    EXPECT_FALSE(t.refused());
    EXPECT_EQ(t.OnKey("\r", true), "ls\r\n");
    for (LineEnd e : {LineEnd::Cr, LineEnd::Lf, LineEnd::None, LineEnd::CrLf}) {
        t.setLineEnd(e);
        t.OnKey("x", true);
        EXPECT_EQ(t.OnKey("\r", true), "x" + std::string(LineEndBytes(e)));
        EXPECT_EQ(LineEndFromName(LineEndName(e)), e);
    }
}

TEST(TermKeys, EverySequenceIsOneWholeEscapeSequence) {
    // A device's parser must see each key as one sequence: the window's own parser
    // takes each as a sequence that ends exactly at its last byte.
    for (int k = 0; k <= static_cast<int>(TermKey::F12); ++k) {
        const std::string_view seq = TermKeySequence(static_cast<TermKey>(k));
        AnsiParser parser;
        for (char c : seq) {
            EXPECT_TRUE(parser.Step(static_cast<unsigned char>(c))) << k;
        }
        EXPECT_FALSE(parser.InSequence()) << k;
    }
    EXPECT_EQ(ControlCharacter('c'), '\x03');
    EXPECT_EQ(ControlCharacter('['), '\x1b');
    EXPECT_EQ(ControlCharacter('1'), std::nullopt);
}

TEST(TypedLine, BackspaceRemovesWholeLastCharacter) {
    TypedLine t;
    t.OnKey("\x08", true);  // nothing to remove
    t.OnKey("a", true);
    t.OnKey("\xCE\xC2", true);          // two-byte character
    t.OnKey("\x81\x30\x81\x30", true);  // four-byte character
    t.OnKey("\x08", true);
    EXPECT_EQ(t.text(), "a\xCE\xC2");
    t.OnKey("\x08", true);
    EXPECT_EQ(t.text(), "a");
    t.OnKey("b", true);
    EXPECT_EQ(t.OnKey("\r", true), "ab\r\n");
}

}  // namespace
}  // namespace zenta
