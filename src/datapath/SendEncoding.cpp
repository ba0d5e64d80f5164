#include "datapath/SendEncoding.h"

#include "datapath/HexInput.h"

namespace zenta {

ChecksumKind ChecksumKindFromIndex(int index) {
    switch (index) {
        case 1:
            return ChecksumKind::ModbusCrc16;
        case 2:
            return ChecksumKind::Add;
        case 3:
            return ChecksumKind::Xor;
        default:
            return ChecksumKind::None;
    }
}

std::uint16_t ModbusCrc16(std::string_view bytes) {
    std::uint16_t crc = 0xFFFF;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::uint8_t AddChecksum(std::string_view bytes) {
    std::uint8_t sum = 0;
    for (unsigned char b : bytes) {
        sum = static_cast<std::uint8_t>(sum + b);
    }
    return static_cast<std::uint8_t>(0x100 - sum);
}

std::uint8_t XorChecksum(std::string_view bytes) {
    std::uint8_t x = 0;
    for (unsigned char b : bytes) {
        x ^= b;
    }
    return x;
}

std::string ChecksumBytes(ChecksumKind kind, std::string_view payload) {
    switch (kind) {
        case ChecksumKind::ModbusCrc16: {
            const std::uint16_t crc = ModbusCrc16(payload);
            return {static_cast<char>(crc & 0xFF), static_cast<char>(crc >> 8)};
        }
        case ChecksumKind::Add:
            return std::string(1, static_cast<char>(AddChecksum(payload)));
        case ChecksumKind::Xor:
            return std::string(1, static_cast<char>(XorChecksum(payload)));
        case ChecksumKind::None:
            break;
    }
    return {};
}

namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

char SimpleEscape(char c) {
    switch (c) {
        case '0':
            return 0x00;
        case 'a':
            return 0x07;
        case 'b':
            return 0x08;
        case 'f':
            return 0x0C;
        case 'n':
            return 0x0A;
        case 'r':
            return 0x0D;
        case 't':
            return 0x09;
        case 'v':
            return 0x0B;
        default:
            return '\\';  // marker: not a simple escape
    }
}

}  // namespace

std::string ApplyEscapes(std::string_view line, TextEncoding encoding) {
    const bool pairs = encoding == TextEncoding::Gb18030;
    std::string out;
    out.reserve(line.size());
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        const char c = line[i];
        if (pairs && IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < n) {
            out.append(line.substr(i, 2));
            i += 2;
            continue;
        }
        if (c != '\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 >= n) {  // trailing backslash
            out.push_back('\\');
            break;
        }
        const char e = line[i + 1];
        if (e == 'x') {
            if (i + 3 >= n) {
                break;  // fewer than two characters left: the rest is consumed
            }
            out.push_back(static_cast<char>(HexPairToByte(line[i + 2], line[i + 3])));
            i += 4;
            continue;
        }
        const char s = SimpleEscape(e);
        if (s != '\\') {
            out.push_back(s);
        } else {
            out.push_back('\\');
            out.push_back(e);
        }
        i += 2;
    }
    return out;
}

SendPayload BuildSendPayload(std::string_view line, bool hexMode, bool appendCrLf,
                             ChecksumKind kind, TextEncoding encoding, std::string_view lineEnd) {
    SendPayload result;
    if (line.empty()) {
        result.error = SendError::EmptyLine;
        return result;
    }
    if (hexMode) {
        if (auto bad = FindInvalidHexChar(line)) {
            result.error = SendError::InvalidHex;
            result.invalidPos = *bad;
            return result;
        }
        result.bytes = ParseHexText(line);
    } else {
        result.bytes = ApplyEscapes(line, encoding);
        if (appendCrLf) {
            result.bytes += lineEnd;
        }
    }
    if (kind != ChecksumKind::None) {
        if (result.bytes.empty()) {
            result.error = SendError::EmptyPayloadChecksum;
            return result;
        }
        result.bytes += ChecksumBytes(kind, result.bytes);
    }
    return result;
}

}  // namespace zenta
