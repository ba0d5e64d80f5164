#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zenta::isp {

inline constexpr std::uint32_t kFlashBase = 0x08000000;
// Largest image: offsets at or above this are dropped.
inline constexpr std::uint32_t kImageCapacity = 0xA00000;
// Only this much of a HEX file is read.
inline constexpr std::size_t kTextCapacity = 0x2000000;

enum class HexStatus { Ok, NotHex, BadChecksum, CutShort };

struct HexParseResult {
    HexStatus status = HexStatus::Ok;
    std::uint32_t line = 0;  // 1-based line of the record with a wrong checksum or cut short
};

// A run of whole 256-byte blocks that hold image data, as offsets from kFlashBase.
struct ImageRange {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// The flash image the programmer writes: offset o holds the byte for kFlashBase + o.
// The buffer grows in whole blocks up to 10 MiB and is kept; bytes no record sets are
// 0xFF, the value of erased flash, so a partly filled block leaves the rest of it erased.
class THexImage {
  public:
    // Clears the previous image and parses `text` (Intel HEX records 00, 01, 02, 04).
    HexParseResult Parse(std::string_view text);

    // Holds at least the first 64 KiB and every block of Ranges().
    const std::uint8_t* Data() const { return bytes_.data(); }
    // One past the highest offset a record set; 0 when none did.
    std::uint32_t Length() const { return length_; }
    bool Empty() const { return length_ == 0; }
    // Offset of the lowest byte a record set (0 when empty).
    std::uint32_t Lowest() const { return lowest_; }
    // Bytes of the blocks that hold data: what the programmer writes.
    std::uint32_t WrittenLength() const;
    // The blocks that hold data, merged into runs, lowest first.
    std::vector<ImageRange> Ranges() const;
    // Whether any byte lies at or above `offset`; the lowest such offset in `first`.
    bool DataFrom(std::uint32_t offset, std::uint32_t& first) const;
    // The first data address outside the 10 MiB window above kFlashBase, if any.
    bool HasOutside() const { return hasOutside_; }
    std::uint32_t Outside() const { return outside_; }

  private:
    void Reset();
    void Store(std::uint32_t offset, std::uint8_t value);
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint8_t> used_;  // per 256-byte block: any byte set
    std::vector<bool> set_;           // per byte: a record set it
    std::uint32_t length_ = 0;
    std::uint32_t lowest_ = 0;
    bool hasOutside_ = false;
    std::uint32_t outside_ = 0;
};

// A HEX file in two halves: open it and learn its size, then read its text. Opened for
// reading only, so a read-only file can be flashed.
class THexFile {
  public:
    THexFile() = default;
    ~THexFile();
    THexFile(const THexFile&) = delete;
    THexFile& operator=(const THexFile&) = delete;

    // False when the file cannot be opened (missing, unreadable, a folder, empty name).
    bool Open(const std::string& path);
    // The size the file system reports, before any cut to kTextCapacity.
    std::uint64_t Size() const { return size_; }
    // Reads at most kTextCapacity bytes into `text` and closes the file.
    void ReadText(std::string& text);

  private:
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
};

}  // namespace zenta::isp
