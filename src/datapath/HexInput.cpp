#include "datapath/HexInput.h"

namespace zenta {

std::uint8_t HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<std::uint8_t>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<std::uint8_t>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<std::uint8_t>(c - 'a' + 10);
    }
    return 0;
}

std::uint8_t HexPairToByte(char hi, char lo) {
    return static_cast<std::uint8_t>((HexDigitValue(hi) << 4) | HexDigitValue(lo));
}

bool IsHexInputChar(char c) {
    return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::optional<std::size_t> FindInvalidHexChar(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (!IsHexInputChar(line[i])) {
            return i;
        }
    }
    return std::nullopt;
}

std::string ParseHexText(std::string_view line) {
    std::string out;
    out.reserve(line.size() / 2);
    char hi = 0;
    bool haveHi = false;
    for (char c : line) {
        if (c == ' ') {
            continue;
        }
        if (!haveHi) {
            hi = c;
            haveHi = true;
        } else {
            out.push_back(static_cast<char>(HexPairToByte(hi, c)));
            haveHi = false;
        }
    }
    return out;
}

}  // namespace zenta
