#include "isp/BootFrames.h"

namespace zenta::isp {

std::string CommandFrame(std::uint8_t code) {
    return {static_cast<char>(code), static_cast<char>(code ^ 0xFF)};
}

std::string AddressFrame(std::uint32_t address) {
    std::string frame(5, '\0');
    std::uint8_t check = 0;
    for (int i = 0; i < 4; ++i) {
        const auto b = static_cast<std::uint8_t>(address >> (24 - 8 * i));
        frame[static_cast<std::size_t>(i)] = static_cast<char>(b);
        check ^= b;
    }
    frame[4] = static_cast<char>(check);
    return frame;
}

std::string DataFrame(const std::uint8_t* block) {
    std::string frame;
    frame.reserve(kBlockSize + 2);
    frame.push_back(static_cast<char>(0xFF));
    std::uint8_t check = 0xFF;
    for (std::uint32_t i = 0; i < kBlockSize; ++i) {
        frame.push_back(static_cast<char>(block[i]));
        check ^= block[i];
    }
    frame.push_back(static_cast<char>(check));
    return frame;
}

std::string EraseAllFrame() {
    return {static_cast<char>(0xFF), '\0'};
}

}  // namespace zenta::isp
