#include <gtest/gtest.h>

#include <string>

#include "datapath/HexInput.h"
#include "datapath/SendEncoding.h"

namespace zenta {
namespace {

using namespace std::string_literals;

TEST(HexInput, SpacesIgnoredAndOddDigitDropped) {
    EXPECT_EQ(ParseHexText("12 00 FF"), "\x12\x00\xFF"s);
    EXPECT_EQ(ParseHexText("1200ff"), "\x12\x00\xFF"s);
    EXPECT_EQ(ParseHexText("1 2 0 0 F F"), "\x12\x00\xFF"s);
    EXPECT_EQ(ParseHexText("1 2 3"), "\x12");
    EXPECT_EQ(ParseHexText("   "), "");
    EXPECT_EQ(HexPairToByte('a', 'B'), 0xAB);
    EXPECT_EQ(HexPairToByte('G', '1'), 0x01);  // non-digits count as 0
}

TEST(HexInput, FirstInvalidPositionIncludingLastAndTabs) {
    EXPECT_EQ(FindInvalidHexChar("12 G0"), 3u);
    EXPECT_EQ(FindInvalidHexChar("12 0G"), 4u);
    EXPECT_EQ(FindInvalidHexChar("12\t00"), 2u);
    EXPECT_EQ(FindInvalidHexChar("aF 09 "), std::nullopt);
}

TEST(Checksums, CheckValues) {
    EXPECT_EQ(ModbusCrc16("123456789"), 0x4B37);
    EXPECT_EQ(ChecksumBytes(ChecksumKind::ModbusCrc16, "123456789"), "\x37\x4B");
    EXPECT_EQ(ChecksumBytes(ChecksumKind::Add, "\x01\x02\x03"), "\xFA");
    EXPECT_EQ(ChecksumBytes(ChecksumKind::Xor, "\x01\x02\x03"), "\x00"s);
    EXPECT_EQ(ChecksumBytes(ChecksumKind::Add, "\x80\x80"), "\x00"s);
    EXPECT_EQ(ChecksumBytes(ChecksumKind::None, "abc"), "");
    EXPECT_EQ(ChecksumKindFromIndex(-1), ChecksumKind::None);
    EXPECT_EQ(ChecksumKindFromIndex(4), ChecksumKind::None);
    EXPECT_EQ(ChecksumKindFromIndex(2), ChecksumKind::Add);
}

TEST(Escapes, Table) {
    EXPECT_EQ(ApplyEscapes(R"(A\x41\n\q\)"), "\x41\x41\x0A\x5C\x71\x5C");
    EXPECT_EQ(ApplyEscapes(R"(\0\a\b\f\n\r\t\v)"), "\x00\x07\x08\x0C\x0A\x0D\x09\x0B"s);
    EXPECT_EQ(ApplyEscapes(R"(\x4)"), "");
    EXPECT_EQ(ApplyEscapes(R"(ab\x)"), "ab");
    EXPECT_EQ(ApplyEscapes(R"(\xff\xG1)"), "\xFF\x01");
    EXPECT_EQ(ApplyEscapes(R"(\\n)"), "\\\\n");
    // A double-byte character whose trail byte is 5Ch is text, not an escape.
    EXPECT_EQ(ApplyEscapes("\x95\x5Cn"), "\x95\x5Cn");
}

TEST(SendPayload, HexAndTextLines) {
    auto hex = BuildSendPayload("12 00 FF", true, true, ChecksumKind::None);
    EXPECT_EQ(hex.error, SendError::None);
    EXPECT_EQ(hex.bytes, "\x12\x00\xFF"s);  // no CR LF in HEX mode

    auto modbus = BuildSendPayload("01 03 00 00 00 01", true, false, ChecksumKind::ModbusCrc16);
    EXPECT_EQ(modbus.bytes, "\x01\x03\x00\x00\x00\x01\x84\x0A"s);

    auto text = BuildSendPayload("abc", false, true, ChecksumKind::Add);
    EXPECT_EQ(text.bytes, "abc\r\n\xC3");

    auto nothing = BuildSendPayload(R"(\x4)", false, false, ChecksumKind::None);
    EXPECT_EQ(nothing.error, SendError::None);
    EXPECT_TRUE(nothing.bytes.empty());
}

TEST(SendPayload, Refusals) {
    auto bad = BuildSendPayload("12 G0", true, false, ChecksumKind::None);
    EXPECT_EQ(bad.error, SendError::InvalidHex);
    EXPECT_EQ(bad.invalidPos, 3u);
    EXPECT_TRUE(bad.bytes.empty());

    EXPECT_EQ(BuildSendPayload("", false, true, ChecksumKind::Xor).error, SendError::EmptyLine);
    EXPECT_EQ(BuildSendPayload("   ", true, false, ChecksumKind::Xor).error,
              SendError::EmptyPayloadChecksum);
    EXPECT_EQ(BuildSendPayload(R"(\x4)", false, false, ChecksumKind::ModbusCrc16).error,
              SendError::EmptyPayloadChecksum);
    // The CR LF alone is a payload, so its checksum is fine.
    EXPECT_EQ(BuildSendPayload(R"(\x4)", false, true, ChecksumKind::Xor).bytes, "\r\n\x07");
}

}  // namespace
}  // namespace zenta
