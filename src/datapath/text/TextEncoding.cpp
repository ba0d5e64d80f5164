#include "datapath/text/TextEncoding.h"

#include <algorithm>
#include <cctype>

#include "datapath/text/Utf8.h"

namespace zenta {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string_view TextEncodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8:
            return "UTF-8";
        case TextEncoding::Latin1:
            return "Latin-1";
        case TextEncoding::Gb18030:
            break;
    }
    return "GB18030";
}

std::optional<TextEncoding> TextEncodingFromName(std::string_view name) {
    for (const TextEncoding e : kAllTextEncodings) {
        if (SameName(name, TextEncodingName(e))) {
            return e;
        }
    }
    if (SameName(name, "UTF8")) {
        return TextEncoding::Utf8;
    }
    if (SameName(name, "ISO-8859-1") || SameName(name, "Latin1")) {
        return TextEncoding::Latin1;
    }
    if (SameName(name, "GBK")) {
        return TextEncoding::Gb18030;
    }
    return std::nullopt;
}

std::size_t IncompleteTail(TextEncoding encoding, std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    switch (encoding) {
        case TextEncoding::Gb18030: {
            // Only the run of high bytes after the last byte below 80h is paired.
            std::size_t from = n;
            while (from > 0 && p[from - 1] >= 0x80) {
                --from;
            }
            return (n - from) % 2;
        }
        case TextEncoding::Utf8:
            // A lead byte is never a continuation byte, so the sequence that is still
            // open can only start at a lead byte among the last three.
            for (std::size_t i = n > 3 ? n - 3 : 0; i < n; ++i) {
                if (p[i] >= 0xC2 && Utf8SequenceAt(p, n, i) == 0) {
                    return n - i;
                }
            }
            return 0;
        case TextEncoding::Latin1:
            break;
    }
    return 0;
}

void DecodeLatin1(std::string_view bytes, char16_t* out) {
    for (const char c : bytes) {
        *out++ = static_cast<unsigned char>(c);
    }
}

std::string EncodeLatin1(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            ++i;  // one character, one '?'
        }
        out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
    return out;
}

}  // namespace zenta
