// The simulated bootloader's protocol, byte by byte.
#include <gtest/gtest.h>

#include <asm/termbits.h>

#include <string>

#include "devsim/BootChip.h"
#include "devsim/BootloaderMode.h"

using namespace devsim;

namespace {

std::string B(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) {
        s.push_back(static_cast<char>(b));
    }
    return s;
}

std::string Feed(BootChip& chip, const std::string& bytes) {
    std::string out;
    chip.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out);
    return out;
}

const std::string kAck = B({0x79});
const std::string kNack = B({0x1F});

TEST(BootChip, SyncThenIdentityCommands) {
    BootChip chip(ChipFamily::F1, BootFault::None);
    EXPECT_EQ(Feed(chip, B({0x00, 0xFF})), "");  // nothing before the 0x7F
    EXPECT_EQ(Feed(chip, B({0x7F})), kAck);
    EXPECT_EQ(Feed(chip, B({0x7F})), kNack);  // already synchronised
    EXPECT_EQ(Feed(chip, B({0x01, 0xFE})), kAck + B({0x22, 0, 0}) + kAck);
    EXPECT_EQ(Feed(chip, B({0x02, 0xFD})), kAck + B({0x01, 0x04, 0x10}) + kAck);
    const std::string get = Feed(chip, B({0x00, 0xFF}));
    EXPECT_EQ(get.substr(0, 3), kAck + B({11, 0x22}));
    EXPECT_NE(get.find('\x43'), std::string::npos);
    EXPECT_EQ(Feed(chip, B({0x01, 0x01})), kNack);  // bad complement
    // A frame split over several reads is answered once it is complete.
    EXPECT_EQ(Feed(chip, B({0x11})), "");
    EXPECT_EQ(Feed(chip, B({0xEE, 0x1F, 0xFF})), kAck);
    EXPECT_EQ(Feed(chip, B({0xF7, 0xE0, 0xF7})), kAck);
    EXPECT_EQ(Feed(chip, B({0x03, 0xFC})), kAck + B({0x80, 0x00, 0xFF, 0xFF}));
}

TEST(BootChip, FlashNeedsEraseAndPageEraseClearsOnlyItsPages) {
    BootChip chip(ChipFamily::F1, BootFault::None);
    Feed(chip, B({0x7F}));
    // Write Memory of four bytes of `value`; `spoil` damages the data checksum.
    auto write = [&](std::uint32_t address, std::uint8_t value, std::uint8_t spoil = 0) {
        std::string addr;
        std::uint8_t x = 0;
        for (int shift = 24; shift >= 0; shift -= 8) {
            addr.push_back(static_cast<char>(address >> shift));
            x ^= static_cast<std::uint8_t>(address >> shift);
        }
        addr.push_back(static_cast<char>(x));
        const std::string data = B({3}) + std::string(4, static_cast<char>(value)) +
                                 B({static_cast<std::uint8_t>(3 ^ spoil)});
        std::string out = Feed(chip, B({0x31, 0xCE}));
        out += Feed(chip, addr);
        return out + Feed(chip, data);
    };
    EXPECT_EQ(write(0x08000400, 0x0F), kAck + kAck + kAck);
    EXPECT_EQ(write(0x08000400, 0xF3), kAck + kAck + kAck);
    EXPECT_EQ(chip.Flash()[0x400], 0x03);  // programming only clears bits
    EXPECT_EQ(write(0x08000000, 0x11, 0x01), kAck + kAck + kNack);
    EXPECT_EQ(chip.BlocksWritten(), 2u);
    EXPECT_EQ(write(0x08100000, 0x11).substr(0, 2), kAck + kNack);  // past the flash

    // Erase page 1 only (list frame: N, pages, XOR).
    EXPECT_EQ(Feed(chip, B({0x43, 0xBC})), kAck);
    EXPECT_EQ(Feed(chip, B({0x00, 0x01, 0x01})), kAck);
    EXPECT_EQ(chip.Flash()[0x400], 0xFF);
    write(0x08000000, 0x11);
    EXPECT_EQ(Feed(chip, B({0x43, 0xBC, 0xFF, 0x00})), kAck + kAck);
    EXPECT_EQ(chip.Flash()[0], 0xFF);
}

