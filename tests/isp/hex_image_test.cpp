// Intel HEX loading: record rules, address mapping, damaged files, reading the file.
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

    // Lower-case digits; a record that repeats bytes already set, with the same values.
    ASSERT_EQ(ParseExact(image, std::string(kExt) + ":0400000001020304f2\n:0100000001FE\n").status,
              HexStatus::Ok);
    EXPECT_EQ(image.Length(), 4u);
    EXPECT_EQ(image.Data()[0], 0x01);
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

TEST(HexImage, RecordsOfUpTo255BytesAndEveryRecordTypeAreRead) {
    THexImage image;
    std::string big = ":FF000000";
    std::uint8_t sum = 0xFF;
    for (int i = 0; i < 255; ++i) {
        char b[3];
        std::snprintf(b, sizeof b, "%02X", i);
        big += b;
        sum = static_cast<std::uint8_t>(sum + i);
    }
    char check[3];
    std::snprintf(check, sizeof check, "%02X", static_cast<std::uint8_t>(-sum));
    big += check;
    // A start segment (03) and a start linear address (05) record change no byte.
    const HexParseResult r =
        ParseExact(image, std::string(kExt) + big + "\n" +
                              ":0400000300001000E9\n:0400000508000101ED\n" + ":00000001FF\n");
    ASSERT_EQ(r.status, HexStatus::Ok);
    EXPECT_FALSE(r.missingEnd);
    EXPECT_EQ(image.Length(), 255u);
    EXPECT_EQ(image.Data()[254], 254);

    // A segment address is the segment times 16: 0x0800:0xFFFF is 0x17FFF, below the flash.
    ASSERT_EQ(ParseExact(image, ":020000020800F4\n:02FFFF00AABB9B\n").status, HexStatus::Ok);
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.Outside(), 0x00017FFFu);
}

// Each damaged file, where its fault is, and what a reader must say of it.
struct Damage {
    const char* name;
    std::string text;
    HexStatus status;
    std::uint32_t line;
    std::uint32_t column;
};

TEST(HexImage, DamagedFilesAreRefusedNamingLineAndColumn) {
    const std::string rec = ":0400000001020304F2";
    const Damage cases[] = {
        // The old reader took 'G' as a digit and read the cut record on into line 3.
        {"stray letter", std::string(kExt) + ":04000000010G0304F2\n", HexStatus::BadCharacter, 2,
         13},
        {"cut mid-file", std::string(kExt) + ":040000000102\n" + rec + "\n", HexStatus::CutShort, 2,
         14},
        {"cut at the end", std::string(kExt) + ":0", HexStatus::CutShort, 2, 3},
        {"colon alone", std::string(kExt) + ":\r\n", HexStatus::CutShort, 2, 2},
        {"record too long", std::string(kExt) + rec + "00\n", HexStatus::BadLength, 2, 20},
        {"two on a line", std::string(kExt) + rec + rec + "\n", HexStatus::BadCharacter, 2, 20},
        {"checksum", "\n" + std::string(kExt) + ":0100000055AB\r\n", HexStatus::BadChecksum, 3, 12},
        {"no colon", "; comment\n" + std::string(kExt), HexStatus::BadCharacter, 1, 1},
        {"plain text", "no records here", HexStatus::BadCharacter, 1, 1},
        {"indented mark", "  :xx", HexStatus::BadCharacter, 1, 4},
        {"type 06", std::string(kExt) + ":00000006FA\n", HexStatus::BadType, 2, 8},
        {"long end record", std::string(kExt) + ":01000001FFFF\n", HexStatus::BadLength, 2, 2},
        {"short address record", ":0100000408F3\n", HexStatus::BadLength, 1, 2},
        {"record after the end", std::string(kExt) + ":00000001FF\n\n" + rec + "\n",
         HexStatus::AfterEnd, 4, 1},
        {"overlap", std::string(kExt) + rec + "\n:0200020003FFFA\n", HexStatus::Overlap, 3, 12},
        {"nul byte", std::string(kExt) + ":0100000055" + std::string(1, '\0') + "A\n",
         HexStatus::BadCharacter, 2, 12},
    };
    THexImage image;
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.name);
        const HexParseResult r = ParseExact(image, c.text);
        EXPECT_EQ(r.format, ImageFormat::IntelHex);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.line, c.line);
        EXPECT_EQ(r.column, c.column);
    }
    // Where two records disagree is named by its address too.
    EXPECT_EQ(ParseExact(image, std::string(kExt) + rec + "\n:0200020003FFFA\n").address,
              0x08000003u);
}

TEST(HexImage, MissingEndRecordIsLoadedWithAWarning) {
    THexImage image;
    HexParseResult r = ParseExact(image, std::string(kExt) + ":0100000055AA");
    EXPECT_EQ(r.status, HexStatus::Ok);
    EXPECT_TRUE(r.missingEnd);
    EXPECT_EQ(image.Data()[0], 0x55);
    // Blank lines, blanks around records and a DOS end mark are no records.
    r = ParseExact(image, "\xEF\xBB\xBF\r\n  " + std::string(kExt) + "\t\r\n:00000001FF \r\n\x1A");
    EXPECT_EQ(r.status, HexStatus::Ok);
    EXPECT_FALSE(r.missingEnd);
    // A file of blanks holds no record to miss the end of.
    r = ParseExact(image, " \n\n");
    EXPECT_EQ(r.status, HexStatus::Ok);
    EXPECT_FALSE(r.missingEnd);
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
