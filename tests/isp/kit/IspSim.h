#pragma once
// A programming run against the simulated chip in its own process, published in a
// private folder; shared by the programmer's test files.

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "isp/kit/IspHarness.h"
#include "support/DevsimProcess.h"

namespace isp_test {

inline std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return v;
}

inline std::size_t Count(const std::string& text, const std::string& needle) {
    std::size_t n = 0;
    for (auto p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1)) {
        ++n;
    }
    return n;
}

class IspSim : public testing::Test {
  protected:
    void Start(std::vector<std::string> extra = {}) {
        h_.reset();
        if (sim_) {
            sim_->Signal(SIGTERM);
            sim_->WaitExit();
        }
        std::vector<std::string> args = {"bootloader", "--link",        link_.path, "--dump",
                                         dump_,        "--erase-scale", "2"};
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
        sim_.reset();
        std::ifstream in(dump_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    devsim_test::TempLink link_;
    std::string dump_ = link_.dir + "/flash.bin";
    std::unique_ptr<devsim_test::DevsimProcess> sim_;
    std::unique_ptr<TIspHarness> h_;
};

}  // namespace isp_test
