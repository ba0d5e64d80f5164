// Runs on the families the simulator plays: identification, erase commands, placement,
// verification and protection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "isp/ChipTable.h"
#include "isp/IspTexts.h"
#include "isp/kit/IspSim.h"

using namespace zenta::isp;
using isp_test::HexText;
using isp_test::Pattern;
using isp_test::WriteTempFile;
using testing::HasSubstr;
using testing::Not;

namespace {

struct ChipCase {
    const char* chip;
    const char* line;   // the chip line after the identity lines
    const char* erase;  // the erase command frame
    int erases;         // how often it is sent for the whole chip
};

class IspChips : public isp_test::IspSim, public testing::WithParamInterface<ChipCase> {};

TEST_P(IspChips, ProgramsVerifiesAndStartsWithTheChipsOwnErase) {
    const ChipCase& c = GetParam();
    Start({"--chip", c.chip});
    const auto image = Pattern(5000);
    h_->fileName = WriteTempFile("five.hex", HexText(image));
    ASSERT_EQ(h_->Run(), RunEnd::Programmed) << h_->printed;
    EXPECT_THAT(h_->printed, HasSubstr(std::string("|back:\r\n") + c.line + "\r\nerased OK!"));
    EXPECT_THAT(h_->printed, HasSubstr(" verified\r\n"));
    EXPECT_EQ(std::count(h_->frames.begin(), h_->frames.end(), std::string(c.erase)), c.erases);
    EXPECT_THAT(sim_->WaitForLine("user program started at"), HasSubstr("0x08000000"));
    const auto flash = Flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + 5000, flash.end(), [](auto b) { return b == 0xFF; }));
}

INSTANTIATE_TEST_SUITE_P(
    Families, IspChips,
    testing::Values(ChipCase{"f0", "STM32F030x8/F05x, flash 64 KiB", "\x43\xBC", 1},
                    ChipCase{"f1", "STM32F10x medium-density, flash 128 KiB", "\x43\xBC", 1},
                    ChipCase{"f4", "STM32F40x/41x, flash 1024 KiB", "\x44\xBB", 1},
                    ChipCase{"g0", "STM32G07x/G08x, flash 128 KiB", "\x44\xBB", 1},
                    ChipCase{"l4", "STM32L47x/L48x, flash 1024 KiB", "\x44\xBB", 1},
                    ChipCase{"h7", "STM32H74x/75x, flash 2048 KiB", "\x44\xBB", 1},
                    // No mass erase: 512 pages, 128 to a command.
                    ChipCase{"l0", "STM32L05x/L06x, flash 64 KiB", "\x44\xBB", 4}),
    [](const auto& info) { return std::string(info.param.chip); });

using IspPlacement = isp_test::IspSim;

// An image linked above the flash start lands at its own address, leaves the flash
// below it erased, and starts there.
TEST_F(IspPlacement, ImageLinkedHigherKeepsTheFlashBelowItErased) {
    Start({"--chip", "f4"});
    const auto image = Pattern(300);
    h_->fileName = WriteTempFile("high.hex", HexText(image, 0x08004000));
    ASSERT_EQ(h_->Run(), RunEnd::Programmed);
    EXPECT_THAT(h_->printed, HasSubstr("\r\nProgram 512 bytes,"));
    EXPECT_THAT(sim_->WaitForLine("user program started at"), HasSubstr("0x08004000"));
    const auto flash = Flash();
    EXPECT_TRUE(
        std::all_of(flash.begin(), flash.begin() + 0x4000, [](auto b) { return b == 0xFF; }));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin() + 0x4000));
    EXPECT_TRUE(
        std::all_of(flash.begin() + 0x4000 + 300, flash.end(), [](auto b) { return b == 0xFF; }));
}

// Page erase keeps what lies outside the image (a resident bootloader, stored data).
TEST_F(IspPlacement, PageEraseKeepsWhatTheImageDoesNotCover) {
    for (const char* chip : {"f1", "f4", "l0"}) {
        SCOPED_TRACE(chip);
        Start({"--chip", chip});
        const auto loader = Pattern(256);
        h_->fileName = WriteTempFile("loader.hex", HexText(loader));
        ASSERT_EQ(h_->Run(), RunEnd::Programmed);
        std::vector<std::uint8_t> app(700, 0x5A);
        h_->fileName = WriteTempFile("app.hex", HexText(app, 0x08004000));
        h_->settings.erase = EraseMode::Pages;
        ASSERT_EQ(h_->Run(), RunEnd::Programmed) << h_->printed;
        const auto flash = Flash();
        EXPECT_TRUE(std::equal(loader.begin(), loader.end(), flash.begin()));
        EXPECT_TRUE(std::equal(app.begin(), app.end(), flash.begin() + 0x4000));
    }
}

TEST_F(IspPlacement, ImageBeyondTheChipsFlashIsRefusedBeforeTheErase) {
    Start({"--chip", "f1"});
    // 128 KiB of flash: the last byte fits, the next one does not.
    h_->fileName = WriteTempFile("big.hex", HexText(Pattern(64), 0x0801FFF0));
    ASSERT_EQ(h_->Run(), RunEnd::Refused);
    EXPECT_THAT(h_->printed, HasSubstr("data at 0x08020000, beyond the 128 KiB of flash"));
    h_->english = false;
    h_->fileName = WriteTempFile("far.hex", HexText(Pattern(64), 0x08040000));
    ASSERT_EQ(h_->Run(), RunEnd::Refused);
    EXPECT_THAT(h_->printed, HasSubstr("0x08040000 处有数据,超出芯片闪存范围"));
    EXPECT_THAT(h_->printed, Not(HasSubstr("erased OK")));
}

