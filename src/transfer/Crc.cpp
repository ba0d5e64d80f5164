#include "transfer/Crc.h"

#include <array>

namespace zenta::transfer {

namespace {

constexpr std::array<std::uint16_t, 256> MakeCrc16Table() {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t c = static_cast<std::uint16_t>(i << 8);
        for (int b = 0; b < 8; ++b) {
            c = static_cast<std::uint16_t>((c & 0x8000) ? (c << 1) ^ 0x1021 : c << 1);
        }
        t[i] = c;
    }
    return t;
}

constexpr auto kCrc16Table = MakeCrc16Table();

}  // namespace

std::uint8_t Checksum8(const std::uint8_t* data, std::size_t n) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum = static_cast<std::uint8_t>(sum + data[i]);
    }
    return sum;
}

std::uint16_t Crc16(const std::uint8_t* data, std::size_t n, std::uint16_t crc) {
    for (std::size_t i = 0; i < n; ++i) {
        crc = static_cast<std::uint16_t>((crc << 8) ^ kCrc16Table[((crc >> 8) ^ data[i]) & 0xFF]);
    }
    return crc;
}

}  // namespace zenta::transfer
