// Programming from the command line: the real program without a display, its exit
// statuses, and the runner's output on a terminal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "isp/cli/FlashCli.h"
#include "isp/kit/IspHarness.h"
#include "isp/kit/IspSim.h"

using isp_test::HexText;
using isp_test::Pattern;
using isp_test::WriteTempFile;
using testing::HasSubstr;
using testing::Not;

namespace {

struct ProgramResult {
    int status = -1;
    std::string err;
};

// Runs the zenta program with no display in its environment; stderr is collected.
ProgramResult RunProgram(const std::vector<std::string>& args) {
    const std::string errPath = WriteTempFile("stderr.txt", "");
    std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " ZENTA_APP_PATH;
    for (const std::string& a : args) {
        cmd += " '" + a + "'";
    }
    cmd += " 2>" + errPath + " </dev/null";
    ProgramResult r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errPath);
    r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return r;
}

using CliFlash = isp_test::IspSim;

TEST_F(CliFlash, ProgramFlashesWithoutADisplayAndSaysEachStepOnALine) {
    Start({"--chip", "f4"});
    h_.reset();  // the program opens the port itself
    const auto image = Pattern(3000);
    const std::string file = WriteTempFile("cli.hex", HexText(image));
    const ProgramResult r = RunProgram({"--flash", file, link_.path, "--baud", "460800"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Baudrate: 460800 BPS\n"));
    EXPECT_THAT(r.err, HasSubstr("\nSTM32F40x/41x, flash 1024 KiB\nerased OK!Start Download...\n"));
    EXPECT_THAT(r.err, HasSubstr(" verified\nUser's Program is Running!\n"));
    EXPECT_THAT(r.err, Not(HasSubstr("\r")));
    EXPECT_THAT(r.err, Not(HasSubstr("\n\n")));
    const auto flash = Flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
}

TEST_F(CliFlash, ExitStatusesTellRefusalsFromPortFailures) {
    Start({"--chip", "f0"});
    h_.reset();
    // 64 KiB of flash on this chip.
    const std::string big = WriteTempFile("big.hex", HexText(Pattern(64), 0x08010000));
    ProgramResult r = RunProgram({"--flash", big, link_.path});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("data at 0x08010000, outside the chip's flash"));

    r = RunProgram({"--flash", "/nonexistent/fw.hex", link_.path});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("zenta: cannot read /nonexistent/fw.hex"));

    r = RunProgram({"--flash", big, link_.dir + "/absent"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(isp_test::Count(r.err, "Unable to open"), 1u);

    r = RunProgram({"--flash", big, "--erase", "most"});
    EXPECT_EQ(r.status, 2);
}

TEST_F(CliFlash, BinaryGoesWhereAddressSaysAndOnlyThere) {
    Start({"--chip", "f4"});
    h_.reset();
    const auto image = Pattern(5000);
    const std::string bin =
        WriteTempFile("app.bin", std::string("\0", 1) + std::string(image.begin(), image.end()));
    // Only the sectors the image uses are erased: what lies below the application stays.
    ProgramResult r =
        RunProgram({"--flash", bin, link_.path, "--address", "0x08004000", "--erase", "pages"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr(" verified\n"));
    EXPECT_THAT(sim_->WaitForLine("user program started at"), HasSubstr("0x08004000"));

    // A file that carries its own addresses takes none from the command line.
    const std::string hex = WriteTempFile("app.hex", HexText(image));
    r = RunProgram({"--flash", hex, link_.path, "--address", "0x08004000"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("a start address is for binary files only"));

    const auto flash = Flash();
    ASSERT_GE(flash.size(), 0x4000u + 5001u);
    EXPECT_TRUE(
        std::all_of(flash.begin(), flash.begin() + 0x4000, [](auto b) { return b == 0xFF; }));
    EXPECT_EQ(flash[0x4000], 0x00);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin() + 0x4001));
}

TEST_F(CliFlash, RunnerDrawsABarOnATerminalAndTakesAChipAlreadyInItsBootloader) {
    Start({"--chip", "g0", "--fault", "nack-sync"});
    h_.reset();
    zenta::isp::FlashRequest request;
    request.file = WriteTempFile("bar.hex", HexText(Pattern(8192)));
    request.port = link_.path;
    request.reset = false;
    request.erasePages = true;
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(zenta::isp::RunFlash(request, err, /*progressBar=*/true), zenta::isp::kFlashDone);
    std::rewind(err);
    std::string text;
    for (int c; (c = std::fgetc(err)) != EOF;) {
        text.push_back(static_cast<char>(c));
    }
    std::fclose(err);
    EXPECT_THAT(text, HasSubstr("\r[####"));
    EXPECT_THAT(text, HasSubstr("%\r\033[K"));  // the bar is cleared before the next line
    EXPECT_THAT(text, HasSubstr("STM32G07x/G08x, flash 128 KiB"));
    EXPECT_THAT(text, HasSubstr("User's Program is Running!"));
}

}  // namespace
