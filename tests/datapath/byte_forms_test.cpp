#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datapath/ByteForms.h"
#include "datapath/HexInput.h"

namespace zenta {
namespace {

using namespace std::string_literals;

TEST(ByteForms, HexFormOfEveryByteParsesBack) {
    EXPECT_EQ(BytesToHex("\x12\x00\xFF"s), "12 00 FF ");
    EXPECT_EQ(BytesToHex(""), "");
    std::string all;
    for (int i = 0; i < 256; ++i) {
        all.push_back(static_cast<char>(i));
    }
    const std::string hex = BytesToHex(all);
    ASSERT_EQ(hex.size(), 768u);
    EXPECT_EQ(hex.substr(0x41 * 3, 3), "41 ");
    EXPECT_EQ(ParseHexText(hex), all);
}

TEST(ByteForms, DisplayTextRewritesNulCrLf) {
    EXPECT_EQ(ToDisplayText("A\x00"
                            "B\r\n"s),
              "A\\0B\r\n");
    EXPECT_EQ(ToDisplayText("\r\r\n\n\x00"s), "\r\r\n\r\n\\0");
    EXPECT_EQ(ToDisplayText("10%\r20%\r"s), "10%\r20%\r");
    EXPECT_EQ(ToDisplayText("plain \xB0\xA1 text"), "plain \xB0\xA1 text");
    EXPECT_EQ(ToDisplayText(""), "");
}

TEST(ByteForms, LongInputReportsEachPercentOnceAndConvertsAll) {
    std::string input;
    for (int i = 0; i < 12345; ++i) {
        input.push_back("ab\r\n\x00xyz"[i % 8]);
    }
    std::vector<std::pair<ProgressEvent, int>> events;
    const std::string withProgress =
        ToDisplayText(input, [&](ProgressEvent e, int p) { events.emplace_back(e, p); });
    EXPECT_EQ(withProgress, ToDisplayText(input));

    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front(), std::make_pair(ProgressEvent::Start, 0));
    EXPECT_EQ(events.back().first, ProgressEvent::End);
    // Steps are 1..99: index*100/(length+1) never reaches 100.
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events[i].first, ProgressEvent::Step);
        EXPECT_EQ(events[i].second, static_cast<int>(i));
    }
    EXPECT_EQ(events.size(), 101u);

    events.clear();
    ToDisplayText(std::string(9999, 'a'),
                  [&](ProgressEvent e, int p) { events.emplace_back(e, p); });
    EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace zenta
