#include "isp/HexImage.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "datapath/HexInput.h"

namespace zenta::isp {

namespace {
constexpr std::uint32_t kBlock = 256;
constexpr std::size_t kFirstSize = 64 * 1024;
}  // namespace

void THexImage::Reset() {
    if (used_.empty()) {
        used_.assign(kImageCapacity / kBlock, 0);
        bytes_.assign(kFirstSize, 0xFF);
        set_.assign(kFirstSize, false);
    } else {
        std::fill_n(set_.begin(), length_, false);
        // Only offsets below the last length were ever written.
        std::fill_n(bytes_.begin(), length_, std::uint8_t{0xFF});
        std::fill_n(used_.begin(), (length_ + kBlock - 1) / kBlock, std::uint8_t{0});
    }
    length_ = 0;
    lowest_ = 0;
    hasOutside_ = false;
    outside_ = 0;
}

void THexImage::Store(std::uint32_t offset, std::uint8_t value) {
    if (offset >= bytes_.size()) {
        // Grown in whole blocks, doubling: filling all 10 MiB up front touched every
        // page of it for any image, however small.
        const std::size_t want = (static_cast<std::size_t>(offset) / kBlock + 1) * kBlock;
        const std::size_t size =
            std::min<std::size_t>(kImageCapacity, std::max(want, bytes_.size() * 2));
        bytes_.resize(size, 0xFF);
        set_.resize(size, false);
    }
    if (length_ == 0 || offset < lowest_) {
        lowest_ = offset;
    }
    bytes_[offset] = value;
    set_[offset] = true;
    used_[offset / kBlock] = 1;
    length_ = std::max(length_, offset + 1);
}

std::uint32_t THexImage::WrittenLength() const {
    std::uint32_t n = 0;
    for (const ImageRange& r : Ranges()) {
        n += r.length;
    }
    return n;
}

std::vector<ImageRange> THexImage::Ranges() const {
    std::vector<ImageRange> ranges;
    const std::uint32_t blocks = (length_ + kBlock - 1) / kBlock;
    for (std::uint32_t b = lowest_ / kBlock; b < blocks; ++b) {
        if (!used_[b]) {
            continue;
        }
        if (!ranges.empty() && ranges.back().offset + ranges.back().length == b * kBlock) {
            ranges.back().length += kBlock;
        } else {
            ranges.push_back({b * kBlock, kBlock});
        }
    }
    return ranges;
}

bool THexImage::DataFrom(std::uint32_t offset, std::uint32_t& first) const {
    if (offset >= length_) {
        return false;
    }
    for (std::uint32_t b = std::max(offset, lowest_) / kBlock; b * kBlock < length_; ++b) {
        if (!used_[b]) {
            continue;
        }
        for (std::uint32_t o = std::max(offset, b * kBlock); o < (b + 1) * kBlock; ++o) {
            if (o < length_ && set_[o]) {
                first = o;
                return true;
            }
        }
    }
    return false;
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
        // A record cut short by the end of the text cannot be checked: the file is
        // damaged (or still being written) and is refused like a wrong checksum.
        auto byteAt = [&](std::size_t p, std::uint8_t& out) {
            if (p + 2 > n) {
                return false;
            }
            out = HexPairToByte(text[p], text[p + 1]);
            return true;
        };
        if (!byteAt(pos, rec[0])) {
            return {HexStatus::CutShort, line};
        }
        const std::uint8_t count = rec[0];
        if (count > 32) {
            return {HexStatus::NotHex, line};
        }
        const std::size_t total = 5u + count;
        std::uint8_t sum = rec[0];
        for (std::size_t i = 1; i < total; ++i) {
            if (!byteAt(pos + 2 * i, rec[i])) {
                return {HexStatus::CutShort, line};
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
                for (std::uint32_t i = 0; i < count; ++i) {
                    const std::uint32_t address = upper + offset + i;
                    const std::uint32_t o = address - kFlashBase;  // wraps below the base
                    if (o < kImageCapacity) {
                        Store(o, data[i]);
                    } else if (!hasOutside_) {
                        hasOutside_ = true;
                        outside_ = address;
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
