// The send line from any text: HEX input, escapes and the checksums appended to a send.
#include "FuzzInput.h"

#include <cstdint>

#include "FuzzCheck.h"
#include "datapath/ByteForms.h"
#include "datapath/HexInput.h"
#include "datapath/SendEncoding.h"

using namespace zenta;

namespace {

void CheckHex(const std::string& line) {
    const std::optional<std::size_t> bad = FindInvalidHexChar(line);
    if (bad) {
        FUZZ_CHECK(*bad < line.size() && !IsHexInputChar(line[*bad]));
        for (std::size_t i = 0; i < *bad; ++i) {
            FUZZ_CHECK(IsHexInputChar(line[i]));
        }
        return;
    }
    std::size_t digits = 0;
    for (char c : line) {
        digits += c != ' ' ? 1 : 0;
    }
    const std::string bytes = ParseHexText(line);
    FUZZ_CHECK(bytes.size() == digits / 2);
    // The HEX display form of the bytes is valid HEX input for the same bytes.
    const std::string shown = BytesToHex(bytes);
    FUZZ_CHECK(!FindInvalidHexChar(shown));
    FUZZ_CHECK(ParseHexText(shown) == bytes);
}

void CheckChecksum(ChecksumKind kind, const std::string& sent) {
    switch (kind) {
        case ChecksumKind::ModbusCrc16:
            // A frame with its CRC appended (low byte first) has a CRC of zero.
            FUZZ_CHECK(ModbusCrc16(sent) == 0);
            break;
        case ChecksumKind::Add: {
            unsigned sum = 0;
            for (char c : sent) {
                sum += static_cast<unsigned char>(c);
            }
            FUZZ_CHECK(sum % 256 == 0);
            break;
        }
        case ChecksumKind::Xor: {
            unsigned x = 0;
            for (char c : sent) {
                x ^= static_cast<unsigned char>(c);
            }
            FUZZ_CHECK(x == 0);
            break;
        }
        case ChecksumKind::None:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zenta::FuzzInput in(data, size);
    const bool hexMode = in.ConsumeBool();
    const bool crlf = in.ConsumeBool();
    const ChecksumKind kind = ChecksumKindFromIndex(in.ConsumeIntegralInRange<int>(-1, 4));
    const std::string line = in.ConsumeRemainingBytesAsString();

    CheckHex(line);
    const std::string escaped = ApplyEscapes(line);
    // Every escape stands for fewer bytes than it is written with.
    FUZZ_CHECK(escaped.size() <= line.size());
    if (line.find('\\') == std::string::npos) {
        FUZZ_CHECK(escaped == line);
    }

    const SendPayload p = BuildSendPayload(line, hexMode, crlf, kind);
    if (p.error != SendError::None) {
        return 0;
    }
    const std::string body = hexMode ? ParseHexText(line) : escaped + (crlf ? "\r\n" : "");
    FUZZ_CHECK(p.bytes.compare(0, body.size(), body) == 0);
    FUZZ_CHECK(p.bytes.size() == body.size() + ChecksumBytes(kind, body).size());
    CheckChecksum(kind, p.bytes);
    return 0;
}
