#include "transfer/YmodemHeader.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "transfer/FileName.h"

namespace zenta::transfer {

namespace {

// Larger sizes are refused as lies: no file sent over a serial line is an exabyte.
constexpr int kMaxSizeDigits = 18;

bool IsBlank(char c) {
    return c == ' ';
}

}  // namespace

std::vector<std::uint8_t> BuildYmodemHeader(const FileInfo& info) {
    std::string text = PlainFileName(info.name);
    text.push_back('\0');
    text += std::to_string(std::max<std::int64_t>(info.size, 0));
    if (info.mtime > 0) {
        char octal[32];
        std::snprintf(octal, sizeof octal, " %llo 100644",
                      static_cast<unsigned long long>(info.mtime));
        text += octal;
    }
    const std::size_t n = text.size() < 128 ? 128 : 1024;
    std::vector<std::uint8_t> block(n, 0);
    std::copy_n(text.begin(), std::min(text.size(), n - 1), block.begin());
    return block;
}

HeaderKind ParseYmodemHeader(const std::uint8_t* data, std::size_t n, FileInfo& info) {
    info = FileInfo{};
    const std::string_view all(reinterpret_cast<const char*>(data), n);
    if (all.empty() || all[0] == '\0') {
        return HeaderKind::EndOfBatch;
    }
    const auto nul = all.find('\0');
    if (nul == std::string_view::npos) {
        return HeaderKind::Malformed;
    }
    info.name = PlainFileName(all.substr(0, nul));
    std::string_view rest = all.substr(nul + 1);
    rest = rest.substr(0, rest.find('\0'));
    // The size is optional; when present it is decimal digits up to a blank.
    std::size_t i = 0;
    while (i < rest.size() && IsBlank(rest[i])) {
        ++i;
    }
    std::size_t digits = 0;
    std::int64_t size = 0;
    while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9') {
        if (++digits > kMaxSizeDigits) {
            return HeaderKind::Malformed;
        }
        size = size * 10 + (rest[i] - '0');
        ++i;
    }
    if (digits == 0) {
        return HeaderKind::File;
    }
    if (i < rest.size() && !IsBlank(rest[i])) {
        return HeaderKind::Malformed;
    }
    info.size = size;
    while (i < rest.size() && IsBlank(rest[i])) {
        ++i;
    }
    // The date is octal seconds; anything odd there only loses the date.
    std::int64_t mtime = 0;
    std::size_t odigits = 0;
    while (i < rest.size() && rest[i] >= '0' && rest[i] <= '7' && odigits < 16) {
        mtime = mtime * 8 + (rest[i] - '0');
        ++odigits;
        ++i;
    }
    if (i == rest.size() || IsBlank(rest[i])) {
        info.mtime = mtime;
    }
    return HeaderKind::File;
}

}  // namespace zenta::transfer
