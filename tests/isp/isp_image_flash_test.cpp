// Image files other than Intel HEX, written by srec_cat, flashed onto the simulated chip
// and verified exactly like a HEX file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <random>

#include "isp/kit/IspHarness.h"
#include "isp/kit/IspSim.h"

using namespace zenta::isp;
using testing::HasSubstr;
using testing::Not;

namespace {

class ImageFlash : public isp_test::IspSim {
  protected:
    // Random bytes as data.bin in the simulator's folder, and srec_cat's rendering of them
    // at the flash base as `name` (no output options: the binary itself).
    std::string Write(std::size_t n, const std::string& name, const std::string& output) {
        std::mt19937 random(static_cast<unsigned>(n));
        data_.resize(n);
        for (auto& b : data_) {
            b = static_cast<std::uint8_t>(random());
        }
        std::ofstream(link_.dir + "/data.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(data_.data()),
                   static_cast<std::streamsize>(data_.size()));
        if (!output.empty()) {
            const std::string cmd = "cd '" + link_.dir +
                                    "' && timeout 30 srec_cat data.bin -binary -offset "
                                    "0x08000000 -o " +
                                    name + " " + output + " >/dev/null 2>&1";
            EXPECT_EQ(std::system(cmd.c_str()), 0);
        }
        return link_.dir + "/" + name;
    }
    // The flash the chip ends with holds the data at `offset` and nothing else.
    void ExpectFlashed(std::uint32_t offset = 0) {
        const auto flash = Flash();
        ASSERT_GE(flash.size(), offset + data_.size());
        EXPECT_TRUE(std::equal(data_.begin(), data_.end(), flash.begin() + offset));
        EXPECT_TRUE(
            std::all_of(flash.begin(), flash.begin() + offset, [](auto b) { return b == 0xFF; }));
        EXPECT_TRUE(std::all_of(flash.begin() + offset + static_cast<long>(data_.size()),
                                flash.end(), [](auto b) { return b == 0xFF; }));
    }
    std::vector<std::uint8_t> data_;
};

TEST_F(ImageFlash, SRecordFileIsWrittenVerifiedAndStarted) {
    Start();
    h_->fileName = Write(3001, "fw.s19", "-motorola");
    ASSERT_EQ(h_->Run(), RunEnd::Programmed);
    EXPECT_THAT(h_->printed, HasSubstr("\r\nProgram 3072 bytes,Used "));
    EXPECT_THAT(h_->printed, HasSubstr(" bytes/S. verified\r\nUser's Program is Running!"));
    EXPECT_THAT(h_->printed, Not(HasSubstr("Warning")));
    ExpectFlashed();
}

TEST_F(ImageFlash, BinaryFileStartsAtTheFlashBase) {
    Start({"--chip", "f4"});
    h_->fileName = Write(4099, "data.bin", "");
    ASSERT_EQ(h_->Run(), RunEnd::Programmed);
    EXPECT_THAT(h_->printed, HasSubstr("\r\nProgram 4352 bytes,Used "));
    EXPECT_THAT(h_->printed, HasSubstr(" verified"));
    EXPECT_THAT(sim_->WaitForLine("user program started at"), HasSubstr("0x08000000"));
    ExpectFlashed();
}

TEST_F(ImageFlash, HexFileWithoutItsEndRecordIsFlashedWithAWarning) {
    Start();
    const std::string path = Write(600, "cut.hex", "-intel");
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    text.erase(text.rfind(":00000001FF"));
    std::ofstream(path, std::ios::binary) << text;
    h_->fileName = path;
    ASSERT_EQ(h_->Run(), RunEnd::Programmed);
    EXPECT_THAT(h_->printed, HasSubstr("\r\nWarning: the file has no end record; it may be "
                                       "incomplete.\r\nStart connecting"));
    ExpectFlashed();
}

}  // namespace
