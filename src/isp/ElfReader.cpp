// ELF executables: the file bytes of every loadable segment at its physical address (where
// the startup code copies initialised data from, not where it runs).
#include <cstring>

#include "isp/ImageReaders.h"

namespace zenta::isp {

namespace {

constexpr std::size_t kHeaderBytes = 52;
constexpr std::size_t kProgramHeaderBytes = 32;
constexpr std::uint32_t kLoad = 1;

std::uint32_t Le32(std::string_view file, std::size_t at) {
    std::uint8_t b[4];
    std::memcpy(b, file.data() + at, 4);
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

std::uint16_t Le16(std::string_view file, std::size_t at) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data() + at);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

}  // namespace

HexParseResult ReadElf(std::string_view file, ImageSink& image) {
    HexParseResult r;
    r.format = ImageFormat::Elf;
    auto fail = [&](HexStatus status) {
        r.status = status;
        return r;
    };
    if (file.size() < kHeaderBytes) {
        return fail(HexStatus::ElfDamaged);
    }
    // Class 1 = 32-bit, data 1 = little-endian: what every STM32 toolchain writes.
    if (file[4] != 1 || file[5] != 1) {
        return fail(HexStatus::ElfClass);
    }
    const std::uint64_t tableAt = Le32(file, 0x1C);
    const std::uint64_t entryBytes = Le16(file, 0x2A);
    const std::uint64_t entries = Le16(file, 0x2C);
    if (entries == 0) {
        return r;  // nothing to load: refused later as an image without flash data
    }
    if (entryBytes < kProgramHeaderBytes || tableAt + entries * entryBytes > file.size()) {
        return fail(HexStatus::ElfDamaged);
    }
    for (std::uint64_t i = 0; i < entries; ++i) {
        const auto at = static_cast<std::size_t>(tableAt + i * entryBytes);
        const std::uint32_t fileBytes = Le32(file, at + 16);
        if (Le32(file, at) != kLoad || fileBytes == 0) {
            continue;  // not loaded, or all of it zero-filled memory (.bss)
        }
        const std::uint64_t offset = Le32(file, at + 4);
        const std::uint32_t physical = Le32(file, at + 12);
        if (offset + fileBytes > file.size()) {
            return fail(HexStatus::ElfDamaged);
        }
        std::size_t conflict = 0;
        if (!image.Put(physical, reinterpret_cast<const std::uint8_t*>(file.data() + offset),
                       fileBytes, conflict)) {
            r.address = physical + static_cast<std::uint32_t>(conflict);
            return fail(HexStatus::Overlap);
        }
    }
    return r;
}

}  // namespace zenta::isp
