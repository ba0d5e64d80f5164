#include <algorithm>

#include "isp/ImageReaders.h"

namespace zenta::isp {

namespace {

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Control characters that no text file holds; every firmware binary has some (the zero
// bytes of its vector table at the least).
bool IsBinaryByte(unsigned char c) {
    return (c < 0x20 && !IsBlank(c) && c != 0x1A) || c == 0x7F;
}

}  // namespace

ImageFormat DetectImageFormat(std::string_view text) {
    if (text.substr(0, 4) ==
        "\x7F"
        "ELF") {
        return ImageFormat::Elf;
    }
    std::string_view rest = text;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
        rest.remove_prefix(3);
    }
    const auto first = std::find_if_not(
        rest.begin(), rest.end(), [](char c) { return IsBlank(static_cast<unsigned char>(c)); });
    if (first != rest.end()) {
        if (*first == ':') {
            return ImageFormat::IntelHex;
        }
        if (*first == 'S' && first + 1 != rest.end() && first[1] >= '0' && first[1] <= '9') {
            return ImageFormat::SRecord;
        }
    }
    const bool binary = std::any_of(text.begin(), text.end(), [](char c) {
        return IsBinaryByte(static_cast<unsigned char>(c));
    });
    return binary ? ImageFormat::Binary : ImageFormat::IntelHex;
}

}  // namespace zenta::isp
