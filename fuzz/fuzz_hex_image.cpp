// The image readers, every format told from the content. Any input: no read past its end,
// the image stays in its buffer, a refusal names where. Files built here in each format
// (Intel HEX, S-records, ELF, raw binary), sometimes damaged: the image holds exactly the
// bytes they set, or the fault is reported where it was put; a reused image keeps nothing
// of the last.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "isp/HexImage.h"

namespace {

using zenta::isp::HexParseResult;
using zenta::isp::HexStatus;
using zenta::isp::ImageFormat;
using zenta::isp::kFlashBase;
using zenta::isp::kImageCapacity;
using zenta::isp::THexImage;

std::string Hex2(std::uint8_t b, bool lower) {
    const char* digits = lower ? "0123456789abcdef" : "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 15]};
}

// Parses a copy on the heap of exactly the text's size, so ASan sees any read past it.
HexParseResult ParseExact(THexImage& image, const std::string& text) {
    auto copy = std::make_unique<char[]>(text.size());
    std::copy(text.begin(), text.end(), copy.get());
    return image.Parse(std::string_view(copy.get(), text.size()));
}

// What a reader must make of a built file.
struct Expected {
    std::map<std::uint32_t, std::uint8_t> bytes;  // flash offset -> value
    HexParseResult result;
    bool stopped = false;  // the first fault was put in; nothing after it counts

    void Fail(HexStatus status, std::uint32_t line, std::uint32_t column) {
        result.status = status;
        result.line = line;
        result.column = column;
        stopped = true;
    }
    // Stores like the image: outside the window nothing, a differing value is a fault.
    // Returns the index of the conflicting byte, or n.
    std::size_t Store(std::uint64_t address, const std::uint8_t* data, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t a = address + i;
            const std::uint64_t o = a - kFlashBase;
            if (a > 0xFFFFFFFF || o >= kImageCapacity) {
                continue;
            }
            const auto [it, fresh] = bytes.emplace(static_cast<std::uint32_t>(o), data[i]);
            if (!fresh && it->second != data[i]) {
                result.address = static_cast<std::uint32_t>(a);
                return i;
            }
        }
        return n;
    }
};

// A damage of the fuzzer's choosing to one record line; the fault it must give, or Ok.
// `first` is the column (0-based) of the first character the record's digits follow.
HexStatus Damage(zenta::FuzzInput& in, std::string& rec, std::size_t first, std::uint32_t& column) {
    switch (in.ConsumeIntegral<std::uint8_t>() % 3) {
        case 0: {
            const std::size_t at =
                first + in.ConsumeIntegral<std::uint16_t>() % (rec.size() - first);
            rec[at] = "gG:x \x01"[in.ConsumeIntegral<std::uint8_t>() % 6];
            // A blank at the very end is taken off the line: it cuts the record short.
            if (rec[at] == ' ' && at + 1 == rec.size()) {
                column = static_cast<std::uint32_t>(at) + 1;
                return HexStatus::CutShort;
            }
            column = static_cast<std::uint32_t>(at) + 1;
            return HexStatus::BadCharacter;
        }
        case 1: {
            const std::size_t keep =
                first + in.ConsumeIntegral<std::uint16_t>() % (rec.size() - first);
            rec.resize(keep);
            column = static_cast<std::uint32_t>(keep) + 1;
            return HexStatus::CutShort;
        }
        default: {
            char& c = rec[rec.size() - 1];
            c = c == '0' ? '1' : '0';
            column = static_cast<std::uint32_t>(rec.size()) - 1;
            return HexStatus::BadChecksum;
        }
    }
}

// Ends a record's line, sometimes with a blank line after it; counts lines.
void EndLine(zenta::FuzzInput& in, std::string& text, std::uint32_t& line) {
    const std::uint8_t kind = in.ConsumeIntegral<std::uint8_t>() % 3;
    text += kind == 0 ? "\n" : kind == 1 ? "\r\n" : "\n \n";
    line += kind == 2 ? 2 : 1;
}

