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

enum class HexStatus { Ok, NotHex, BadChecksum };

struct HexParseResult {
    HexStatus status = HexStatus::Ok;
    std::uint32_t line = 0;  // 1-based line of the record with a wrong checksum
};

// The flash image the programmer writes: offset o holds the byte for kFlashBase + o.
// The 10 MiB buffer is allocated on first use and kept; bytes no record sets are 0x00.
class THexImage {
  public:
    // Clears the previous image and parses `text` (Intel HEX records 00, 01, 02, 04).
    HexParseResult Parse(std::string_view text);

    const std::uint8_t* Data() const { return bytes_.data(); }
    std::uint32_t Length() const { return length_; }
    // Length rounded up to whole 256-byte blocks.
    std::uint32_t WrittenLength() const { return (length_ + 255u) & ~255u; }

  private:
    void Reset();
    std::vector<std::uint8_t> bytes_;
    std::uint32_t length_ = 0;
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
