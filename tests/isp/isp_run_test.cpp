// Whole programming runs against the simulated bootloader, through the real port engine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <iterator>

#include "isp/IspTexts.h"
#include "isp/kit/IspHarness.h"
#include "isp/kit/IspSim.h"

using namespace zenta::isp;
using isp_test::HexText;
using isp_test::TIspHarness;
using isp_test::WriteTempFile;
using testing::HasSubstr;
using testing::Not;

namespace {

using isp_test::Count;
using isp_test::Pattern;
using IspRun = isp_test::IspSim;

TEST_F(IspRun, ProgramsTwoBlocksStartsTheProgramAndGivesThePortBack) {
    Start();
    const auto image = Pattern(300);
    h_->fileName = WriteTempFile("two.hex", HexText(image));
    h_->port.SetBaudRate(br57600);
    ASSERT_EQ(h_->Run(), RunEnd::Programmed);

    const std::string& out = h_->printed;
    EXPECT_THAT(out, HasSubstr("\r\nStart connecting  MCU...\r\n7F  Has been connected"));
    EXPECT_THAT(out, HasSubstr("Baudrate: 460800 BPS"));
    EXPECT_THAT(out, HasSubstr("\r\nVersion:V22,Protection state:00 00  |back:"));
    EXPECT_THAT(out, HasSubstr("\r\nMCU TYPE:01 ,MCUID:04 10  |back:"));
    EXPECT_THAT(out, HasSubstr("\r\nCapacity:80 00 FF FF |back:\r\nSTM32F10x medium-density, "
                               "flash 128 KiB\r\nerased OK!Start Download..."));
    EXPECT_THAT(out, HasSubstr("\r\nProgram 512 bytes,Used "));
    EXPECT_THAT(out, HasSubstr(" bytes/S. verified\r\nUser's Program is Running!"));
    EXPECT_THAT(out, HasSubstr("\r\nUser's Program is Running!\r\n"));
    // The bar after each block written, then each read back, then full, then idle again.
    EXPECT_THAT(h_->progress, testing::ElementsAre(0, 1, 26, 51, 76, 100, 1));
    EXPECT_FALSE(h_->progressVisible);
    // BOOT0 released, boxes unchecked, and the user's line settings back.
    ASSERT_FALSE(h_->rts.empty());
    EXPECT_FALSE(h_->rts.back());
    EXPECT_TRUE(h_->resetBoxesReleased);
    EXPECT_EQ(h_->port.BaudRate(), br57600);
    EXPECT_EQ(h_->port.Parity().Bits(), prNone);
    EXPECT_TRUE(h_->port.Connected());
    EXPECT_TRUE(h_->startEnabled);
    EXPECT_TRUE(h_->boxes.empty());
    EXPECT_EQ(h_->txCount, 2 * 265);

    EXPECT_THAT(sim_->WaitForLine("user program started at"), HasSubstr("0x08000000"));
    const auto flash = Flash();
    ASSERT_GE(flash.size(), 512u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    // The rest of the last block and of the chip stay erased.
    EXPECT_TRUE(std::all_of(flash.begin() + 300, flash.end(), [](auto b) { return b == 0xFF; }));
}

TEST_F(IspRun, ImagesNoChipCanTakeAreRefusedBeforeTheChipIsTouched) {
    Start();
    struct Case {
        const char* name;
        std::string text;
        const char* cause;
        RunEnd end;
    };
    const std::string good = HexText(Pattern(64));
    const Case cases[] = {
        {"empty", "", "no data for the flash", RunEnd::Refused},
        {"no records", "just some words\r\n",
         "The file is not a HEX file!\r\nUnexpected character in line 1, column 1.\r\n",
         RunEnd::NotHex},
        {"address records only", ":020000040800F2\r\n:020000021000EC\r\n:00000001FF\r\n",
         "no data for the flash", RunEnd::Refused},
        {"below the flash", HexText(Pattern(64), 0x00001000), "data at 0x00001000, outside",
         RunEnd::Refused},
        {"option bytes", good.substr(0, good.size() - 13) + HexText({0xA5, 0x5A}, 0x1FFFF800),
         "data at 0x1FFFF800, outside", RunEnd::Refused},
        {"cut short", good.substr(0, good.size() - 30), "Record cut short in line 5, column 29.",
         RunEnd::NotHex},
        {"s-record cut short", "S00600004844521B\nS30908000000010203",
         "The file is not a valid "
         "S-record file!\r\nRecord cut short in line 2, column 19.",
         RunEnd::NotHex},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h_->fileName = WriteTempFile("refused.hex", c.text);
        ASSERT_EQ(h_->Run(), c.end);
        EXPECT_THAT(h_->printed, HasSubstr(c.cause));
        EXPECT_THAT(h_->printed, Not(HasSubstr("connecting")));
        EXPECT_TRUE(h_->startEnabled);
    }
    EXPECT_TRUE(h_->frames.empty());
}

TEST_F(IspRun, PortClosedBeforeTheClickIsOpenedAndClosedAgain) {
    Start();
    h_->fileName = WriteTempFile("one.hex", HexText(Pattern(16)));
    h_->port.SetBaudRate(br9600);
    ASSERT_EQ(h_->Run(17, /*openFirst=*/false), RunEnd::Programmed);
    EXPECT_FALSE(h_->port.Connected());
    EXPECT_EQ(h_->port.BaudRate(), br9600);
}

TEST_F(IspRun, SilentChipGetsElevenSyncBytesOverTenSeconds) {
    Start({"--fault", "silence"});
    h_->fileName = WriteTempFile("one.hex", HexText(Pattern(16)));
    h_->clockScale = 100;
    const std::uint64_t t0 = h_->NowMs();
    ASSERT_EQ(h_->Run(), RunEnd::NoConnection);
    const std::uint64_t simulated = h_->NowMs() - t0;
    EXPECT_EQ(Count(h_->printed, "7F "), 11u);
    EXPECT_THAT(h_->printed, HasSubstr("7F \r\nCan not connect \r\n1.Power off?"));
    EXPECT_GE(simulated, 10100u);
    EXPECT_LT(simulated, 12000u);
    EXPECT_EQ(h_->frames.size(), 11u);  // only the sync bytes went out
}

TEST_F(IspRun, ChipAlreadyInItsBootloaderAnswersNackAndIsProgrammed) {
    Start({"--fault", "nack-sync"});
    h_->fileName = WriteTempFile("one.hex", HexText(Pattern(16)));
    ASSERT_EQ(h_->Run(), RunEnd::Programmed);
    EXPECT_THAT(h_->printed, HasSubstr("\r\nStart connecting  MCU...\r\n7F  Has been connected"));
    EXPECT_THAT(h_->printed, Not(HasSubstr("ack error")));
}

TEST_F(IspRun, RefusedEraseAndReadProtectionSayTheirCauseAndTouchNothing) {
    struct Case {
        std::vector<std::string> args;
        const char* question;  // what the user was asked, and said no to
        const char* cause;
    };
    const Case cases[] = {
        {{"--fault", "nack-erase"}, "write-protected", "The chip refused the erase"},
        {{"--fault", "write-protected"}, "write-protected", "The chip refused the erase"},
        {{"--fault", "protected"}, "ERASES THE WHOLE FLASH", "read-protected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        Start(c.args);
        h_->english = true;
        h_->fileName = WriteTempFile("one.hex", HexText(Pattern(16)));
        ASSERT_EQ(h_->Run(), RunEnd::Refused);
        ASSERT_EQ(h_->questions.size(), 1u);
        EXPECT_THAT(h_->questions[0], HasSubstr(c.question));
        EXPECT_THAT(h_->printed, HasSubstr(c.cause));
        EXPECT_THAT(h_->printed, Not(HasSubstr("erased OK")));
        EXPECT_THAT(h_->printed, Not(HasSubstr("Data check error")));
        EXPECT_TRUE(h_->startEnabled);
        EXPECT_TRUE(h_->boxes.empty());
        const auto flash = Flash();
        EXPECT_TRUE(
            std::all_of(flash.begin(), flash.begin() + 4096, [](auto b) { return b == 0xFF; }));
    }
}

TEST_F(IspRun, StopDuringTheBlockLoopKeepsTheBlocksWrittenAndBoot0) {
    Start();
    const auto image = Pattern(2048);
    h_->fileName = WriteTempFile("eight.hex", HexText(image));
    h_->onBlock = [this](std::int64_t offset) {
        if (offset == 256) {
            h_->stop = true;
        }
    };
    ASSERT_EQ(h_->Run(), RunEnd::UserAbort);
    EXPECT_THAT(h_->printed, HasSubstr("\r\nUser abort!\r\n"));
    EXPECT_THAT(h_->printed, Not(HasSubstr("Program ")));
    EXPECT_FALSE(h_->stop);
    ASSERT_FALSE(h_->rts.empty());
    EXPECT_TRUE(h_->rts.back());
    const auto flash = Flash();
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 512, flash.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + 512, flash.end(), [](auto b) { return b == 0xFF; }));
}

// A whole-chip erase of an F4 takes seconds; Stop pressed while it is awaited ends the run
// there, not after the chip answered.
TEST_F(IspRun, StopDuringALongEraseEndsTheWait) {
    Start({"--chip", "f4", "--erase-scale", "100"});
    h_->fileName = WriteTempFile("eight.hex", HexText(Pattern(2048)));
    int waitsInErase = 0;
    h_->onWait = [this, &waitsInErase] {
        if (!h_->frames.empty() && h_->frames.back() == std::string("\xFF\xFF\x00", 3) &&
            ++waitsInErase == 3) {
            h_->stop = true;
        }
    };
    ASSERT_EQ(h_->Run(), RunEnd::UserAbort) << h_->printed;
    EXPECT_EQ(waitsInErase, 3);
    EXPECT_THAT(h_->printed, HasSubstr("\r\nUser abort!\r\n"));
    EXPECT_THAT(h_->printed, Not(HasSubstr("erased OK")));
    EXPECT_FALSE(h_->stop);
    EXPECT_TRUE(h_->startEnabled);
}

TEST_F(IspRun, UnpluggedAdapterIsReportedOnceAndNothingMoreIsSent) {
    // Open before the run, and closed before it (the run opened it and must not let the
    // window reopen it when the device comes back).
    for (const bool openFirst : {true, false}) {
        SCOPED_TRACE(openFirst);
        Start({"--unplug-after", "3"});
        h_->fileName = WriteTempFile("eight.hex", HexText(Pattern(2048)));
        ASSERT_EQ(h_->Run(17, openFirst), RunEnd::PortFailure);
        ASSERT_EQ(h_->boxes.size(), 1u);
        EXPECT_EQ(h_->boxes[0], Text(IspText::PortError, true));
        EXPECT_EQ(h_->writesAfterFailure, 0);
        EXPECT_FALSE(h_->port.Connected());
        EXPECT_EQ(h_->portForgotten, !openFirst);
        EXPECT_TRUE(h_->startEnabled);
        EXPECT_TRUE(h_->stop);
        EXPECT_THAT(h_->printed, Not(HasSubstr("Program ")));
        EXPECT_THAT(h_->printed, Not(HasSubstr("User abort")));
    }
}

TEST_F(IspRun, EveryEndingPutsBackTheLineTheRunChanged) {
    const struct {
        std::vector<std::string> args;
        RunEnd end;
    } cases[] = {
        {{}, RunEnd::Programmed},
        {{"--fault", "nack-erase"}, RunEnd::Refused},
        {{"--unplug-after", "1"}, RunEnd::PortFailure},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.end));
        Start(c.args);
        h_->fileName = WriteTempFile("four.hex", HexText(Pattern(1024)));
        h_->port.SetBaudRate(br57600);
        h_->port.SetDataBits(dbSeven);
        h_->port.Parity().SetBits(prOdd);
        h_->port.SetStopBits(sbTwoStopBits);
        ASSERT_EQ(h_->Run(), c.end);
        EXPECT_EQ(h_->port.BaudRate(), br57600);
        EXPECT_EQ(h_->port.StopBits(), sbTwoStopBits);
        // The simulator's pseudo-terminal holds 8 data bits and no parity only; the port
        // shows what the line holds.
        EXPECT_EQ(h_->port.DataBits(), dbEight);
        EXPECT_EQ(h_->port.Parity().Bits(), prNone);
    }
}