TEST(BootChip, FamiliesAndFaults) {
    BootChip f4(ChipFamily::F4, BootFault::None);
    Feed(f4, B({0x7F}));
    EXPECT_EQ(Feed(f4, B({0x43, 0xBC})), kNack);
    EXPECT_EQ(Feed(f4, B({0x44, 0xBB})), kAck);
    EXPECT_EQ(Feed(f4, B({0xFF, 0xFF, 0x00})), kAck);                                 // mass erase
    EXPECT_EQ(Feed(f4, B({0x44, 0xBB, 0x00, 0x00, 0x00, 0x05, 0x05})), kAck + kAck);  // sector 5

    BootChip silent(ChipFamily::F1, BootFault::Silence);
    EXPECT_EQ(Feed(silent, B({0x7F, 0x7F})), "");
    // Already synchronised: the 0x7F is refused, commands are answered.
    BootChip nackSync(ChipFamily::F1, BootFault::NackSync);
    EXPECT_EQ(Feed(nackSync, B({0x7F})), kNack);
    EXPECT_EQ(Feed(nackSync, B({0x02, 0xFD})), kAck + B({0x01, 0x04, 0x10}) + kAck);
    BootChip noErase(ChipFamily::F1, BootFault::NackErase);
    EXPECT_EQ(Feed(noErase, B({0x7F, 0x43, 0xBC})), kAck + kNack);
    BootChip locked(ChipFamily::F1, BootFault::ReadProtected);
    EXPECT_EQ(Feed(locked, B({0x7F, 0x01, 0xFE})), kAck + kAck + B({0x22, 0x01, 0x00}) + kAck);
    EXPECT_EQ(Feed(locked, B({0x11, 0xEE})), kNack);
    EXPECT_EQ(Feed(locked, B({0x31, 0xCE})), kNack);
    // Readout Unprotect erases everything and resets the chip.
    EXPECT_EQ(Feed(locked, B({0x92, 0x6D})), kAck + kAck);
    EXPECT_EQ(Feed(locked, B({0x7F, 0x11, 0xEE})), kAck + kAck);
}

// Reads four bytes at `address`: the reply, or the NACK where reading stops.
std::string Read4(BootChip& chip, std::uint32_t address) {
    std::string addr;
    std::uint8_t x = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        addr.push_back(static_cast<char>(address >> shift));
        x ^= static_cast<std::uint8_t>(address >> shift);
    }
    addr.push_back(static_cast<char>(x));
    std::string out = Feed(chip, B({0x11, 0xEE}));
    out += Feed(chip, addr);
    if (out != kAck + kAck) {
        return out;
    }
    return Feed(chip, B({0x03, 0xFC}));
}