Expected BuildIntelHex(zenta::FuzzInput& in, std::string& text) {
    Expected want;
    want.result.format = ImageFormat::IntelHex;
    std::uint32_t upper = 0;
    bool segmented = false;
    bool ended = false;
    bool any = false;
    std::uint32_t line = 1;
    const unsigned bad = in.ConsumeBool() ? in.ConsumeIntegral<std::uint8_t>() % 16 : 99;
    std::uint16_t lastAddress = 0;
    std::vector<std::uint8_t> lastData;
    for (unsigned r = 0; r < 16 && !ended; ++r) {
        const std::uint8_t kind = in.ConsumeIntegral<std::uint8_t>() % 10;
        const std::uint8_t type = kind < 5    ? 0
                                  : kind == 5 ? 4
                                  : kind == 6 ? 2
                                  : kind == 7 ? 1
                                  : kind == 8 ? 3
                                              : 5;
        std::uint8_t count = type == 1 ? 0 : (type == 2 || type == 4) ? 2 : type == 0 ? 0 : 4;
        std::uint16_t address = in.ConsumeIntegral<std::uint16_t>();
        std::vector<std::uint8_t> data;
        if (type == 0) {
            count = in.ConsumeIntegral<std::uint8_t>() % 80;
            // Often over the last record's bytes: the same values, or some changed.
            if (!lastData.empty() && in.ConsumeBool()) {
                address = lastAddress;
                data = lastData;
                if (in.ConsumeBool()) {
                    data[in.ConsumeIntegral<std::uint8_t>() % data.size()] ^= 0x5A;
                }
                count = static_cast<std::uint8_t>(data.size());
            }
        }
        while (data.size() < count) {
            data.push_back(in.ConsumeIntegral<std::uint8_t>());
        }
        // Most linear addresses point inside the flash, as in real files.
        if (type == 4 && in.ConsumeBool()) {
            data[0] = 0x08;
            data[1] = static_cast<std::uint8_t>(data[1] % 0xA0);
        }
        const std::string indent(in.ConsumeIntegral<std::uint8_t>() % 3, ' ');
        const bool lower = in.ConsumeBool();
        std::string rec = indent + ":" + Hex2(count, lower) + Hex2(address >> 8, lower) +
                          Hex2(address & 0xFF, lower) + Hex2(type, lower);
        std::uint8_t sum = static_cast<std::uint8_t>(count + (address >> 8) + address + type);
        for (std::uint8_t b : data) {
            rec += Hex2(b, lower);
            sum = static_cast<std::uint8_t>(sum + b);
        }
        rec += Hex2(static_cast<std::uint8_t>(-sum), lower);
        if (r == bad) {
            std::uint32_t column = 0;
            const HexStatus status = Damage(in, rec, indent.size() + 1, column);
            text += rec;
            want.Fail(status, line, column);
            return want;
        }
        text += rec;
        any = true;
        if (type == 0) {
            for (std::size_t first = 0; first < count;) {
                const std::uint32_t low = segmented ? (address + first) & 0xFFFF
                                                    : address + static_cast<std::uint32_t>(first);
                std::size_t n = count - first;
                if (segmented) {
                    n = std::min<std::size_t>(n, 0x10000 - low);
                }
                const std::size_t at =
                    want.Store(std::uint64_t{upper} + low, data.data() + first, n);
                if (at != n) {
                    want.Fail(HexStatus::Overlap, line,
                              static_cast<std::uint32_t>(indent.size() + 10 + 2 * (first + at)));
                    return want;
                }
                first += n;
            }
            lastAddress = address;
            lastData = data;
        } else if (type == 1) {
            ended = true;
        } else if (type == 2) {
            upper = ((std::uint32_t{data[0]} << 8) | data[1]) << 4;
            segmented = true;
        } else if (type == 4) {
            upper = ((std::uint32_t{data[0]} << 8) | data[1]) << 16;
            segmented = false;
        }
        EndLine(in, text, line);
    }
    // A record after the end one is refused where it starts.
    if (ended && in.ConsumeBool()) {
        text += ":00000001FF\n";
        want.Fail(HexStatus::AfterEnd, line, 1);
        return want;
    }
    want.result.missingEnd = any && !ended;
    return want;
}

