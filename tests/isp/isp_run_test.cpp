// Whole programming runs against the simulated bootloader, through the real port engine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <iterator>

#include "isp/IspTexts.h"
#include "isp/kit/IspHarness.h"
#include "support/DevsimProcess.h"

using namespace zenta::isp;
using isp_test::HexText;
using isp_test::TIspHarness;
using isp_test::WriteTempFile;
using testing::HasSubstr;
using testing::Not;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return v;
}

std::size_t Count(const std::string& text, const std::string& needle) {
    std::size_t n = 0;
    for (auto p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1)) {
        ++n;
    }
    return n;
}

// The simulated chip in its own process, published in a private folder.
class IspRun : public testing::Test {
  protected:
    void Start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"bootloader", "--link", link_.path, "--dump", dump_};
        args.insert(args.end(), extra.begin(), extra.end());
        sim_ = std::make_unique<devsim_test::DevsimProcess>(args);
        ASSERT_TRUE(devsim_test::WaitForPath(link_.path));
        h_ = std::make_unique<TIspHarness>(link_.path);
    }
    // Ends the simulator and returns the flash it wrote.
    std::vector<std::uint8_t> Flash() {
        h_.reset();
        sim_->Signal(SIGTERM);
        EXPECT_EQ(sim_->WaitExit(), 0);
        std::ifstream in(dump_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    devsim_test::TempLink link_;
    std::string dump_ = link_.dir + "/flash.bin";
    std::unique_ptr<devsim_test::DevsimProcess> sim_;
    std::unique_ptr<TIspHarness> h_;
};

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
    EXPECT_THAT(out, HasSubstr("\r\nCapacity:80 00 FF FF |back:\r\nerased OK!Start Download..."));
    EXPECT_THAT(out, HasSubstr("\r\nProgram 512 bytes,Used "));
    EXPECT_THAT(out, HasSubstr("\r\nUser's Program is Running!\r\n"));
    // The bar after each block, then full, then idle again.
    EXPECT_THAT(h_->progress, testing::ElementsAre(0, 1, 51, 100, 1));
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
    // The rest of the last block is written as 0x00, the rest of the chip stays erased.
    EXPECT_TRUE(
        std::all_of(flash.begin() + 300, flash.begin() + 512, [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(flash.begin() + 512, flash.end(), [](auto b) { return b == 0xFF; }));
}

TEST_F(IspRun, EmptyImageErasesWritesNothingAndStillStarts) {
    Start();
    // Data below the flash base stores nothing.
    h_->fileName = WriteTempFile("low.hex", HexText(Pattern(64), 0x00001000));
    ASSERT_EQ(h_->Run(), RunEnd::Programmed);
    EXPECT_THAT(h_->printed, HasSubstr("\r\nProgram 0 bytes,Used "));
    EXPECT_THAT(h_->printed, HasSubstr(" mS.0 bytes/S."));
    EXPECT_EQ(Count(h_->printed, "erased OK"), 1u);
    EXPECT_THAT(sim_->WaitForLine("user program started at"), HasSubstr("0x08000000"));
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

TEST_F(IspRun, RefusedSyncEndsAsNotConnected) {
    Start({"--fault", "nack-sync"});
    h_->fileName = WriteTempFile("one.hex", HexText(Pattern(16)));
    ASSERT_EQ(h_->Run(), RunEnd::NoConnection);
    EXPECT_THAT(h_->printed,
                HasSubstr("\r\nStart connecting  MCU...\r\n7F \r\nack error\r\nCan not connect"));
}

TEST_F(IspRun, RefusedEraseAndReadProtectionEndWithTheDataCheckMessage) {
    struct Case {
        std::vector<std::string> args;
        const char* before;  // the line the data-check message follows
    };
    const Case cases[] = {
        {{"--fault", "nack-erase"}, "|back:\r\nData check error"},
        {{"--chip", "f4"}, "|back:\r\nData check error"},
        {{"--fault", "protected"}, "MCUID:04 10  |back:\r\nData check error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        Start(c.args);
        h_->fileName = WriteTempFile("one.hex", HexText(Pattern(16)));
        ASSERT_EQ(h_->Run(), RunEnd::DataCheck);
        EXPECT_THAT(h_->printed, HasSubstr(c.before));
        EXPECT_THAT(h_->printed, Not(HasSubstr("erased OK")));
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

TEST_F(IspRun, UnpluggedAdapterIsReportedOnceAndNothingMoreIsSent) {
    Start({"--unplug-after", "3"});
    h_->fileName = WriteTempFile("eight.hex", HexText(Pattern(2048)));
    ASSERT_EQ(h_->Run(), RunEnd::PortFailure);
    ASSERT_EQ(h_->boxes.size(), 1u);
    EXPECT_EQ(h_->boxes[0], Text(IspText::PortError, true));
    EXPECT_EQ(h_->writesAfterFailure, 0);
    EXPECT_FALSE(h_->port.Connected());
    EXPECT_TRUE(h_->startEnabled);
    EXPECT_TRUE(h_->stop);
    EXPECT_THAT(h_->printed, Not(HasSubstr("Program ")));
}

TEST_F(IspRun, FilesThatCannotBeFlashedLeaveTheChipAlone) {
    Start();
    // Missing file: a message box, nothing sent, the port the run opened stays open.
    h_->fileName = "/nonexistent/zenta.hex";
    ASSERT_EQ(h_->Run(17, false), RunEnd::FileMissing);
    EXPECT_EQ(h_->boxes, std::vector<std::string>{Text(IspText::FileMissing, true)});
    EXPECT_TRUE(h_->port.Connected());
    EXPECT_TRUE(h_->startEnabled);

    // A count above 32.
    h_->fileName = WriteTempFile("big.hex", ":21000000" + std::string(68, '0') + "\r\n");
    ASSERT_EQ(h_->Run(), RunEnd::NotHex);
    EXPECT_THAT(h_->printed, HasSubstr("\r\nThe file is not a HEX file!\r\n"));

    // A damaged record: the line is named.
    std::string text = HexText(Pattern(64));
    const auto third = text.find(":10", text.find(":10") + 1);
    text[third + 9] = text[third + 9] == '0' ? '1' : '0';
    h_->fileName = WriteTempFile("bad.hex", text);
    h_->english = false;
    ASSERT_EQ(h_->Run(), RunEnd::NotHex);
    EXPECT_THAT(h_->printed, HasSubstr("\r\n你打开的好像不是HEX文件\r\n第3行校验和错误.\r\n"));

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