TEST_F(IspRun, FilesThatCannotBeFlashedLeaveTheChipAlone) {
    Start();
    // Missing file: a message box, nothing sent, the port the run opened stays open.
    h_->fileName = "/nonexistent/zenta.hex";
    ASSERT_EQ(h_->Run(17, false), RunEnd::FileMissing);
    EXPECT_EQ(h_->boxes, std::vector<std::string>{Text(IspText::FileMissing, true)});
    EXPECT_TRUE(h_->port.Connected());
    EXPECT_TRUE(h_->startEnabled);

    // A record of 33 bytes is read, and its checksum checked.
    h_->fileName = WriteTempFile("big.hex", ":21000000" + std::string(68, '0') + "\r\n");
    ASSERT_EQ(h_->Run(), RunEnd::NotHex);
    EXPECT_THAT(h_->printed, HasSubstr("\r\nThe file is not a HEX file!\r\nChecksum error in "
                                       "line 1, column 76.\r\n"));

    // A damaged record: the line is named.
    std::string text = HexText(Pattern(64));
    const auto third = text.find(":10", text.find(":10") + 1);
    text[third + 9] = text[third + 9] == '0' ? '1' : '0';
    h_->fileName = WriteTempFile("bad.hex", text);
    h_->english = false;
    ASSERT_EQ(h_->Run(), RunEnd::NotHex);
    EXPECT_THAT(h_->printed,
                HasSubstr("\r\n你打开的好像不是HEX文件\r\n校验和错误(第3行第42列).\r\n"));

    EXPECT_TRUE(h_->frames.empty());
}

TEST(IspRunWithoutPort, AbsentPortFailsAtTheFirstSyncByte) {
    TIspHarness h("/nonexistent/ttyZENTA");
    h.fileName = WriteTempFile("one.hex", HexText(Pattern(16)));
    ASSERT_EQ(h.Run(17, false), RunEnd::NoConnection);
    EXPECT_EQ(h.boxes, std::vector<std::string>{"open failed"});
    EXPECT_THAT(h.printed, HasSubstr("MCU...\r\n\r\nSend 7F error\r\nCan not connect"));
    EXPECT_TRUE(h.startEnabled);
    EXPECT_TRUE(h.openEnabled);
}

}  // namespace
