// Bootloader frames, report arithmetic and the speed mode.
#include <gtest/gtest.h>

#include <vector>

#include "isp/BootFrames.h"
#include "isp/IspTexts.h"

using namespace zenta::isp;

namespace {

std::string Bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) {
        s.push_back(static_cast<char>(b));
    }
    return s;
}

TEST(BootFrames, ChecksumsOfEveryFrameKind) {
    EXPECT_EQ(CommandFrame(0x31), Bytes({0x31, 0xCE}));
    EXPECT_EQ(CommandFrame(0x03), Bytes({0x03, 0xFC}));
    EXPECT_EQ(AddressFrame(0x08000000), Bytes({0x08, 0, 0, 0, 0x08}));
    EXPECT_EQ(AddressFrame(0x08001300), Bytes({0x08, 0, 0x13, 0, 0x1B}));
    EXPECT_EQ(AddressFrame(0x1FFFF7E0), Bytes({0x1F, 0xFF, 0xF7, 0xE0, 0xF7}));
    EXPECT_EQ(EraseAllFrame(), Bytes({0xFF, 0x00}));

    for (std::uint8_t fill : {0x00, 0xFF}) {
        const std::vector<std::uint8_t> block(256, fill);
        const std::string frame = DataFrame(block.data());
        ASSERT_EQ(frame.size(), 258u);
        EXPECT_EQ(frame.front(), '\xFF');
        EXPECT_EQ(frame.back(), '\xFF');
        EXPECT_EQ(frame.substr(1, 256), std::string(256, static_cast<char>(fill)));
    }
    std::vector<std::uint8_t> block(256, 0);
    block[17] = 0x5A;
    EXPECT_EQ(static_cast<std::uint8_t>(DataFrame(block.data()).back()), 0xFF ^ 0x5A);
}

TEST(IspTexts, ReportLineIsWideEnoughAndNeverDividesByZero) {
    EXPECT_EQ(ReportLine(65536, 5300), "\r\nProgram 65536 bytes,Used 5300 mS.12365 bytes/S.");
    // 10 MiB x 1000 is above 2^32.
    EXPECT_EQ(ReportLine(10485760, 1000),
              "\r\nProgram 10485760 bytes,Used 1000 mS.10485760 bytes/S.");
    EXPECT_EQ(ReportLine(256, 0), "\r\nProgram 256 bytes,Used 0 mS.256000 bytes/S.");
}

TEST(IspTexts, FasterModeWins) {
    EXPECT_EQ(SpeedOrdinal(true, true, true), 20);
    EXPECT_EQ(SpeedOrdinal(true, true, false), 17);
    EXPECT_EQ(SpeedOrdinal(false, false, false), 13);
}

}  // namespace
