// The command-line programmer through ser2net: the simulated chip behind a serial server,
// reached over RFC 2217 (line settings and reset wiring sent as commands) or plain TCP.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "isp/cli/FlashCli.h"
#include "isp/kit/IspHarness.h"
#include "isp/kit/IspSim.h"
#include "support/Ser2net.h"

using isp_test::HexText;
using isp_test::Pattern;
using testing::HasSubstr;

namespace {

struct NetFlash : isp_test::IspSim {
    // Image files live in a folder of the test's own, removed with it.
    std::string dir_;
    void SetUp() override {
        char tmpl[] = "/tmp/zenta-netflash-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string ImageFile(const std::string& name, const std::string& text) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Runs the programmer in this process; what it says is returned in `said`.
    int Flash(const zenta::isp::FlashRequest& request, std::string& said) {
        std::FILE* err = std::tmpfile();
        const int code = zenta::isp::RunFlash(request, err, false);
        std::rewind(err);
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, err)) > 0) {
            said.append(buf, n);
        }
        std::fclose(err);
        return code;
    }
};

}  // namespace

TEST_F(NetFlash, Rfc2217FlashesAndVerifiesF1AndF4) {
    for (const char* chip : {"f1", "f4"}) {
        SCOPED_TRACE(chip);
        Start({"--chip", chip});
        h_.reset();  // the programmer opens the port itself, through the server
        net_test::TSer2net server(link_.path, true);
        ASSERT_TRUE(server.Ready()) << server.Log();
        const auto image = Pattern(20000);
        zenta::isp::FlashRequest request;
        request.file = ImageFile("net.hex", HexText(image));
        request.port = server.Url();
        request.bitRate = 115200;
        std::string said;
        EXPECT_EQ(Flash(request, said), zenta::isp::kFlashDone) << said;
        EXPECT_THAT(said, HasSubstr(" verified\n"));
        const auto flash = isp_test::IspSim::Flash();
        ASSERT_GE(flash.size(), image.size());
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    }
}

TEST_F(NetFlash, PlainTcpFlashesOnlyWithoutTheResetWiring) {
    Start({"--chip", "f1"});
    h_.reset();
    net_test::TSer2net server(link_.path, false);
    ASSERT_TRUE(server.Ready()) << server.Log();
    const auto image = Pattern(4000);
    zenta::isp::FlashRequest request;
    request.file = ImageFile("raw.hex", HexText(image));
    request.port = server.Url();
    std::string said;
    // BOOT0 and reset need DTR/RTS, which plain bytes cannot carry.
    EXPECT_EQ(Flash(request, said), zenta::isp::kFlashBadArguments);
    EXPECT_THAT(said, HasSubstr("--no-reset"));

    request.reset = false;
    said.clear();
    EXPECT_EQ(Flash(request, said), zenta::isp::kFlashDone) << said;
    const auto flash = isp_test::IspSim::Flash();
    ASSERT_GE(flash.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
}
