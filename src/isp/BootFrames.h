#pragma once

#include <cstdint>
#include <string>

namespace zenta::isp {

inline constexpr std::uint8_t kSyncByte = 0x7F;
inline constexpr std::uint8_t kAck = 0x79;
inline constexpr std::uint8_t kNack = 0x1F;
inline constexpr std::uint32_t kFlashSizeRegister = 0x1FFFF7E0;
inline constexpr std::uint32_t kBlockSize = 256;

// Command codes the programmer sends.
inline constexpr std::uint8_t kCmdGetVersion = 0x01;
inline constexpr std::uint8_t kCmdGetId = 0x02;
inline constexpr std::uint8_t kCmdReadMemory = 0x11;
inline constexpr std::uint8_t kCmdGo = 0x21;
inline constexpr std::uint8_t kCmdWriteMemory = 0x31;
inline constexpr std::uint8_t kCmdErase = 0x43;

// A code and its complement; also the count frame of Read Memory (count - 1).
std::string CommandFrame(std::uint8_t code);
// The address most significant byte first, then the XOR of its four bytes.
std::string AddressFrame(std::uint32_t address);
// 0xFF (256 bytes - 1), the block, then 0xFF XOR every block byte.
std::string DataFrame(const std::uint8_t* block);
// Global erase: FF 00.
std::string EraseAllFrame();

}  // namespace zenta::isp
