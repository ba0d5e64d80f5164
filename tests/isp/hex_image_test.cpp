// Intel HEX loading: record rules, address mapping, checksums, reading the file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>

#include "isp/HexImage.h"
#include "isp/kit/IspHarness.h"

using namespace zenta::isp;

namespace {

const char* kExt = ":020000040800F2\n";

// Parses from a heap block of exactly the text's size, so a read past it is caught.
HexParseResult ParseExact(THexImage& image, const std::string& text) {
    auto block = std::make_unique<char[]>(text.size());
    std::memcpy(block.get(), text.data(), text.size());
    return image.Parse(std::string_view(block.get(), text.size()));
}

TEST(HexImage, RecordsPlaceDataRelativeToTheFlashBase) {
    THexImage image;
    ASSERT_EQ(ParseExact(image, std::string(kExt) + ":10000000000102030405060708090A0B0C0D0E0F78\n"
                                                    ":00000001FF\n")
                  .status,
              HexStatus::Ok);
    EXPECT_EQ(image.Length(), 16u);
    EXPECT_EQ(image.WrittenLength(), 256u);
    EXPECT_EQ(image.Data()[15], 0x0F);

    // Lower-case digits; a later record overwrites an earlier one.
    ASSERT_EQ(ParseExact(image, std::string(kExt) + ":0400000001020304f2\n:0100000009F6\n").status,
              HexStatus::Ok);
    EXPECT_EQ(image.Length(), 4u);
    EXPECT_EQ(image.Data()[0], 0x09);
    EXPECT_EQ(image.Data()[3], 0x04);

    // A single byte at 0x08000100: one block at its own address, the rest erased.
    ASSERT_EQ(ParseExact(image, std::string(kExt) + ":01010000AA54\n").status, HexStatus::Ok);
    EXPECT_EQ(image.Length(), 0x101u);
    EXPECT_EQ(image.Lowest(), 0x100u);
    EXPECT_EQ(image.WrittenLength(), 0x100u);
    EXPECT_EQ(image.Data()[0], 0xFF);  // the earlier load left nothing behind
    EXPECT_EQ(image.Data()[0x100], 0xAA);
    EXPECT_EQ(image.Data()[0x101], 0xFF);
}

TEST(HexImage, DataAtTheTopOfTheWindowIsHeldAndALaterLoadErasesIt) {
    THexImage image;
    // The last 16 bytes of the 10 MiB window: the buffer grows to hold their block.
    ASSERT_EQ(ParseExact(image, ":02000004089F53\n:04FFF000DEADBEEFD5\n").status, HexStatus::Ok);
    const std::vector<ImageRange> ranges = image.Ranges();
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].offset, kImageCapacity - 256);
    EXPECT_EQ(ranges[0].length, 256u);
    const std::uint8_t* block = image.Data() + ranges[0].offset;
    EXPECT_EQ(block[0], 0xFF);
    EXPECT_EQ(block[0xF0], 0xDE);
    EXPECT_EQ(block[0xF3], 0xEF);
    EXPECT_EQ(block[0xFF], 0xFF);

    ASSERT_EQ(ParseExact(image, std::string(kExt) + ":0100000009F6\n").status, HexStatus::Ok);
    EXPECT_EQ(image.Data()[0], 0x09);
    EXPECT_EQ(image.Data()[kImageCapacity - 16], 0xFF);  // kept, but erased
}

TEST(HexImage, BlocksWithDataMergeIntoRangesAndGapsAreSkipped) {
    THexImage image;
    // Bytes at 0x0800_0010, 0x0800_01FF, 0x0800_0200 and 0x0800_1000.
    const std::string text =
        std::string(kExt) + ":0100100011DE\n:0101FF0022DD\n:0102000033CA\n" + ":0110000044AB\n";
    ASSERT_EQ(ParseExact(image, text).status, HexStatus::Ok);
    const auto ranges = image.Ranges();
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].offset, 0u);
    EXPECT_EQ(ranges[0].length, 0x300u);
    EXPECT_EQ(ranges[1].offset, 0x1000u);
    EXPECT_EQ(ranges[1].length, 0x100u);
    EXPECT_EQ(image.WrittenLength(), 0x400u);
    std::uint32_t first = 0;
    EXPECT_TRUE(image.DataFrom(0x201, first));
    EXPECT_EQ(first, 0x1000u);
    EXPECT_FALSE(image.DataFrom(0x1001, first));
    EXPECT_FALSE(image.HasOutside());
}