TEST(BootChip, EachFamilyKeepsItsIdentityRegistersAndEraseWhereTheRealChipDoes) {
    struct Case {
        ChipFamily family;
        int id;
        std::uint32_t sizeReg;
        std::string size;  // little-endian KiB
        std::uint8_t erase;
        std::uint8_t refused;
    };
    const Case cases[] = {
        {ChipFamily::F0, 0x440, 0x1FFFF7CC, B({64, 0}), 0x43, 0x44},
        {ChipFamily::F1, 0x410, 0x1FFFF7E0, B({128, 0}), 0x43, 0x44},
        {ChipFamily::F4, 0x413, 0x1FFF7A22, B({0, 4}), 0x44, 0x43},
        {ChipFamily::G0, 0x460, 0x1FFF75E0, B({128, 0}), 0x44, 0x43},
        {ChipFamily::L4, 0x415, 0x1FFF75E0, B({0, 4}), 0x44, 0x43},
        {ChipFamily::H7, 0x450, 0x1FF1E880, B({0, 8}), 0x44, 0x43},
        {ChipFamily::L0, 0x417, 0x1FF8007C, B({64, 0}), 0x44, 0x43},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        BootChip chip(c.family, BootFault::None);
        Feed(chip, B({0x7F}));
        EXPECT_EQ(Feed(chip, B({0x02, 0xFD})), kAck + B({0x01, c.id >> 8, c.id & 0xFF}) + kAck);
        const std::string get = Feed(chip, B({0x00, 0xFF}));
        EXPECT_NE(get.find(static_cast<char>(c.erase), 3), std::string::npos);
        EXPECT_EQ(get.find(static_cast<char>(c.refused), 3), std::string::npos);
        EXPECT_EQ(Read4(chip, c.sizeReg).substr(1, 2), c.size);
        // Only the chip's own register area is readable: the F1 address elsewhere is not.
        if (c.sizeReg != 0x1FFFF7E0 && c.sizeReg != 0x1FFFF7CC) {
            EXPECT_EQ(Read4(chip, 0x1FFFF7E0), kAck + kNack);
        }
        EXPECT_EQ(Feed(chip, B({c.refused, c.refused ^ 0xFF})), kNack);
        // Erasing takes the manual's time; the flash is answered for only then.
        EXPECT_EQ(chip.TakeBusyMs(), 0u);
        EXPECT_EQ(Feed(chip, B({c.erase, c.erase ^ 0xFF})), kAck);
        EXPECT_EQ(Feed(chip, c.erase == 0x43 ? B({0x00, 0x00, 0x00}) : B({0, 0, 0, 0, 0})), kAck);
        EXPECT_GT(chip.TakeBusyMs(), 0u);
        // Whole-chip erase: every family but L0 takes the code.
        const std::string mass = c.erase == 0x43 ? B({0xFF, 0x00}) : B({0xFF, 0xFF, 0x00});
        EXPECT_EQ(Feed(chip, B({c.erase, c.erase ^ 0xFF})), kAck);
        EXPECT_EQ(Feed(chip, mass), c.family == ChipFamily::L0 ? kNack : kAck);
    }
}

TEST(BootChip, WriteProtectionHoldsUntilWriteUnprotect) {
    BootChip chip(ChipFamily::F4, BootFault::WriteProtected);
    Feed(chip, B({0x7F}));
    EXPECT_EQ(Feed(chip, B({0x44, 0xBB})), kNack);
    EXPECT_EQ(Feed(chip, B({0x73, 0x8C})), kAck + kAck);
    // The chip restarts: a new 0x7F, then the erase is accepted.
    EXPECT_EQ(Feed(chip, B({0x7F, 0x44, 0xBB, 0xFF, 0xFF, 0x00})), kAck + kAck + kAck);
    EXPECT_EQ(chip.TakeBusyMs(), 8000u);
}

TEST(BootChip, GoStartsTheProgramAndTheNextSyncRestartsTheBootloader) {
    BootChip chip(ChipFamily::F1, BootFault::None);
    EXPECT_EQ(Feed(chip, B({0x7F, 0x21, 0xDE, 0x08, 0, 0, 0, 0x08})), kAck + kAck + kAck);
    EXPECT_EQ(chip.TakeGo(), 0x08000000u);
    EXPECT_FALSE(chip.TakeGo());
    EXPECT_EQ(Feed(chip, B({0x7F})), kAck);
}

TEST(BootloaderMode, CharacterTimeCountsTheParityBit) {
    LineSettings line;
    line.cflag = CS8;
    line.ospeed = 460800;
    // 11 bits at 460800 bit/s.
    EXPECT_EQ(CharacterTime(line).count(), 11'000'000'000ll / 460800);
}

}  // namespace
