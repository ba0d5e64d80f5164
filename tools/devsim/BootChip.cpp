#include "devsim/BootChip.h"

#include <algorithm>

namespace devsim {
namespace {

constexpr std::uint8_t kAck = 0x79;
constexpr std::uint8_t kNack = 0x1F;
constexpr std::uint32_t kFlashBase = 0x08000000;
constexpr std::uint32_t kRamBase = 0x20000000;

struct Units {
    std::uint32_t count;
    std::uint32_t bytes;
};

constexpr std::uint32_t kKiB = 1024;

// Each chip as its reference manual and the bootloader note describe it.
struct Family {
    const char* name;
    std::uint16_t productId;
    std::uint8_t version;
    std::uint8_t eraseCode;
    std::uint32_t flashKiB;
    std::uint32_t ramKiB;
    std::uint32_t sizeReg;  // flash size in KiB, 16 bits little-endian
    // System memory, OTP, device data and option bytes the bootloader lets Read reach.
    std::uint32_t systemBase;
    std::uint32_t systemEnd;
    std::vector<Units> layout;
    // Typical erase times: per KiB of a page or sector (never below unitMinMs), whole chip.
    std::uint32_t unitMsPerKiB;
    std::uint32_t unitMinMs;
    std::uint32_t massMs;
    bool massErase;  // the bootloader takes the whole-chip code
};

const Family& Info(ChipFamily f) {
    static const Family families[] = {
        {"f0",
         0x440,
         0x21,
         0x43,
         64,
         8,
         0x1FFFF7CC,
         0x1FFFEC00,
         0x1FFFF810,
         {{64, kKiB}},
         0,
         20,
         20,
         true},
        {"f1",
         0x410,
         0x22,
         0x43,
         128,
         20,
         0x1FFFF7E0,
         0x1FFFF000,
         0x1FFFF810,
         {{128, kKiB}},
         0,
         20,
         20,
         true},
        // x32 column of the F4 manual: 16 KiB 250 ms, 64 KiB 550 ms, 128 KiB 1 s, chip 8 s.
        {"f4",
         0x413,
         0x31,
         0x44,
         1024,
         128,
         0x1FFF7A22,
         0x1FFF0000,
         0x1FFF7A30,
         {{4, 16 * kKiB}, {1, 64 * kKiB}, {7, 128 * kKiB}},
         8,
         250,
         8000,
         true},
        {"g0",
         0x460,
         0x31,
         0x44,
         128,
         36,
         0x1FFF75E0,
         0x1FFF0000,
         0x1FFF7880,
         {{64, 2 * kKiB}},
         0,
         22,
         22,
         true},
        {"l4",
         0x415,
         0x31,
         0x44,
         1024,
         96,
         0x1FFF75E0,
         0x1FFF0000,
         0x1FFF7810,
         {{512, 2 * kKiB}},
         0,
         22,
         22,
         true},
        {"h7",
         0x450,
         0x31,
         0x44,
         2048,
         128,
         0x1FF1E880,
         0x1FF00000,
         0x1FF20000,
         {{16, 128 * kKiB}},
         16,
         2000,
         8000,
         true},
        // RM0377: 128-byte pages erased in about 3.2 ms each; the bootloader (AN2606) has
        // no mass erase, so a whole chip goes page by page.
        {"l0",
         0x417,
         0x30,
         0x44,
         64,
         8,
         0x1FF8007C,
         0x1FF00000,
         0x1FF80080,
         {{512, 128}},
         0,
         4,
         0,
         false},
    };
    return families[static_cast<int>(f)];
}

// Offset and size of unit n, or size 0 past the last one.
std::pair<std::uint32_t, std::uint32_t> UnitOf(const Family& info, std::uint32_t n) {
    std::uint32_t offset = 0;
    for (const Units& u : info.layout) {
        if (n < u.count) {
            return {offset + n * u.bytes, u.bytes};
        }
        n -= u.count;
        offset += u.count * u.bytes;
    }
    return {0, 0};
}

}  // namespace

std::optional<ChipFamily> ChipFromName(const std::string& name) {
    for (ChipFamily f : {ChipFamily::F0, ChipFamily::F1, ChipFamily::F4, ChipFamily::G0,
                         ChipFamily::L4, ChipFamily::H7, ChipFamily::L0}) {
        if (name == Info(f).name) {
            return f;
        }
    }
    return std::nullopt;
}

std::optional<BootFault> FaultFromName(const std::string& name) {
    static const std::pair<const char*, BootFault> names[] = {
        {"none", BootFault::None},
        {"silence", BootFault::Silence},
        {"nack-sync", BootFault::NackSync},
        {"nack-erase", BootFault::NackErase},
        {"protected", BootFault::ReadProtected},
        {"write-protected", BootFault::WriteProtected},
        {"stuck-bit", BootFault::StuckBit},
        {"unknown-id", BootFault::UnknownId},
    };
    for (const auto& [n, f] : names) {
        if (name == n) {
            return f;
        }
    }
    return std::nullopt;
}

BootChip::BootChip(ChipFamily family, BootFault fault, std::uint32_t faultAddress)
    : family_(family),
      fault_(fault),
      faultAddress_(faultAddress),
      protected_(fault == BootFault::ReadProtected),
      writeProtected_(fault == BootFault::WriteProtected),
      flash_(std::size_t{Info(family).flashKiB} * 1024, 0xFF),
      ram_(std::size_t{Info(family).ramKiB} * 1024, 0) {}

void BootChip::Reset() {
    state_ = State::Sync;
    in_.clear();
    head_ = 0;
}

std::uint16_t BootChip::ProductId() const {
    return fault_ == BootFault::UnknownId ? 0x4FF : Info(family_).productId;
}

std::uint32_t BootChip::TakeBusyMs() {
    const std::uint32_t ms = busyMs_;
    busyMs_ = 0;
    return ms;
}

std::optional<std::uint32_t> BootChip::TakeGo() {
    auto go = go_;
    go_.reset();
    return go;
}

void BootChip::Feed(const std::uint8_t* data, std::size_t n, std::string& out) {
    in_.insert(in_.end(), data, data + n);
    while (Avail() > 0 && Step(out)) {
    }
    in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
}

bool BootChip::Readable(std::uint32_t a, std::size_t len) const {
    const std::uint64_t end = std::uint64_t{a} + len;
    const Family& info = Info(family_);
    return (a >= kFlashBase && end <= kFlashBase + flash_.size()) ||
           (a >= kRamBase && end <= kRamBase + ram_.size()) ||
           (a >= info.systemBase && end <= info.systemEnd);
}

bool BootChip::Writable(std::uint32_t a, std::size_t len) const {
    const std::uint64_t end = std::uint64_t{a} + len;
    return (a >= kFlashBase && end <= kFlashBase + flash_.size()) ||
           (a >= kRamBase && end <= kRamBase + ram_.size());
}

std::uint8_t BootChip::ReadByte(std::uint32_t a) const {
    if (a >= kFlashBase && a - kFlashBase < flash_.size()) {
        return flash_[a - kFlashBase];
    }
    if (a >= kRamBase && a - kRamBase < ram_.size()) {
        return ram_[a - kRamBase];
    }
    // Flash size in KiB, little-endian, where each family keeps it.
    const std::uint32_t sizeReg = Info(family_).sizeReg;
    const std::uint32_t kib = static_cast<std::uint32_t>(flash_.size() / 1024);
    if (a == sizeReg) {
        return static_cast<std::uint8_t>(kib);
    }
    if (a == sizeReg + 1) {
        return static_cast<std::uint8_t>(kib >> 8);
    }
    return 0xFF;
}

void BootChip::EraseAll() {
    std::fill(flash_.begin(), flash_.end(), 0xFF);
    busyMs_ += Info(family_).massMs;
    ++erases_;
}

void BootChip::ErasePage(std::uint32_t page) {
    const Family& info = Info(family_);
    const auto [start, len] = UnitOf(info, page);
    if (len != 0) {
        std::fill_n(flash_.begin() + start, len, 0xFF);
        busyMs_ += std::max(info.unitMinMs, len / 1024 * info.unitMsPerKiB);
    }
}

// Extended Erase's special code for the whole chip; the bank erases (0xFFFE, 0xFFFD) are
// not modelled and refused.
bool BootChip::MassCode(std::uint16_t code) const {
    return code == 0xFFFF && Info(family_).massErase;
}

bool BootChip::UnitExists(std::uint32_t n) const {
    return UnitOf(Info(family_), n).second != 0;
}

bool BootChip::TakeAddress(std::uint32_t& address) {
    std::uint8_t check = 0;
    address = 0;
    for (int i = 0; i < 4; ++i) {
        address = (address << 8) | At(static_cast<std::size_t>(i));
        check ^= At(static_cast<std::size_t>(i));
    }
    const bool ok = check == At(4);
    Consume(5);
    return ok;
}

void BootChip::StartCommand(std::uint8_t code, std::string& out) {
    const Family& info = Info(family_);
    const auto ack = [&] { out.push_back(static_cast<char>(kAck)); };
    const auto nack = [&] {
        out.push_back(static_cast<char>(kNack));
        state_ = State::Command;
    };
    state_ = State::Command;
    switch (code) {
        case 0x00: {  // Get
            const std::uint8_t cmds[] = {0x00,           0x01, 0x02, 0x11, 0x21, 0x31,
                                         info.eraseCode, 0x63, 0x73, 0x82, 0x92};
            ack();
            out.push_back(static_cast<char>(sizeof cmds));
            out.push_back(static_cast<char>(info.version));
            out.append(reinterpret_cast<const char*>(cmds), sizeof cmds);
            ack();
            break;
        }
        case 0x01:  // Get Version and Read Protection Status
            ack();
            out.push_back(static_cast<char>(info.version));
            out.push_back(protected_ ? '\x01' : '\0');
            out.push_back('\0');
            ack();
            break;
        case 0x02:  // Get ID
            ack();
            out.push_back('\x01');
            out.push_back(static_cast<char>(ProductId() >> 8));
            out.push_back(static_cast<char>(ProductId() & 0xFF));
            ack();
            break;
        case 0x11:
        case 0x31:
        case 0x21:
            if (protected_) {
                return nack();
            }
            ack();
            state_ = code == 0x11   ? State::ReadAddress
                     : code == 0x31 ? State::WriteAddress
                                    : State::GoAddress;
            break;
        case 0x43:
        case 0x44:
            if (code != info.eraseCode || protected_ || writeProtected_ ||
                fault_ == BootFault::NackErase) {
                return nack();
            }
            ack();
            state_ = code == 0x43 ? State::EraseCount : State::ExtEraseCount;
            break;
        case 0x63:  // Write Protect: a list of sectors, then a reset
            if (protected_) {
                return nack();
            }
            ack();
            state_ = State::ProtectCount;
            break;
        case 0x73:  // Write Unprotect, then a reset
            if (protected_) {
                return nack();
            }
            ack();
            writeProtected_ = false;
            ack();
            Reset();
            break;
        case 0x82:  // Readout Protect, then a reset
            ack();
            protected_ = true;
            ack();
            Reset();
            break;
        case 0x92:  // Readout Unprotect: the flash goes with the protection
            ack();
            busyMs_ += Info(family_).massMs;
            std::fill(flash_.begin(), flash_.end(), 0xFF);
            protected_ = false;
            ack();
            Reset();
            break;
        default:
            nack();
            break;
    }
}

// One unit of input in the present state; false when more bytes are needed.
bool BootChip::Step(std::string& out) {
    const auto ack = [&] { out.push_back(static_cast<char>(kAck)); };
    const auto nack = [&] { out.push_back(static_cast<char>(kNack)); };
    switch (state_) {
        case State::Sync: {
            const std::uint8_t b = At(0);
            Consume(1);
            if (b != 0x7F || fault_ == BootFault::Silence) {
                return true;
            }
            if (fault_ == BootFault::NackSync) {
                // Already synchronised (an earlier run): the 0x7F is refused, commands work.
                nack();
                state_ = State::Command;
                return true;
            }
            ack();
            state_ = State::Command;
            return true;
        }
        case State::Command: {
            // A repeated 0x7F is answered at once: the link is already set up.
            if (At(0) == 0x7F) {
                Consume(1);
                nack();
                return true;
            }
            if (Avail() < 2) {
                return false;
            }
            const std::uint8_t code = At(0);
            const bool ok = (code ^ At(1)) == 0xFF;
            Consume(2);
            if (!ok) {
                nack();
                return true;
            }
            StartCommand(code, out);
            return true;
        }
        case State::ReadAddress:
        case State::WriteAddress:
        case State::GoAddress: {
            if (Avail() < 5) {
                return false;
            }
            std::uint32_t a = 0;
            const bool ok = TakeAddress(a);
            const bool valid = state_ == State::ReadAddress ? Readable(a, 1) : Writable(a, 1);
            if (!ok || !valid) {
                nack();
                state_ = State::Command;
                return true;
            }
            ack();
            address_ = a;
            if (state_ == State::GoAddress) {
                // The user program runs; a new 0x7F starts the bootloader afresh.
                go_ = a;
                state_ = State::Sync;
            } else {
                state_ = state_ == State::ReadAddress ? State::ReadCount : State::WriteData;
            }
            return true;
        }
        case State::ReadCount: {
            if (Avail() < 2) {
                return false;
            }
            const std::size_t count = std::size_t{At(0)} + 1;
            const bool ok = (At(0) ^ At(1)) == 0xFF;
            Consume(2);
            state_ = State::Command;
            if (!ok || !Readable(address_, count)) {
                nack();
                return true;
            }
            ack();
            for (std::size_t i = 0; i < count; ++i) {
                out.push_back(
                    static_cast<char>(ReadByte(address_ + static_cast<std::uint32_t>(i))));
            }
            return true;
        }
        case State::WriteData: {
            const std::size_t count = std::size_t{At(0)} + 1;
            if (Avail() < count + 2) {
                return false;
            }
            std::uint8_t check = At(0);
            for (std::size_t i = 0; i < count; ++i) {
                check ^= At(1 + i);
            }
            const bool flash = address_ >= kFlashBase && address_ < kFlashBase + flash_.size();
            const bool ok =
                check == At(count + 1) && Writable(address_, count) && !(flash && writeProtected_);
            if (ok) {
                for (std::size_t i = 0; i < count; ++i) {
                    const std::uint32_t a = address_ + static_cast<std::uint32_t>(i);
                    if (flash) {
                        // Programming only clears bits; a stuck cell keeps its 1.
                        const bool stuck = fault_ == BootFault::StuckBit && a == faultAddress_;
                        flash_[a - kFlashBase] &=
                            static_cast<std::uint8_t>(At(1 + i) | (stuck ? 1 : 0));
                    } else {
                        ram_[a - kRamBase] = At(1 + i);
                    }
                }
                blocksWritten_ += flash ? 1 : 0;
            }
            Consume(count + 2);
            state_ = State::Command;
            ok ? ack() : nack();
            return true;
        }
        case State::EraseCount: {
            if (At(0) == 0xFF) {
                if (Avail() < 2) {
                    return false;
                }
                const bool ok = At(1) == 0x00;
                Consume(2);
                state_ = State::Command;
                if (ok) {
                    EraseAll();
                }
                ok ? ack() : nack();
                return true;
            }
            pending_ = std::size_t{At(0)} + 1;
            state_ = State::ErasePages;
            return Avail() >= pending_ + 2 ? Step(out) : false;
        }
        case State::ErasePages: {
            if (Avail() < pending_ + 2) {
                return false;
            }
            std::uint8_t check = At(0);
            for (std::size_t i = 0; i < pending_; ++i) {
                check ^= At(1 + i);
            }
            bool ok = check == At(pending_ + 1);
            for (std::size_t i = 0; i < pending_; ++i) {
                ok = ok && UnitExists(At(1 + i));
            }
            if (ok) {
                for (std::size_t i = 0; i < pending_; ++i) {
                    ErasePage(At(1 + i));
                }
                ++erases_;
            }
            Consume(pending_ + 2);
            state_ = State::Command;
            ok ? ack() : nack();
            return true;
        }
        case State::ExtEraseCount: {
            if (Avail() < 2) {
                return false;
            }
            const std::uint16_t n = static_cast<std::uint16_t>((At(0) << 8) | At(1));
            if (n >= 0xFFF0) {
                if (Avail() < 3) {
                    return false;
                }
                const bool ok = (At(0) ^ At(1)) == At(2) && MassCode(n);
                Consume(3);
                state_ = State::Command;
                if (ok) {
                    EraseAll();
                }
                ok ? ack() : nack();
                return true;
            }
            pending_ = std::size_t{n} + 1;
            state_ = State::ExtErasePages;
            return Avail() >= 2 + 2 * pending_ + 1 ? Step(out) : false;
        }
        case State::ExtErasePages: {
            const std::size_t need = 2 + 2 * pending_ + 1;
            if (Avail() < need) {
                return false;
            }
            std::uint8_t check = 0;
            for (std::size_t i = 0; i + 1 < need; ++i) {
                check ^= At(i);
            }
            bool ok = check == At(need - 1);
            const auto unit = [&](std::size_t i) {
                return static_cast<std::uint32_t>((At(2 + 2 * i) << 8) | At(3 + 2 * i));
            };
            for (std::size_t i = 0; i < pending_; ++i) {
                ok = ok && UnitExists(unit(i));
            }
            if (ok) {
                for (std::size_t i = 0; i < pending_; ++i) {
                    ErasePage(unit(i));
                }
                ++erases_;
            }
            Consume(need);
            state_ = State::Command;
            ok ? ack() : nack();
            return true;
        }
        case State::ProtectCount:
            pending_ = std::size_t{At(0)} + 1;
            state_ = State::ProtectList;
            return Avail() >= pending_ + 2 ? Step(out) : false;
        case State::ProtectList: {
            if (Avail() < pending_ + 2) {
                return false;
            }
            Consume(pending_ + 2);
            ack();
            Reset();
            return true;
        }
    }
    return false;
}

}  // namespace devsim
