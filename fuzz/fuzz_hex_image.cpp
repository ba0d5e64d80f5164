// The Intel HEX loader. Any text: no read past its end and the image stays in its buffer.
// Records built here with their checksums: the image holds exactly the bytes they set,
// a wrong checksum is reported on its line, and a reused image keeps nothing of the last.
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
using zenta::isp::kFlashBase;
using zenta::isp::kImageCapacity;

std::string Hex2(std::uint8_t b, bool lower) {
    const char* digits = lower ? "0123456789abcdef" : "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 15]};
}

// Parses a copy on the heap of exactly the text's size, so ASan sees any read past it.
HexParseResult ParseExact(zenta::isp::THexImage& image, const std::string& text) {
    auto copy = std::make_unique<char[]>(text.size());
    std::copy(text.begin(), text.end(), copy.get());
    return image.Parse(std::string_view(copy.get(), text.size()));
}

struct Expected {
    std::map<std::uint32_t, std::uint8_t> bytes;  // offset -> value, last write wins
    HexParseResult result;
};

// Writes records of the fuzzer's choosing and tracks what a loader must make of them.
Expected BuildRecords(zenta::FuzzInput& in, std::string& text) {
    Expected want;
    std::uint32_t upper = 0;
    std::uint32_t line = 1;
    const bool corrupt = in.ConsumeBool();
    const unsigned bad = in.ConsumeIntegralInRange<unsigned>(0, 15);
    for (unsigned r = 0; r < 16; ++r) {
        const std::uint8_t kind = in.ConsumeIntegralInRange<std::uint8_t>(0, 7);
        const std::uint8_t type = kind < 4 ? 0 : kind == 4 ? 4 : kind == 5 ? 2 : kind == 6 ? 1 : 3;
        const std::uint8_t count = in.ConsumeIntegralInRange<std::uint8_t>(0, 32);
        const auto address = in.ConsumeIntegral<std::uint16_t>();
        std::uint8_t rec[37] = {count, static_cast<std::uint8_t>(address >> 8),
                                static_cast<std::uint8_t>(address), type};
        std::uint8_t sum = 0;
        for (unsigned i = 0; i < 4u + count; ++i) {
            if (i >= 4) {
                rec[i] = in.ConsumeIntegral<std::uint8_t>();
            }
        }
        // Most linear addresses point inside the flash, as in real files.
        if (type == 4 && count >= 2 && in.ConsumeBool()) {
            rec[4] = 0x08;
            rec[5] = static_cast<std::uint8_t>(rec[5] % 0xA0);
        }
        for (unsigned i = 0; i < 4u + count; ++i) {
            sum = static_cast<std::uint8_t>(sum + rec[i]);
        }
        const bool wrong = corrupt && r == bad;
        std::uint8_t check = static_cast<std::uint8_t>(-sum);
        if (wrong) {
            check = static_cast<std::uint8_t>(check + 1 + in.ConsumeIntegralInRange<int>(0, 254));
        }
        const bool lower = in.ConsumeBool();
        text += ':';
        for (unsigned i = 0; i < 4u + count; ++i) {
            text += Hex2(rec[i], lower);
        }
        text += Hex2(check, lower);
        if (wrong) {
            want.result = {HexStatus::BadChecksum, line};
            return want;
        }
        const std::uint8_t* data = rec + 4;
        if (type == 0) {
            for (std::uint32_t i = 0; i < count; ++i) {
                // Offsets below the flash base wrap around and fall outside the image.
                const std::uint32_t o = upper + address + i - kFlashBase;
                if (o < kImageCapacity) {
                    want.bytes[o] = data[i];
                }
            }
        } else if (type == 1) {
            return want;
        } else if (type == 2 && count >= 2) {
            upper = ((std::uint32_t{data[0]} << 8) | data[1]) << 4;
        } else if (type == 4 && count >= 2) {
            upper = ((std::uint32_t{data[0]} << 8) | data[1]) << 16;
        }
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                text += "\r\n";
                ++line;
                break;
            case 1:
                text += "\n";
                ++line;
                break;
            case 2:
                text += " junk\n\n";  // text between records is skipped
                line += 2;
                break;
            default:
                break;  // records may follow one another on one line
        }
    }
    return want;
}

void CheckImage(const zenta::isp::THexImage& image, const Expected& want) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One image for all inputs, as the programmer keeps its buffer from load to load.
    static zenta::isp::THexImage image;
    zenta::FuzzInput in(data, size);
    const bool built = in.ConsumeBool();
    const std::string any = in.ConsumeRandomLengthString(4096);
    const HexParseResult r = ParseExact(image, any);
    FUZZ_CHECK(image.Length() <= kImageCapacity);
    FUZZ_CHECK(r.status == HexStatus::Ok || r.line >= 1);
    if (!built) {
        return 0;
    }

    std::string text;
    const Expected want = BuildRecords(in, text);
    const HexParseResult got = ParseExact(image, text);
    FUZZ_CHECK(got.status == want.result.status);
    if (got.status == HexStatus::BadChecksum) {
        FUZZ_CHECK(got.line == want.result.line);
    }
    CheckImage(image, want);
    return 0;
}
