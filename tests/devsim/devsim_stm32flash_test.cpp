// The simulated bootloader checked by an independent programmer: stm32flash writes,
// verifies and starts an image on it.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "support/DevsimProcess.h"

namespace {

constexpr const char* kStm32flash = "/usr/bin/stm32flash";

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Stm32flashCheck : public testing::TestWithParam<const char*> {};

TEST_P(Stm32flashCheck, WritesVerifiesAndStartsAnImage) {
    if (::access(kStm32flash, X_OK) != 0) {
        GTEST_SKIP() << "stm32flash is not installed";
    }
    devsim_test::TempLink link;
    const std::string image = link.dir + "/image.bin";
    const std::string dump = link.dir + "/flash.bin";
    std::vector<char> bytes(40 * 1024 + 100);  // spans pages and sectors, ends mid-block
    std::mt19937 random(7);
    for (char& b : bytes) {
        b = static_cast<char>(random());
    }
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));

    devsim_test::DevsimProcess sim({"bootloader", "--chip", GetParam(), "--link", link.path,
                                    "--dump", dump, "--erase-scale", "25"});
    ASSERT_TRUE(devsim_test::WaitForPath(link.path));
    // A pseudo-terminal carries no parity: 8n1 instead of the bootloader's 8e1.
    const std::string cmd = std::string(kStm32flash) + " -m 8n1 -b 115200 -w " + image +
                            " -v -g 0x0 " + link.path + " > " + link.dir + "/log.txt 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_NE(sim.WaitForLine("user program started at 0x08000000"), "");
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.WaitExit(), 0);

    const std::vector<char> flash = ReadAll(dump);
    ASSERT_GE(flash.size(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), flash.begin()));
    EXPECT_EQ(flash[bytes.size()], '\xFF');
}

INSTANTIATE_TEST_SUITE_P(Chips, Stm32flashCheck,
                         testing::Values("f0", "f1", "f4", "g0", "l4", "h7", "l0"));

}  // namespace
