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
// Only this much of an image file is read.
inline constexpr std::size_t kTextCapacity = 0x2000000;

// How an image file is written; told from its content, never from its name.
enum class ImageFormat { IntelHex, SRecord, Binary, Elf };

enum class HexStatus {
    Ok,
    NotHex,        // no image of any kind this reader knows
    BadChecksum,   // a record's checksum does not match its bytes
    CutShort,      // a record ends before the length its count gives
    BadCharacter,  // a character that has no place there (not a hex digit, no record mark)
    BadLength,     // a record longer than its count, or a count its type cannot have
    BadType,       // a record type the format does not define
    Overlap,       // two records give one address different bytes
    AfterEnd,      // records after the end record
    BadCount,      // an S5/S6 count that differs from the data records read
    ElfClass,      // an ELF file that is not 32-bit little-endian
    ElfDamaged,    // headers or segments beyond the end of the ELF file
    AddressGiven,  // a start address for a file that holds its own addresses
};

struct HexParseResult {
    HexStatus status = HexStatus::Ok;
    std::uint32_t line = 0;     // 1-based line of the refused record (text formats)
    std::uint32_t column = 0;   // 1-based column of the refused character in that line
    std::uint32_t address = 0;  // Overlap: the address given two values
    ImageFormat format = ImageFormat::IntelHex;
    // The file ends without its end record: loaded, but perhaps not whole.
    bool missingEnd = false;
};

// A run of whole 256-byte blocks that hold image data, as offsets from kFlashBase.
struct ImageRange {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// Where the file readers put what they read: bytes by address, one value per address.
class ImageSink {
  public:
    virtual ~ImageSink() = default;
    // Stores `n` bytes from `address` upward. False when a byte was given another value
    // before: `conflict` is its index in `data`.
    virtual bool Put(std::uint64_t address, const std::uint8_t* data, std::size_t n,
                     std::size_t& conflict) = 0;
};

// The flash image the programmer writes: offset o holds the byte for kFlashBase + o.
// The buffer grows in whole blocks up to 10 MiB and is kept; bytes no record sets are
// 0xFF, the value of erased flash, so a partly filled block leaves the rest of it erased.
class THexImage final : public ImageSink {
  public:
    // Clears the previous image and reads `text` (Intel HEX, S-records, ELF or raw binary,
    // told from the content). Nothing of a refused file is meant to be written.
    HexParseResult Parse(std::string_view text);

    // Where a raw binary file starts: the flash base unless the caller names an address.
    // A named address is refused for files that carry their own addresses.
    void SetBinaryAddress(std::uint32_t address) {
        binaryAddress_ = address;
        addressGiven_ = true;
    }
    void ClearBinaryAddress() {
        binaryAddress_ = kFlashBase;
        addressGiven_ = false;
    }
    std::uint32_t BinaryAddress() const { return binaryAddress_; }

    // Stores `n` bytes from `address` upward; bytes outside the 10 MiB window are only
    // noted. False when a byte was set before to another value: `conflict` is its index.
    bool Put(std::uint64_t address, const std::uint8_t* data, std::size_t n, std::size_t& conflict);

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
    std::uint32_t binaryAddress_ = kFlashBase;
    bool addressGiven_ = false;
};

// An image file in two halves: open it and learn its size, then read its text. Opened for
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
