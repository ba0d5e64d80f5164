#pragma once

#include <cstdint>
#include <string>

namespace zenta::isp {

enum class IspText {
    PortError,
    SetBaudError,
    FileMissing,
    NotHex,
    ResetError,
    Connecting,
    Sync,
    SendSyncError,
    AckError,
    Connected,
    Erased,
    Running,
    NoConnection,
    DataCheck,
    Abort,
    // Our own texts: causes of refusals and the programmer's questions.
    NoFlashData,
    ReadProtected,
    AskReadoutUnprotect,
    AskWriteUnprotect,
    Unprotected,
    EraseRefused,
    EraseTimeout,
    PagesNeedKnownChip,
    Verified,
    BusySending,
};

struct HexParseResult;

// Refusals that name an address or a figure.
std::string OutsideFlashLine(std::uint32_t address, bool english);
std::string TooLargeLine(std::uint32_t address, std::uint32_t flashKiB, bool english);
std::string VerifyMismatchLine(std::uint32_t address, std::uint8_t wrote, std::uint8_t read,
                               bool english);
std::string UnknownChipLine(std::uint16_t productId, bool english);
std::string SizeUnreadableLine(std::uint32_t flashKiB, bool english);

// The text in the language chosen; texts with one form ignore `english`.
std::string Text(IspText id, bool english);

// Why an image file was refused: the format's own message ("The file is not a HEX
// file!"), then where and what, e.g. "Checksum error in line 12, column 42.".
std::string RefusedImageText(const HexParseResult& result, bool english);

// The warning for a file that ends without its end record.
std::string MissingEndLine(bool english);

// "<name>\r\nSize:<size>Bytes,Baudrate: <rate> BPS"
std::string FileLine(const std::string& name, std::uint64_t size, int bitRate);

// "\r\nProgram <n> bytes,Used <ms> mS.<rate> bytes/S." in 64-bit arithmetic; a run that
// took 0 ms is rated as if it took 1 ms.
std::string ReportLine(std::uint64_t writtenLength, std::uint64_t elapsedMs);

// Bit-rate ordinal of the speed mode: fast wins over middle, middle over low.
int SpeedOrdinal(bool low, bool middle, bool fast);

}  // namespace zenta::isp
