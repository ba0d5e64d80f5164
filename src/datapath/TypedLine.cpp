#include "datapath/TypedLine.h"

namespace zenta {

namespace {

// Length of the character starting at s[i]: ASCII 1, GB18030 four-byte 4, else 2.
std::size_t CharLength(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x81 || b == 0xFF) {
        return 1;
    }
    if (i + 3 < s.size()) {
        const auto b1 = static_cast<unsigned char>(s[i + 1]);
        if (b1 >= 0x30 && b1 <= 0x39) {
            return 4;
        }
    }
    return 2;
}

}  // namespace

std::optional<std::string> TypedLine::OnKey(std::string_view keyText, bool portOpen) {
    refused_ = false;
    if (keyText.empty()) {
        return std::nullopt;
    }
    if (keyText.size() == 1 && keyText[0] == 0x08) {
        RemoveLastCharacter();
        return std::nullopt;
    }
    // Delete is an editing key like Backspace, but removes nothing before the caret.
    if (keyText.size() == 1 && keyText[0] == 0x7F) {
        return std::nullopt;
    }
    // A control key would go out unseen inside the line: character mode sends those.
    if (keyText.size() == 1 && static_cast<unsigned char>(keyText[0]) < 0x20 &&
        keyText[0] != '\r') {
        refused_ = true;
        return std::nullopt;
    }
    line_.append(keyText);
    if (keyText.back() == '\r' && portOpen) {
        std::string out = std::move(line_);
        line_.clear();
        out.pop_back();
        out.append(LineEndBytes(lineEnd_));
        return out;
    }
    return std::nullopt;
}

void TypedLine::RemoveLastCharacter() {
    if (encoding_ == TextEncoding::Latin1) {
        if (!line_.empty()) {
            line_.pop_back();
        }
        return;
    }
    if (encoding_ == TextEncoding::Utf8) {
        // Back to the last byte that is not a continuation byte.
        std::size_t i = line_.size();
        while (i > 0 && (static_cast<unsigned char>(line_[i - 1]) & 0xC0) == 0x80) {
            --i;
        }
        line_.resize(i > 0 ? i - 1 : 0);
        return;
    }
    std::size_t i = 0;
    std::size_t lastStart = 0;
    while (i < line_.size()) {
        lastStart = i;
        i += CharLength(line_, i);
    }
    line_.resize(lastStart);
}

}  // namespace zenta
