#pragma once
// Block checks of the transfer protocols.

#include <cstddef>
#include <cstdint>

namespace zenta::transfer {

// XMODEM's arithmetic checksum: the low byte of the sum of the data.
std::uint8_t Checksum8(const std::uint8_t* data, std::size_t n);
// CRC-16/XMODEM: polynomial 0x1021, initial value 0, no reflection, sent high byte first.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t n, std::uint16_t crc = 0);

}  // namespace zenta::transfer
