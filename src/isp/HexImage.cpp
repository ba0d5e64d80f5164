#include "isp/HexImage.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "datapath/HexInput.h"

namespace zenta::isp {

void THexImage::Reset() {
    if (bytes_.empty()) {
        bytes_.assign(kImageCapacity, 0);
    } else {
        // Only offsets below the last length were ever written.
        std::fill_n(bytes_.begin(), length_, std::uint8_t{0});
    }
    length_ = 0;
}

HexParseResult THexImage::Parse(std::string_view text) {
    Reset();
    const std::size_t n = text.size();
    std::size_t pos = 0;
    std::size_t counted = 0;  // newlines before this position are in `line`
    std::uint32_t line = 1;
    std::uint32_t upper = 0;
    // One record: count, address (2), type, up to 32 data bytes, checksum.
    std::array<std::uint8_t, 37> rec{};

    for (;;) {
        const std::size_t colon = text.find(':', pos);
        if (colon == std::string_view::npos) {
            return {};
        }
        line += static_cast<std::uint32_t>(
            std::count(text.begin() + static_cast<std::ptrdiff_t>(counted),
                       text.begin() + static_cast<std::ptrdiff_t>(colon), '\n'));
        counted = colon;
        pos = colon + 1;
        // A record cut short by the end of the text ends the load; its bytes cannot be
        // checked and are not stored.
        auto byteAt = [&](std::size_t p, std::uint8_t& out) {
            if (p + 2 > n) {
                return false;
            }
            out = HexPairToByte(text[p], text[p + 1]);
            return true;
        };
        if (!byteAt(pos, rec[0])) {
            return {};
        }
        const std::uint8_t count = rec[0];
        if (count > 32) {
            return {HexStatus::NotHex, line};
        }
        const std::size_t total = 5u + count;
        std::uint8_t sum = rec[0];
        for (std::size_t i = 1; i < total; ++i) {
            if (!byteAt(pos + 2 * i, rec[i])) {
                return {};
            }
            sum = static_cast<std::uint8_t>(sum + rec[i]);
        }
        if (sum != 0) {
            return {HexStatus::BadChecksum, line};
        }
        pos += 2 * total;

        const std::uint32_t offset = (std::uint32_t{rec[1]} << 8) | rec[2];
        const std::uint8_t* data = &rec[4];
        switch (rec[3]) {
            case 0x00: {
                const std::uint32_t base = upper + offset - kFlashBase;  // wraps below the base
                for (std::uint32_t i = 0; i < count; ++i) {
                    const std::uint32_t o = base + i;
                    if (o < kImageCapacity) {
                        bytes_[o] = data[i];
                        length_ = std::max(length_, o + 1);
                    }
                }
                break;
            }
            case 0x01:
                return {};
            case 0x02:
                // A malformed address record (fewer than two bytes) changes nothing.
                if (count >= 2) {
                    upper = (std::uint32_t{data[0]} << 12) + (std::uint32_t{data[1]} << 4);
                }
                break;
            case 0x04:
                if (count >= 2) {
                    upper = (std::uint32_t{data[0]} << 24) + (std::uint32_t{data[1]} << 16);
                }
                break;
            default:
                break;
        }
    }
}

THexFile::~THexFile() {
    if (file_) {
        std::fclose(file_);
    }
}

bool THexFile::Open(const std::string& path) {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (path.empty()) {
        return false;
    }
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        return false;
    }
    struct stat st {};
    if (::fstat(fileno(file_), &st) != 0 || S_ISDIR(st.st_mode)) {
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void THexFile::ReadText(std::string& text) {
    text.clear();
    if (!file_) {
        return;
    }
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(size_, kTextCapacity));
    text.resize(want);
    const std::size_t got = want ? std::fread(text.data(), 1, want, file_) : 0;
    text.resize(got);
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace zenta::isp