Expected BuildSRecords(zenta::FuzzInput& in, std::string& text) {
    Expected want;
    want.result.format = ImageFormat::SRecord;
    std::uint32_t line = 1;
    std::uint32_t dataRecords = 0;
    bool counted = false;
    bool ended = false;
    const unsigned bad = in.ConsumeBool() ? in.ConsumeIntegral<std::uint8_t>() % 16 : 99;
    // The first record is always data, so the text is told as S-records.
    for (unsigned r = 0; r < 16 && !ended; ++r) {
        const std::uint8_t kind = r == 0 ? 3 : in.ConsumeIntegral<std::uint8_t>() % 10;
        const int type = kind == 0   ? 0
                         : kind < 3  ? 1 + kind % 2
                         : kind < 7  ? 3
                         : kind == 7 ? 5
                                     : 7 + kind % 3;
        const std::size_t addressBytes = type == 2 || type == 8   ? 3
                                         : type == 3 || type == 7 ? 4
                                                                  : 2;
        std::uint32_t address = in.ConsumeIntegral<std::uint32_t>();
        if (type == 3 && in.ConsumeBool()) {
            address = kFlashBase + address % 0x3000;
        }
        if (addressBytes < 4) {
            address &= (1u << (8 * addressBytes)) - 1;
        }
        std::vector<std::uint8_t> data(type >= 1 && type <= 3
                                           ? in.ConsumeIntegral<std::uint8_t>() % 64
                                       : type == 0 ? 4
                                                   : 0);
        for (auto& b : data) {
            b = in.ConsumeIntegral<std::uint8_t>();
        }
        bool wrongCount = false;
        if (type == 5) {
            wrongCount = in.ConsumeBool() && in.ConsumeBool();
            address = (dataRecords + (wrongCount ? 1 : 0)) & 0xFFFF;
        }
        const auto count = static_cast<std::uint8_t>(addressBytes + data.size() + 1);
        std::string rec = "S" + std::to_string(type) + Hex2(count, false);
        std::uint8_t sum = count;
        for (std::size_t i = 0; i < addressBytes; ++i) {
            const auto b = static_cast<std::uint8_t>(address >> (8 * (addressBytes - 1 - i)));
            rec += Hex2(b, false);
            sum = static_cast<std::uint8_t>(sum + b);
        }
        for (std::uint8_t b : data) {
            rec += Hex2(b, false);
            sum = static_cast<std::uint8_t>(sum + b);
        }
        rec += Hex2(static_cast<std::uint8_t>(~sum), false);
        if (r == bad && r > 0) {
            std::uint32_t column = 0;
            const HexStatus status = Damage(in, rec, 2, column);
            text += rec;
            want.Fail(status, line, column);
            return want;
        }
        text += rec;
        if (type >= 1 && type <= 3) {
            const std::size_t at = want.Store(address, data.data(), data.size());
            if (at != data.size()) {
                want.Fail(HexStatus::Overlap, line,
                          static_cast<std::uint32_t>(5 + 2 * (addressBytes + at)));
                return want;
            }
            ++dataRecords;
            counted = false;
        } else if (type == 5) {
            if (wrongCount) {
                want.Fail(HexStatus::BadCount, line, 5);
                return want;
            }
            counted = true;
        } else if (type >= 7) {
            ended = true;
        }
        EndLine(in, text, line);
    }
    want.result.missingEnd = !ended && !counted;
    return want;
}

void Le32(std::string& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    }
}

Expected BuildElf(zenta::FuzzInput& in, std::string& file) {
    Expected want;
    want.result.format = ImageFormat::Elf;
    const std::size_t segments = in.ConsumeIntegral<std::uint8_t>() % 5;
    file.assign(52 + 32 * segments, '\0');
    file.replace(0, 4,
                 "\x7F"
                 "ELF");
    file[4] = 1;
    file[5] = 1;
    Le32(file, 0x1C, 52);
    file[0x2A] = 32;
    file[0x2C] = static_cast<char>(segments);
    struct Segment {
        bool load;
        std::uint32_t at, physical;
        std::vector<std::uint8_t> data;
    };
    std::vector<Segment> list;
    for (std::size_t i = 0; i < segments; ++i) {
        Segment s;
        s.load = in.ConsumeIntegral<std::uint8_t>() % 4 != 0;
        s.physical = kFlashBase + in.ConsumeIntegral<std::uint16_t>() % 0x1000;
        if (in.ConsumeIntegral<std::uint8_t>() % 8 == 0) {
            s.physical = in.ConsumeIntegral<std::uint32_t>();
        }
        s.data.resize(in.ConsumeIntegral<std::uint16_t>() % 600);
        for (auto& b : s.data) {
            b = in.ConsumeIntegral<std::uint8_t>();
        }
        s.at = static_cast<std::uint32_t>(file.size());
        file.append(s.data.begin(), s.data.end());
        const std::size_t ph = 52 + 32 * i;
        Le32(file, ph, s.load ? 1 : 4);
        Le32(file, ph + 4, s.at);
        Le32(file, ph + 8, 0x20000000);
        Le32(file, ph + 12, s.physical);
        Le32(file, ph + 16, static_cast<std::uint32_t>(s.data.size()));
        Le32(file, ph + 20, static_cast<std::uint32_t>(s.data.size()) + 16);
        list.push_back(std::move(s));
    }
    // Sometimes cut: what lies past the cut cannot be read.
    if (in.ConsumeBool()) {
        file.resize(in.ConsumeIntegral<std::uint16_t>() % (file.size() + 1));
    }
    if (file.size() < 52 || (segments > 0 && file.size() < 52 + 32 * segments)) {
        want.bytes.clear();
        want.Fail(file.size() < 4 ? HexStatus::NotHex : HexStatus::ElfDamaged, 0, 0);
        return want;
    }
    for (const Segment& s : list) {
        if (!s.load || s.data.empty()) {
            continue;
        }
        if (s.at + s.data.size() > file.size()) {
            want.Fail(HexStatus::ElfDamaged, 0, 0);
            return want;
        }
        if (want.Store(s.physical, s.data.data(), s.data.size()) != s.data.size()) {
            want.Fail(HexStatus::Overlap, 0, 0);
            return want;
        }
    }
    return want;
}

