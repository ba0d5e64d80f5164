#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace devsim {

// The chip families the bootloader mode plays.
enum class ChipFamily {
    F0,  // product 0x440, bootloader 2.1, Erase (0x43), 64 KiB in 1 KiB pages
    F1,  // product 0x410, bootloader 2.2, Erase (0x43), 128 KiB in 1 KiB pages
    F4,  // product 0x413, bootloader 3.1, Extended Erase (0x44) only, 1 MiB in sectors
    G0,  // product 0x460, Extended Erase only, 128 KiB in 2 KiB pages
    L4,  // product 0x415, Extended Erase only, 1 MiB in 2 KiB pages
    H7,  // product 0x450, Extended Erase only, 2 MiB in 128 KiB sectors
    L0,  // product 0x417, Extended Erase only, no mass erase, 64 KiB in 128-byte pages
};

enum class BootFault {
    None,
    Silence,         // never answers
    NackSync,        // answers the 0x7F with NACK
    NackErase,       // refuses every erase command
    ReadProtected,   // read protection set: Read, Write, Go and erase refused
    WriteProtected,  // write protection set: Write and erase refused
    StuckBit,        // bit 0 of one flash byte (0x08000100 unless told) cannot be programmed
    UnknownId,       // Get ID answers 0x4FF, a product no table knows
};

std::optional<ChipFamily> ChipFromName(const std::string& name);
std::optional<BootFault> FaultFromName(const std::string& name);

// The system-memory bootloader of an STM32 as seen on its USART: a byte-driven state
// machine over a flash array, a little RAM and the system information area.
class BootChip {
  public:
    // `faultAddress`: the byte a stuck-bit fault sits in.
    BootChip(ChipFamily family, BootFault fault, std::uint32_t faultAddress = 0x08000100);

    // Takes received bytes; appends every reply they complete to `out`.
    void Feed(const std::uint8_t* data, std::size_t n, std::string& out);
    // Back to waiting for 0x7F, as after a reset.
    void Reset();

    const std::vector<std::uint8_t>& Flash() const { return flash_; }
    std::uint32_t FlashBase() const { return 0x08000000; }
    // Write Memory commands into flash that completed.
    std::uint32_t BlocksWritten() const { return blocksWritten_; }
    // Address of the last Go, once; empty when none arrived since the last call.
    std::optional<std::uint32_t> TakeGo();
    // Mass or page erases that completed.
    std::uint32_t Erases() const { return erases_; }
    // Milliseconds the flash operations of the last Feed take on the real chip (typical
    // figures of the reference manual); the replies that follow wait that long.
    std::uint32_t TakeBusyMs();

  private:
    enum class State {
        Sync,
        Command,
        ReadAddress,
        ReadCount,
        WriteAddress,
        WriteData,
        EraseCount,
        ErasePages,
        ExtEraseCount,
        ExtErasePages,
        GoAddress,
        ProtectCount,
        ProtectList,
    };

    std::size_t Avail() const { return in_.size() - head_; }
    std::uint8_t At(std::size_t i) const { return in_[head_ + i]; }
    void Consume(std::size_t k) { head_ += k; }
    bool Step(std::string& out);
    bool TakeAddress(std::uint32_t& address);
    bool Readable(std::uint32_t address, std::size_t len) const;
    bool Writable(std::uint32_t address, std::size_t len) const;
    std::uint8_t ReadByte(std::uint32_t address) const;
    void EraseAll();
    void ErasePage(std::uint32_t page);
    bool MassCode(std::uint16_t code) const;
    bool UnitExists(std::uint32_t n) const;
    std::uint16_t ProductId() const;
    void StartCommand(std::uint8_t code, std::string& out);

    ChipFamily family_;
    BootFault fault_;
    std::uint32_t faultAddress_;
    bool protected_;
    bool writeProtected_;
    std::uint32_t busyMs_ = 0;
    State state_ = State::Sync;
    std::vector<std::uint8_t> in_;
    std::size_t head_ = 0;
    std::vector<std::uint8_t> flash_;
    std::vector<std::uint8_t> ram_;
    std::uint32_t address_ = 0;
    std::size_t pending_ = 0;  // bytes the current frame still needs
    std::uint32_t blocksWritten_ = 0;
    std::uint32_t erases_ = 0;
    std::optional<std::uint32_t> go_;
};

}  // namespace devsim
