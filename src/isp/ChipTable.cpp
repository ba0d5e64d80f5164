#include "isp/ChipTable.h"

#include <algorithm>

namespace zenta::isp {

namespace {

constexpr std::uint32_t K = 1024;

// Register addresses of the flash size, by family.
constexpr std::uint32_t kSizeF0F3 = 0x1FFFF7CC;
constexpr std::uint32_t kSizeF1 = 0x1FFFF7E0;
constexpr std::uint32_t kSizeF2F4 = 0x1FFF7A22;
constexpr std::uint32_t kSizeF7 = 0x1FF0F442;
constexpr std::uint32_t kSizeF72 = 0x1FF07A22;
constexpr std::uint32_t kSizeG0G4L4 = 0x1FFF75E0;
constexpr std::uint32_t kSizeL0 = 0x1FF8007C;
constexpr std::uint32_t kSizeL1Low = 0x1FF8004C;
constexpr std::uint32_t kSizeL1High = 0x1FF800CC;
constexpr std::uint32_t kSizeH7 = 0x1FF1E880;
constexpr std::uint32_t kSizeH7A = 0x08FFF80C;

std::vector<EraseUnits> Pages(std::uint32_t flashKiB, std::uint32_t pageBytes) {
    return {{flashKiB * K / pageBytes, pageBytes}};
}

// F2/F4 single bank: four 16 KiB sectors, one of 64 KiB, then 128 KiB ones.
std::vector<EraseUnits> F4Sectors(std::uint32_t flashKiB) {
    const std::uint32_t big = flashKiB > 128 ? (flashKiB - 128) / 128 : 0;
    return {{4, 16 * K}, {1, 64 * K}, {big, 128 * K}};
}

// Dual bank F42x/F43x/F469: the second bank is numbered from 12.
std::vector<EraseUnits> F4DualSectors() {
    return {{4, 16 * K}, {1, 64 * K}, {7, 128 * K}, {4, 16 * K, 12}, {1, 64 * K}, {7, 128 * K}};
}

// Families with two banks of 2 KiB pages, the second bank numbered from 256.
std::vector<EraseUnits> SplitBankPages(std::uint32_t flashKiB) {
    const std::uint32_t perBank = flashKiB * K / 2 / (2 * K);
    return {{perBank, 2 * K, 0}, {perBank, 2 * K, 256}};
}

ChipFamily F0(std::uint16_t id, const char* name, std::uint32_t kib, std::uint32_t page,
              std::uint32_t ram) {
    return {id, name, kib, kSizeF0F3, 0x20000000, ram, 0x43, Pages(kib, page), 40, 0, 40, ""};
}

ChipFamily F1(std::uint16_t id, const char* name, std::uint32_t kib, std::uint32_t page,
              std::uint32_t ram) {
    return {id, name, kib, kSizeF1, 0x20000000, ram, 0x43, Pages(kib, page), 40, 0, 40, ""};
}

ChipFamily F3(std::uint16_t id, const char* name, std::uint32_t kib, std::uint32_t ram) {
    return {id, name, kib, kSizeF0F3, 0x20000000, ram, 0x44, Pages(kib, 2 * K), 40, 0, 40, ""};
}

// Sector erase times of the x8 column of the F2/F4 manuals (the bootloader does not know
// the supply voltage): 4 s for 128 KiB, 32 s for the whole chip.
ChipFamily F4(std::uint16_t id, const char* name, std::uint32_t kib, std::uint32_t ram,
              std::vector<EraseUnits> layout) {
    return {id, name, kib, kSizeF2F4, 0x20000000, ram, 0x44, std::move(layout), 32000, 32, 800, ""};
}

ChipFamily Gx(std::uint16_t id, const char* name, std::uint32_t kib, std::uint32_t ram,
              std::vector<EraseUnits> layout) {
    return {id, name, kib, kSizeG0G4L4, 0x20000000, ram, 0x44, std::move(layout), 40, 0, 40, ""};
}

constexpr const char* kNoMassErase =
    "no mass erase in this bootloader: every page is erased by number";

ChipFamily L0(std::uint16_t id, const char* name, std::uint32_t kib, std::uint32_t ram) {
    return {id, name, kib, kSizeL0, 0x20000000, ram, 0x44, Pages(kib, 128), 0, 0, 4, kNoMassErase};
}

ChipFamily L1(std::uint16_t id, const char* name, std::uint32_t kib, std::uint32_t sizeReg,
              std::uint32_t ram) {
    return {id, name, kib, sizeReg, 0x20000000, ram, 0x44, Pages(kib, 256), 0, 0, 5, kNoMassErase};
}

std::vector<ChipFamily> MakeTable() {
    std::vector<ChipFamily> t;
    // F0 (RM0091, RM0360): 1 or 2 KiB pages, Erase (0x43).
    t.push_back(F0(0x444, "STM32F03x", 32, K, 4));
    t.push_back(F0(0x445, "STM32F04x/F070x6", 32, K, 6));
    t.push_back(F0(0x440, "STM32F030x8/F05x", 64, K, 8));
    t.push_back(F0(0x448, "STM32F070xB/F07x", 128, 2 * K, 16));
    t.push_back(F0(0x442, "STM32F030xC/F09x", 256, 2 * K, 32));
    // F1 (RM0008, RM0041): page size by density.
    t.push_back(F1(0x412, "STM32F10x low-density", 32, K, 10));
    t.push_back(F1(0x410, "STM32F10x medium-density", 128, K, 20));
    t.push_back(F1(0x414, "STM32F10x high-density", 512, 2 * K, 64));
    t.push_back(F1(0x430, "STM32F10x XL-density", 1024, 2 * K, 96));
    t.push_back(F1(0x418, "STM32F105/107 connectivity line", 256, 2 * K, 64));
    t.push_back(F1(0x420, "STM32F100 value line low/medium-density", 128, K, 8));
    t.push_back(F1(0x428, "STM32F100 value line high-density", 512, 2 * K, 32));
    // F2 (RM0033) and F4 (RM0090, RM0368, RM0383, RM0390, RM0401, RM0402, RM0430).
    t.push_back(F4(0x411, "STM32F2xx", 1024, 128, F4Sectors(1024)));
    t.push_back(F4(0x413, "STM32F40x/41x", 1024, 128, F4Sectors(1024)));
    t.push_back(F4(0x419, "STM32F42x/43x", 2048, 192, F4DualSectors()));
    t.push_back(F4(0x423, "STM32F401xB/C", 256, 64, F4Sectors(256)));
    t.push_back(F4(0x433, "STM32F401xD/E", 512, 96, F4Sectors(512)));
    t.push_back(F4(0x431, "STM32F411xx", 512, 128, F4Sectors(512)));
    t.push_back(F4(0x458, "STM32F410xx", 128, 32, F4Sectors(128)));
    t.push_back(F4(0x421, "STM32F446xx", 512, 128, F4Sectors(512)));
    t.push_back(F4(0x434, "STM32F469/479", 2048, 384, F4DualSectors()));
    t.push_back(F4(0x441, "STM32F412xx", 1024, 256, F4Sectors(1024)));
    t.push_back(F4(0x463, "STM32F413/423", 1536, 320, F4Sectors(1536)));
    // F3 (RM0316, RM0313, RM0365, RM0366): 2 KiB pages.
    t.push_back(F3(0x422, "STM32F302xB/C/F303xB/C/F358", 256, 40));
    t.push_back(F3(0x432, "STM32F373/F378", 256, 32));
    t.push_back(F3(0x438, "STM32F303x4/6/8/F334/F328", 64, 12));
    t.push_back(F3(0x439, "STM32F301/F302x4/6/8/F318", 64, 16));
    t.push_back(F3(0x446, "STM32F302xD/E/F303xD/E/F398", 512, 64));
    // F7 (RM0385, RM0410, RM0431): sectors of 32/128/256 KiB, or 16/64/128 KiB.
    {
        ChipFamily f =
            F4(0x449, "STM32F74x/75x", 1024, 320, {{4, 32 * K}, {1, 128 * K}, {3, 256 * K}});
        f.flashSizeReg = kSizeF7;
        t.push_back(f);
        f = F4(0x451, "STM32F76x/77x", 2048, 512, {{4, 32 * K}, {1, 128 * K}, {7, 256 * K}});
        f.flashSizeReg = kSizeF7;
        f.quirk = "single-bank sector numbering (nDBANK set, as shipped)";
        t.push_back(f);
        f = F4(0x452, "STM32F72x/73x", 512, 256, F4Sectors(512));
        f.flashSizeReg = kSizeF72;
        t.push_back(f);
    }
    // G0 (RM0444, RM0454) and G4 (RM0440): 2 KiB pages, Extended Erase only.
    t.push_back(Gx(0x466, "STM32G03x/G04x", 64, 8, Pages(64, 2 * K)));
    t.push_back(Gx(0x456, "STM32G05x/G061", 64, 18, Pages(64, 2 * K)));
    t.push_back(Gx(0x460, "STM32G07x/G08x", 128, 36, Pages(128, 2 * K)));
    t.push_back(Gx(0x467, "STM32G0B1/G0C1", 512, 144, SplitBankPages(512)));
    t.push_back(Gx(0x468, "STM32G431/G441", 128, 22, Pages(128, 2 * K)));
    t.push_back(Gx(0x469, "STM32G47x/G48x", 512, 96, SplitBankPages(512)));
    t.push_back(Gx(0x479, "STM32G491/G4A1", 512, 112, Pages(512, 2 * K)));
    // L0 (RM0377, RM0367, RM0376) and L1 (RM0038): small pages, no mass erase.
    t.push_back(L0(0x457, "STM32L01x/L02x", 16, 2));
    t.push_back(L0(0x425, "STM32L031/L041", 32, 8));
    t.push_back(L0(0x417, "STM32L05x/L06x", 64, 8));
    t.push_back(L0(0x447, "STM32L07x/L08x", 192, 20));
    t.push_back(L1(0x416, "STM32L1xx Cat.1", 128, kSizeL1Low, 16));
    t.push_back(L1(0x429, "STM32L1xx Cat.2", 128, kSizeL1Low, 32));
    t.push_back(L1(0x427, "STM32L1xx Cat.3", 256, kSizeL1High, 32));
    t.push_back(L1(0x436, "STM32L1xx Cat.4/Cat.3-M", 384, kSizeL1High, 48));
    t.back().quirk = "flash size register holds 0 for 384 KiB and 1 for 256 KiB";
    t.push_back(L1(0x437, "STM32L1xx Cat.5/Cat.6", 512, kSizeL1High, 80));
    // L4 (RM0351, RM0394, RM0432): 2 KiB pages (4 KiB on L4R/L4S in dual-bank mode).
    t.push_back(Gx(0x464, "STM32L41x/L42x", 128, 40, Pages(128, 2 * K)));
    t.push_back(Gx(0x435, "STM32L43x/L44x", 256, 64, Pages(256, 2 * K)));
    t.push_back(Gx(0x462, "STM32L45x/L46x", 512, 160, Pages(512, 2 * K)));
    t.push_back(Gx(0x415, "STM32L47x/L48x", 1024, 96, Pages(1024, 2 * K)));
    t.push_back(Gx(0x461, "STM32L496/L4A6", 1024, 320, Pages(1024, 2 * K)));
    t.push_back(Gx(0x470, "STM32L4R/L4S", 2048, 640, Pages(2048, 4 * K)));
    // H7 (RM0433, RM0455, RM0468): 128 KiB sectors (8 KiB on H7A3/B3), 32-byte flash words.
    {
        ChipFamily h{
            0x450,      "STM32H74x/75x",
            2048,       kSizeH7,
            0x20000000, 128,
            0x44,       {{16, 128 * K}},
            64000,      32,
            800,        "flash is written in 32-byte words; the bootloader pads a short one"};
        t.push_back(h);
        h.productId = 0x483;
        h.name = "STM32H72x/73x";
        h.flashKiB = 1024;
        h.layout = {{8, 128 * K}};
        t.push_back(h);
        h.productId = 0x480;
        h.name = "STM32H7A3/B3";
        h.flashKiB = 2048;
        h.flashSizeReg = kSizeH7A;
        h.layout = {{256, 8 * K}};
        h.unitMinMs = 100;
        t.push_back(h);
    }
    return t;
}

}  // namespace

const std::vector<ChipFamily>& AllChips() {
    static const std::vector<ChipFamily> table = MakeTable();
    return table;
}

const ChipFamily* FindChip(std::uint16_t productId) {
    for (const ChipFamily& f : AllChips()) {
        if (f.productId == productId) {
            return &f;
        }
    }
    return nullptr;
}

std::vector<EraseUnit> UnitsOf(const ChipFamily& family, std::uint32_t flashBytes) {
    std::vector<EraseUnit> units;
    std::uint32_t number = 0;
    std::uint32_t offset = 0;
    for (const EraseUnits& run : family.layout) {
        if (run.firstNumber != EraseUnits::kContinue) {
            number = run.firstNumber;
        }
        for (std::uint32_t i = 0; i < run.count && offset < flashBytes; ++i) {
            units.push_back({number++, offset, run.bytes});
            offset += run.bytes;
        }
    }
    return units;
}

std::uint32_t EraseWaitMs(const ChipFamily* family, const std::vector<EraseUnit>& units) {
    constexpr std::uint32_t kFloorMs = 2000;
    constexpr std::uint32_t kUnknownMs = 60000;
    if (!family) {
        return kUnknownMs;
    }
    std::uint64_t ms = 0;
    if (units.empty()) {
        ms = family->massEraseMaxMs;
    }
    for (const EraseUnit& u : units) {
        ms += std::max<std::uint64_t>(family->unitMinMs,
                                      std::uint64_t{u.bytes} / K * family->unitMsPerKiB);
    }
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(2 * ms, kFloorMs, 600000));
}

std::string ChipLine(const ChipFamily& family, std::uint32_t flashKiB) {
    return std::string(family.name) + ", flash " + std::to_string(flashKiB) + " KiB";
}

}  // namespace zenta::isp
