// Motorola S-records, strictly: one record a line, every character a hex digit, the
// length its count gives, its checksum, and an S5/S6 count that matches the data read.
#include <array>

#include "isp/ImageReaders.h"
#include "isp/RecordLines.h"

namespace zenta::isp {

namespace {

// Bytes of the address field of each record type; 0 for the reserved S4.
constexpr std::array<std::size_t, 10> kAddressBytes = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
constexpr std::size_t kCountAt = 2;
constexpr std::size_t kAddressAt = 4;

}  // namespace

HexParseResult ReadSRecords(std::string_view text, ImageSink& image) {
    HexParseResult r;
    r.format = ImageFormat::SRecord;
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
    bool counted = false;  // the data records so far were counted, and the count matched
    std::uint32_t dataRecords = 0;
    std::array<std::uint8_t, 256> rec{};
    while (lines.Next(line, indent)) {
        if (line.empty()) {
            continue;
        }
        if (ended) {
            return fail(HexStatus::AfterEnd, 0);
        }
        if (line[0] != 'S') {
            return fail(HexStatus::BadCharacter, 0);
        }
        if (line.size() < 2 || line[1] < '0' || line[1] > '9') {
            return line.size() < 2 ? fail(HexStatus::CutShort, 1)
                                   : fail(HexStatus::BadCharacter, 1);
        }
        const int type = line[1] - '0';
        if (kAddressBytes[static_cast<std::size_t>(type)] == 0) {
            return fail(HexStatus::BadType, 1);
        }
        for (std::size_t i = 2; i < line.size(); ++i) {
            if (HexDigit(line[i]) < 0) {
                return fail(HexStatus::BadCharacter, i);
            }
        }
        const std::size_t digits = line.size() - 2;
        if (digits < 2) {
            return fail(HexStatus::CutShort, line.size());
        }
        // The count covers address, data and checksum.
        const std::size_t count =
            static_cast<std::size_t>(HexDigit(line[2]) * 16 + HexDigit(line[3]));
        const std::size_t addressBytes = kAddressBytes[static_cast<std::size_t>(type)];
        const std::size_t need = 2 * (1 + count);
        if (digits < need) {
            return fail(HexStatus::CutShort, line.size());
        }
        if (digits > need) {
            return fail(HexStatus::BadLength, 2 + need);
        }
        if (count < addressBytes + 1) {
            return fail(HexStatus::BadLength, kCountAt);
        }
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < 1 + count; ++i) {
            rec[i] = static_cast<std::uint8_t>(HexDigit(line[2 + 2 * i]) * 16 +
                                               HexDigit(line[3 + 2 * i]));
            sum = static_cast<std::uint8_t>(sum + rec[i]);
        }
        if (sum != 0xFF) {
            return fail(HexStatus::BadChecksum, line.size() - 2);
        }
        std::uint32_t address = 0;
        for (std::size_t i = 0; i < addressBytes; ++i) {
            address = (address << 8) | rec[1 + i];
        }
        const std::uint8_t* data = &rec[1 + addressBytes];
        const std::size_t n = count - addressBytes - 1;
        any = true;
        switch (type) {
            case 1:
            case 2:
            case 3: {
                std::size_t conflict = 0;
                if (!image.Put(address, data, n, conflict)) {
                    r.address = address + static_cast<std::uint32_t>(conflict);
                    return fail(HexStatus::Overlap, kAddressAt + 2 * (addressBytes + conflict));
                }
                ++dataRecords;
                counted = false;
                break;
            }
            case 5:
            case 6:
                // A count that differs means records were lost or doubled on the way.
                if (address != (dataRecords & (addressBytes == 2 ? 0xFFFFu : 0xFFFFFFu))) {
                    return fail(HexStatus::BadCount, kAddressAt);
                }
                counted = true;
                break;
            case 7:
            case 8:
            case 9:
                ended = true;
                break;
            default:
                break;  // S0: the header, a name only
        }
    }
    // Writers that know no start address end with the count record instead.
    r.missingEnd = any && !ended && !counted;
    return r;
}

}  // namespace zenta::isp