TEST_F(IspPlacement, VerifyNamesTheFirstDifferenceAndDoesNotStart) {
    Start({"--fault", "stuck-bit"});
    std::vector<std::uint8_t> image(1024, 0x00);
    h_->fileName = WriteTempFile("zero.hex", HexText(image));
    ASSERT_EQ(h_->Run(), RunEnd::Refused);
    EXPECT_THAT(h_->printed, HasSubstr("Verify failed at 0x08000100: wrote 0x00, read 0x01"));
    EXPECT_THAT(h_->printed, Not(HasSubstr("Running")));
    ASSERT_FALSE(h_->rts.empty());
    EXPECT_TRUE(h_->rts.back());  // BOOT0 still held: the program was not started
    // Without verification the same run reports success, as the chip acknowledged it all.
    h_->settings.verify = false;
    ASSERT_EQ(h_->Run(), RunEnd::Programmed);
    EXPECT_THAT(h_->printed, Not(HasSubstr("verified")));
}

// A verify that skipped the last byte of each 256-byte block would pass a chip that lost it.
TEST_F(IspPlacement, VerifyReadsTheLastByteOfEveryBlock) {
    for (const char* address : {"0x080000FF", "0x080002FF", "0x080003FF"}) {
        SCOPED_TRACE(address);
        Start({"--fault", "stuck-bit", "--fault-address", address});
        h_->fileName = WriteTempFile("zero.hex", HexText(std::vector<std::uint8_t>(1024, 0x00)));
        ASSERT_EQ(h_->Run(), RunEnd::Refused);
        EXPECT_THAT(h_->printed, HasSubstr(std::string("Verify failed at ") + address +
                                           ": wrote 0x00, read 0x01"));
    }
}

// A product ID the table lacks: named, then only what Get and the image allow.
TEST_F(IspPlacement, UnknownChipIsErasedWholeUnlessPagesWereAsked) {
    Start({"--chip", "f4", "--fault", "unknown-id"});
    const auto image = Pattern(700);
    h_->fileName = WriteTempFile("unknown.hex", HexText(image));
    h_->settings.erase = EraseMode::Pages;
    ASSERT_EQ(h_->Run(), RunEnd::Refused);
    EXPECT_THAT(h_->printed, HasSubstr("Unknown chip, product ID 0x4FF"));
    EXPECT_THAT(h_->printed, HasSubstr("needs a known chip: nothing was erased"));
    h_->settings.erase = EraseMode::All;
    ASSERT_EQ(h_->Run(), RunEnd::Programmed) << h_->printed;
    EXPECT_THAT(h_->printed, Not(HasSubstr("Capacity:")));
    EXPECT_EQ(std::count(h_->frames.begin(), h_->frames.end(), std::string("\xFF\xFF\x00", 3)), 1);
    const auto flash = Flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
}

using IspProtection = isp_test::IspSim;

TEST_F(IspProtection, UnprotectOnlyAfterTheUsersYesThenPrograms) {
    for (const char* fault : {"protected", "write-protected"}) {
        SCOPED_TRACE(fault);
        Start({"--chip", "f4", "--fault", fault});
        h_->answers = {true};
        const auto image = Pattern(600);
        h_->fileName = WriteTempFile("six.hex", HexText(image));
        ASSERT_EQ(h_->Run(), RunEnd::Programmed) << h_->printed;
        EXPECT_EQ(h_->questions.size(), 1u);
        EXPECT_THAT(h_->printed, HasSubstr("Protection removed"));
        const auto flash = Flash();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    }
}

TEST(ChipTable, LayoutsCoverTheFlashAndWaitsScaleWithTheWork) {
    // Every family's units add up to its largest flash, numbered without repeats.
    for (const ChipFamily& f : AllChips()) {
        SCOPED_TRACE(f.name);
        const auto units = UnitsOf(f, f.flashKiB * 1024);
        std::uint64_t bytes = 0;
        for (std::size_t i = 0; i < units.size(); ++i) {
            EXPECT_EQ(units[i].offset, bytes);
            bytes += units[i].bytes;
            if (i > 0) {
                EXPECT_GT(units[i].number, units[i - 1].number);
            }
        }
        EXPECT_EQ(bytes, f.flashKiB * 1024ull);
        EXPECT_NE(f.flashSizeReg, 0u);
    }
    const ChipFamily* f4 = FindChip(0x413);
    ASSERT_NE(f4, nullptr);
    const auto units = UnitsOf(*f4, 1024 * 1024);
    ASSERT_EQ(units.size(), 12u);
    EXPECT_EQ(units[5].offset, 0x20000u);
    EXPECT_GT(EraseWaitMs(f4, {units[11]}), EraseWaitMs(f4, {units[0]}));
    EXPECT_GE(EraseWaitMs(f4, {units[11]}), 2000u);
    const ChipFamily* f42 = FindChip(0x419);
    ASSERT_NE(f42, nullptr);
    EXPECT_EQ(UnitsOf(*f42, 2048 * 1024)[12].number, 12u);
    EXPECT_EQ(FindChip(0x999), nullptr);
    EXPECT_EQ(ChipLine(*f4, 512), "STM32F40x/41x, flash 512 KiB");
}

}  // namespace
