#include "datapath/text/Utf8.h"

#include <cstring>

namespace zenta {

int Utf8SequenceAt(const unsigned char* p, std::size_t n, std::size_t i) {
    const unsigned char b = p[i];
    if (b < 0x80) {
        return 1;
    }
    int len = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b < 0xC2) {
        return -1;  // continuation byte, or the lead of an overlong two-byte form
    } else if (b < 0xE0) {
        len = 2;
    } else if (b < 0xF0) {
        len = 3;
        lo = b == 0xE0 ? 0xA0 : 0x80;  // overlong below
        hi = b == 0xED ? 0x9F : 0xBF;  // surrogates above
    } else if (b < 0xF5) {
        len = 4;
        lo = b == 0xF0 ? 0x90 : 0x80;
        hi = b == 0xF4 ? 0x8F : 0xBF;  // beyond 10FFFFh above
    } else {
        return -1;
    }
    for (int k = 1; k < len; ++k) {
        if (i + static_cast<std::size_t>(k) >= n) {
            return 0;
        }
        const unsigned char c = p[i + static_cast<std::size_t>(k)];
        if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) {
            return -1;
        }
    }
    return len;
}

std::size_t Utf8Stream::Decode(std::string_view bytes, char16_t* out) {
    if (held_.empty()) {
        return DecodeComplete(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                              out);
    }
    std::string joined;
    joined.swap(held_);
    joined.append(bytes);
    return DecodeComplete(reinterpret_cast<const unsigned char*>(joined.data()), joined.size(),
                          out);
}

std::u16string Utf8Stream::Decode(std::string_view bytes) {
    std::u16string out(MaxUnits(bytes.size()), u'\0');
    out.resize(Decode(bytes, out.data()));
    return out;
}

std::size_t Utf8Stream::DecodeComplete(const unsigned char* p, std::size_t n, char16_t* out) {
    char16_t* d = out;
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *d++ = b;
            ++i;
            continue;
        }
        const int len = Utf8SequenceAt(p, n, i);
        if (len == 0) {
            held_.assign(reinterpret_cast<const char*>(p + i), n - i);
            break;
        }
        if (len < 0) {
            *d++ = u'\uFFFD';
            ++i;
            continue;
        }
        char32_t cp = b & (0x7F >> len);
        for (int k = 1; k < len; ++k) {
            cp = (cp << 6) | (p[i + static_cast<std::size_t>(k)] & 0x3F);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *d++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *d++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *d++ = static_cast<char16_t>(cp);
        }
        i += static_cast<std::size_t>(len);
    }
    return static_cast<std::size_t>(d - out);
}

std::string EncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace zenta
