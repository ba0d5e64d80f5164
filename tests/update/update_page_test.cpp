// Update page reading, version order, link bar geometry and which links may be opened.
#include <gtest/gtest.h>

#include <string>

#include "update/UpdatePage.h"

using zenta::CompareVersionBytes;
using zenta::ParseUpdatePage;

namespace {

std::string CrLf(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) {
        s += l;
        s += "\r\n";
    }
    return s;
}

}  // namespace

TEST(UpdatePage, ReadsAllFourteenLines) {
    const auto page = ParseUpdatePage(
        CrLf({"Home", "http://h/1", "Dev", "http://h/2", "Help", "https://h/3", "Get", "http://h/4",
              "Mail", "http://h/5", "5.08d3", "http://h/unused", "Faster charts", "http://h/dl"}));
    EXPECT_EQ(page.captions[0], "Home");
    EXPECT_EQ(page.captions[4], "Mail");
    EXPECT_EQ(page.links[2], "https://h/3");
    EXPECT_EQ(page.links[4], "http://h/5");
    EXPECT_EQ(page.version, "5.08d3");
    EXPECT_EQ(page.notice, "Faster charts");
    EXPECT_EQ(page.download, "http://h/dl");
}

TEST(UpdatePage, LinkIsFoundAnywhereAndShiftsTheLinesAfterIt) {
    // A caption line holding "http": its link starts there and the next caption is the
    // line that was meant as its link.
    const auto page =
        ParseUpdatePage(CrLf({"see http://a/x here", "http://a/1", "C3", "http://a/3"}));
    EXPECT_EQ(page.captions[0], "see http://a/x here");
    EXPECT_EQ(page.links[0], "http://a/x here");
    EXPECT_EQ(page.captions[1], "http://a/1");
    EXPECT_EQ(page.links[1], "http://a/1");
    EXPECT_EQ(page.captions[2], "C3");
    EXPECT_EQ(page.links[2], "http://a/3");
    EXPECT_EQ(page.captions[3], "");
}

TEST(UpdatePage, LfOnlyBodyFillsTheFirstLabelOnly) {
    const std::string body = "Home\nhttp://h/1\nDev\nhttp://h/2\n5.08d3\n";
    const auto page = ParseUpdatePage(body);
    EXPECT_EQ(page.captions[0], body);
    EXPECT_EQ(page.links[0], "http://h/1\nDev\nhttp://h/2\n5.08d3\n");
    for (int k = 1; k < 5; ++k) {
        EXPECT_EQ(page.captions[k], "");
        EXPECT_EQ(page.links[k], "");
    }
    EXPECT_EQ(page.version, "");
    EXPECT_LT(CompareVersionBytes(page.version, "5.08d2"), 0);
}

TEST(UpdatePage, WithoutAnyHttpEachLinkDropsOneCharacter) {
    const auto page = ParseUpdatePage("abcdefgh\r\nij");
    EXPECT_EQ(page.captions[0], "abcdefgh");
    EXPECT_EQ(page.captions[1], "bcdefgh");
    EXPECT_EQ(page.captions[4], "efgh");
    EXPECT_EQ(page.version, "fgh");
    EXPECT_EQ(page.notice, "gh");
    EXPECT_EQ(page.download, "");
}

TEST(UpdatePage, EmptyShortAndHostileBodies) {
    const auto empty = ParseUpdatePage("");
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(empty.captions[k], "");
        EXPECT_EQ(empty.links[k], "");
    }
    EXPECT_EQ(empty.version, "");
    // A link ended by a lone CR at the end of the body.
    const auto lone = ParseUpdatePage("A\r\nhttp://x\r");
    EXPECT_EQ(lone.links[0], "http://x");
    EXPECT_EQ(lone.captions[1], "");
    // Binary bytes, NULs and bytes above 0x7F pass through unchanged.
    const std::string binary("\x00\xff\x80http\x00\r\n\xfe", 11);
    const auto bin = ParseUpdatePage(binary);
    EXPECT_EQ(bin.captions[0], std::string("\x00\xff\x80http\x00", 8));
    EXPECT_EQ(bin.links[0], std::string("http\x00", 5));
    EXPECT_EQ(bin.captions[1], "\xfe");
}

TEST(VersionCompare, ByteOrderWithPrefixSmaller) {
    EXPECT_EQ(CompareVersionBytes("5.08d2", "5.08d2"), 0);
    EXPECT_GT(CompareVersionBytes("5.08a3", "5.08"), 0);
    EXPECT_GT(CompareVersionBytes("5.08d3", "5.08d2"), 0);
    EXPECT_GT(CompareVersionBytes("5.1", "5.08d2"), 0);
    EXPECT_LT(CompareVersionBytes("5.08", "5.08d2"), 0);
    EXPECT_LT(CompareVersionBytes("5.08a1", "5.08d2"), 0);
    EXPECT_LT(CompareVersionBytes("", "5.08d2"), 0);
    // Bytes count unsigned: 0xB0 is above every ASCII digit.
    EXPECT_GT(CompareVersionBytes("5.\xb0", "5.08d2"), 0);
}

TEST(LinkBar, WidthsFollowCaptionBytesAndNeverCutTheText) {
    const auto g = zenta::LayoutLinkBar({4, 0, 18, 2, 1}, {10, 0, 200, 5, 7}, 4);
    EXPECT_EQ(g.widths[0], 30);
    EXPECT_EQ(g.widths[1], 6);
    EXPECT_EQ(g.widths[2], 200);
    EXPECT_EQ(g.widths[3], 18);
    EXPECT_EQ(g.widths[4], 12);
    EXPECT_EQ(g.lefts[0], 4);
    EXPECT_EQ(g.lefts[1], 30);
    EXPECT_EQ(g.lefts[2], 36);
    EXPECT_EQ(g.lefts[4], 254);
    // A huge caption stays within what a widget can take.
    const auto big = zenta::LayoutLinkBar({std::size_t(1) << 40, 0, 0, 0, 0}, {}, 0);
    EXPECT_GT(big.widths[0], 0);
    EXPECT_LE(big.widths[0], 16777215);
}

TEST(LinkBar, OnlyWebAddressesAreOpened) {
    EXPECT_TRUE(zenta::IsWebLink("http://example.org/zenta"));
    EXPECT_TRUE(zenta::IsWebLink("HTTPS://example.org/a?b=c"));
    for (const char* bad : {"", "http", "http://", "httpx://evil", "http:evil", "http://a b",
                            "http://a\"b", "http://a\tb", "file:///etc/passwd", "http://a\x7f"}) {
        EXPECT_FALSE(zenta::IsWebLink(bad)) << bad;
    }
}
