// Intel HEX, strictly: one record a line, every character a hex digit, the length its
// count gives, its checksum, record types 00 to 05.
#include <algorithm>
#include <array>

#include "isp/ImageReaders.h"
#include "isp/RecordLines.h"

namespace zenta::isp {

namespace {

// Columns (0-based within the record) of the record's fields.
constexpr std::size_t kCountAt = 1;
constexpr std::size_t kTypeAt = 7;
constexpr std::size_t kDataAt = 9;

// The data count each address and end record must have.
int CountOfType(std::uint8_t type) {
    switch (type) {
        case 0x01:
            return 0;
        case 0x02:
        case 0x04:
            return 2;
        case 0x03:
        case 0x05:
            return 4;
        default:
            return -1;
    }
}

}  // namespace

HexParseResult ReadIntelHex(std::string_view text, ImageSink& image) {
    HexParseResult r;
    r.format = ImageFormat::IntelHex;
    TRecordLines lines(text);
    std::string_view line;
    std::uint32_t indent = 0;
    auto fail = [&](HexStatus status, std::size_t at) {
        r.status = status;
        r.line = lines.Number();
        r.column = indent + static_cast<std::uint32_t>(at) + 1;
        return r;
    };

    bool ended = false;
    bool any = false;
    bool segmented = false;  // the last address record was type 02
    std::uint32_t upper = 0;
    std::array<std::uint8_t, 5 + 255> rec{};
    while (lines.Next(line, indent)) {
        if (line.empty()) {
            continue;
        }
        if (ended) {
            // A second file pasted after the first would otherwise be dropped unseen.
            return fail(HexStatus::AfterEnd, 0);
        }
        if (line[0] != ':') {
            return fail(HexStatus::BadCharacter, 0);
        }
        for (std::size_t i = 1; i < line.size(); ++i) {
            if (HexDigit(line[i]) < 0) {
                return fail(HexStatus::BadCharacter, i);
            }
        }
        const std::size_t digits = line.size() - 1;
        if (digits < 2) {
            return fail(HexStatus::CutShort, line.size());
        }
        const std::size_t count =
            static_cast<std::size_t>(HexDigit(line[1]) * 16 + HexDigit(line[2]));
        const std::size_t need = 2 * (5 + count);
        if (digits < need) {
            return fail(HexStatus::CutShort, line.size());
        }
        if (digits > need) {
            return fail(HexStatus::BadLength, 1 + need);
        }
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < 5 + count; ++i) {
            rec[i] = static_cast<std::uint8_t>(HexDigit(line[1 + 2 * i]) * 16 +
                                               HexDigit(line[2 + 2 * i]));
            sum = static_cast<std::uint8_t>(sum + rec[i]);
        }
        if (sum != 0) {
            return fail(HexStatus::BadChecksum, line.size() - 2);
        }
        const std::uint8_t type = rec[3];
        if (type > 0x05) {
            return fail(HexStatus::BadType, kTypeAt);
        }
        if (type != 0x00 && static_cast<int>(count) != CountOfType(type)) {
            return fail(HexStatus::BadLength, kCountAt);
        }
        any = true;
        const std::uint32_t offset = (std::uint32_t{rec[1]} << 8) | rec[2];
        const std::uint8_t* data = &rec[4];
        switch (type) {
            case 0x00: {
                // Segment addresses wrap within their 64 KiB; linear ones run on.
                std::size_t first = 0;
                while (first < count) {
                    const std::uint32_t low =
                        segmented ? (offset + first) & 0xFFFF : offset + first;
                    std::size_t n = count - first;
                    if (segmented) {
                        n = std::min<std::size_t>(n, 0x10000 - low);
                    }
                    std::size_t conflict = 0;
                    if (!image.Put(std::uint64_t{upper} + low, data + first, n, conflict)) {
                        r.address = upper + low + static_cast<std::uint32_t>(conflict);
                        return fail(HexStatus::Overlap, kDataAt + 2 * (first + conflict));
                    }
                    first += n;
                }
                break;
            }
            case 0x01:
                ended = true;
                break;
            case 0x02:
                upper = ((std::uint32_t{data[0]} << 8) | data[1]) << 4;
                segmented = true;
                break;
            case 0x04:
                upper = ((std::uint32_t{data[0]} << 8) | data[1]) << 16;
                segmented = false;
                break;
            default:
                break;  // 03 and 05: where a program starts; the chip is started at its image
        }
    }
    r.missingEnd = any && !ended;
    return r;
}

}  // namespace zenta::isp
