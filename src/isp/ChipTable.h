#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the programmer knows of each STM32 family, keyed by the product ID that Get ID
// returns. Figures are from ST's bootloader application note (AN2606) and the reference
// manuals of each family; the largest part of a product ID sets the flash size when the
// chip's own size register cannot be read.
namespace zenta::isp {

// A run of equal erase units (pages or sectors) from the flash base upward.
struct EraseUnits {
    std::uint32_t count = 0;
    std::uint32_t bytes = 0;
    // Bootloader number of the first unit; kContinue goes on from the run before.
    std::uint32_t firstNumber = kContinue;
    static constexpr std::uint32_t kContinue = 0xFFFFFFFF;
};

struct ChipFamily {
    std::uint16_t productId = 0;
    const char* name = "";           // "STM32F40x/41x"
    std::uint32_t flashKiB = 0;      // largest part of the ID
    std::uint32_t flashSizeReg = 0;  // 16-bit size in KiB, little-endian; 0 = none known
    std::uint32_t ramBase = 0x20000000;
    std::uint32_t ramKiB = 0;
    std::uint8_t eraseCommand = 0x44;  // what this family's bootloader offers
    // Erase units in the order the bootloader numbers them; pages of one size when a
    // single run covers the whole flash.
    std::vector<EraseUnits> layout;
    // Slowest erase the reference manual gives: whole chip, and per KiB of one unit
    // (a 128 KiB F4 sector: 2 s); a smaller unit never takes less than unitMinMs.
    std::uint32_t massEraseMaxMs = 0;
    std::uint32_t unitMsPerKiB = 0;
    std::uint32_t unitMinMs = 0;
    const char* quirk = "";  // known bootloader behaviour worth a line in the log
};

// Bootloader command codes: those that Get may list and the programmer may use.
inline constexpr std::uint8_t kCmdGet = 0x00;
inline constexpr std::uint8_t kCmdExtendedErase = 0x44;
inline constexpr std::uint8_t kCmdWriteUnprotect = 0x73;
inline constexpr std::uint8_t kCmdReadoutUnprotect = 0x92;

const ChipFamily* FindChip(std::uint16_t productId);
const std::vector<ChipFamily>& AllChips();

// One erase unit as the bootloader numbers it.
struct EraseUnit {
    std::uint32_t number = 0;
    std::uint32_t offset = 0;  // from the flash base
    std::uint32_t bytes = 0;
};

// The units of `family` within `flashBytes`, in bootloader numbering.
std::vector<EraseUnit> UnitsOf(const ChipFamily& family, std::uint32_t flashBytes);

// Longest wait for the acknowledgement of an erase: the manual's slowest figure with
// a margin; `units` empty means the whole chip.
std::uint32_t EraseWaitMs(const ChipFamily* family, const std::vector<EraseUnit>& units);

// "STM32F40x/41x, flash 1024 KiB"
std::string ChipLine(const ChipFamily& family, std::uint32_t flashKiB);

}  // namespace zenta::isp