TEST(HexImage, AddressesOutsideTheWindowStoreNothing) {
    THexImage image;
    // No extended address: below the flash base, and named.
    EXPECT_EQ(ParseExact(image, ":01002000558A\n").status, HexStatus::Ok);
    EXPECT_EQ(image.Length(), 0u);
    EXPECT_TRUE(image.HasOutside());
    EXPECT_EQ(image.Outside(), 0x20u);
    // A segment address reaches at most 0x10FFEF.
    EXPECT_EQ(ParseExact(image, ":020000021000EC\n:0100000055AA\n").status, HexStatus::Ok);
    EXPECT_EQ(image.Length(), 0u);
    // The last byte of the 10 MiB window is kept, the next one dropped.
    EXPECT_EQ(ParseExact(image, ":02000004089F53\n:01FFFF0011F0\n").status, HexStatus::Ok);
    EXPECT_EQ(image.Length(), kImageCapacity);
    EXPECT_EQ(image.Data()[kImageCapacity - 1], 0x11);
    EXPECT_EQ(ParseExact(image, ":0200000408A052\n:0100000011EE\n").status, HexStatus::Ok);
    EXPECT_EQ(image.Length(), 0u);
}

TEST(HexImage, CountAbove32IsNotHexEvenAfterGoodRecords) {
    THexImage image;
    const std::string full32 = ":20000000" + std::string(64, '0') + "E0\n";
    EXPECT_EQ(ParseExact(image, kExt + full32).status, HexStatus::Ok);
    EXPECT_EQ(image.Length(), 32u);
    const std::string over = ":21000000" + std::string(66, '0') + "DF\n";
    EXPECT_EQ(ParseExact(image, kExt + full32 + over).status, HexStatus::NotHex);
}

TEST(HexImage, WrongChecksumNamesItsLineAndIsNeverLoaded) {
    THexImage image;
    const HexParseResult r =
        ParseExact(image, std::string("; comment\r\n") + kExt + ":0100000055AB\r\n");
    EXPECT_EQ(r.status, HexStatus::BadChecksum);
    EXPECT_EQ(r.line, 3u);
    EXPECT_EQ(image.Data()[0], 0xFF);
}

TEST(HexImage, RecordCutShortIsRefusedWithItsLine) {
    THexImage image;
    // Cut in the data, in the checksum, and after the colon: nothing read past the text.
    for (const char* tail : {":04000000010203", ":0400000001020304", ":0", ":"}) {
        SCOPED_TRACE(tail);
        const HexParseResult r = ParseExact(image, std::string(kExt) + ":0100000055AA\n" + tail);
        EXPECT_EQ(r.status, HexStatus::CutShort);
        EXPECT_EQ(r.line, 3u);
    }
    EXPECT_EQ(ParseExact(image, "no records here").status, HexStatus::Ok);
    EXPECT_TRUE(image.Empty());
}

TEST(HexFile, ReadOnlyFilesLoadAndMissingOnesDoNot) {
    const std::string path = isp_test::WriteTempFile("ro.hex", std::string(kExt) + ":00000001FF\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    THexFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.Size(), 28u);
    std::string text;
    file.ReadText(text);
    EXPECT_EQ(text.size(), 28u);

    EXPECT_FALSE(file.Open(""));
    EXPECT_FALSE(file.Open("/nonexistent/x.hex"));
    EXPECT_FALSE(file.Open("/tmp"));
}

}  // namespace