void CheckImage(const THexImage& image, const Expected& want) {
    static const std::vector<std::uint8_t> erased(kImageCapacity, 0xFF);
    const std::uint32_t length = want.bytes.empty() ? 0 : want.bytes.rbegin()->first + 1;
    FUZZ_CHECK(image.Length() == length);
    // Only whole blocks that hold data are written, never past the last one.
    const std::uint32_t written = image.WrittenLength();
    FUZZ_CHECK(written % 256 == 0 && written <= (length + 255) / 256 * 256);
    const std::vector<zenta::isp::ImageRange> ranges = image.Ranges();
    // Bytes no record set are erased flash, even where the previous image had data, and
    // every byte a record set lies in a block that is written.
    std::uint32_t next = 0;
    for (const auto& [offset, value] : want.bytes) {
        FUZZ_CHECK(std::memcmp(image.Data() + next, erased.data(), offset - next) == 0);
        FUZZ_CHECK(image.Data()[offset] == value);
        FUZZ_CHECK(std::any_of(ranges.begin(), ranges.end(), [offset = offset](const auto& r) {
            return r.offset <= offset && offset - r.offset < r.length;
        }));
        next = offset + 1;
    }
}

void CheckBuilt(THexImage& image, const std::string& text, const Expected& want) {
    const HexParseResult got = ParseExact(image, text);
    if (want.result.status == HexStatus::NotHex) {
        return;  // a cut ELF magic: any reader may take it
    }
    FUZZ_CHECK(got.format == want.result.format);
    FUZZ_CHECK(got.status == want.result.status);
    FUZZ_CHECK(got.line == want.result.line);
    FUZZ_CHECK(got.column == want.result.column);
    if (got.status == HexStatus::Overlap) {
        FUZZ_CHECK(got.address == want.result.address);
    }
    if (got.status == HexStatus::Ok) {
        FUZZ_CHECK(got.missingEnd == want.result.missingEnd);
        CheckImage(image, want);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One image for all inputs, as the programmer keeps its buffer from load to load.
    static THexImage image;
    image.ClearBinaryAddress();
    zenta::FuzzInput in(data, size);
    std::string text;
    Expected want;
    switch (in.ConsumeIntegral<std::uint8_t>() % 5) {
        case 0: {
            const std::string any = in.ConsumeRemainingBytesAsString();
            const HexParseResult r = ParseExact(image, any);
            FUZZ_CHECK(image.Length() <= kImageCapacity);
            const bool text = r.format == ImageFormat::IntelHex || r.format == ImageFormat::SRecord;
            FUZZ_CHECK(r.status == HexStatus::Ok || !text || (r.line >= 1 && r.column >= 1));
            FUZZ_CHECK(r.format != ImageFormat::Binary || r.status == HexStatus::Ok);
            return 0;
        }
        case 1:
            want = BuildIntelHex(in, text);
            break;
        case 2:
            want = BuildSRecords(in, text);
            break;
        case 3:
            want = BuildElf(in, text);
            break;
        default: {
            // A binary: a zero byte first, as every vector table has, then any bytes.
            const std::uint32_t address = kFlashBase + in.ConsumeIntegral<std::uint16_t>() * 16u;
            text = std::string(1, '\0') + in.ConsumeRemainingBytesAsString();
            image.SetBinaryAddress(address);
            want.result.format = ImageFormat::Binary;
            want.Store(address, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
            break;
        }
    }
    CheckBuilt(image, text, want);
    return 0;
}
