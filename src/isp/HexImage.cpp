#include "isp/HexImage.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "isp/ImageReaders.h"

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

bool THexImage::Put(std::uint64_t address, const std::uint8_t* data, std::size_t n,
                    std::size_t& conflict) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t a = address + i;
        // Below the base the difference wraps to a large offset: outside, like above.
        const std::uint64_t o = a - kFlashBase;
        if (a > 0xFFFFFFFF || o >= kImageCapacity) {
            if (!hasOutside_) {
                hasOutside_ = true;
                outside_ = static_cast<std::uint32_t>(a);
            }
            continue;
        }
        const auto offset = static_cast<std::uint32_t>(o);
        if (offset < set_.size() && set_[offset]) {
            if (bytes_[offset] != data[i]) {
                conflict = i;
                return false;
            }
            continue;
        }
        Store(offset, data[i]);
    }
    return true;
}

HexParseResult THexImage::Parse(std::string_view text) {
    Reset();
    HexParseResult r;
    const ImageFormat format = DetectImageFormat(text);
    switch (format) {
        case ImageFormat::IntelHex:
            r = ReadIntelHex(text, *this);
            break;
        case ImageFormat::SRecord:
            r = ReadSRecords(text, *this);
            break;
        case ImageFormat::Elf:
            r = ReadElf(text, *this);
            break;
        case ImageFormat::Binary: {
            r.format = format;
            std::size_t conflict = 0;
            Put(binaryAddress_, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                conflict);
            return r;
        }
    }
    if (r.status == HexStatus::Ok && addressGiven_) {
        r.status = HexStatus::AddressGiven;
    }
    return r;
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
