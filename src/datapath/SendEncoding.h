#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "datapath/text/TextEncoding.h"

namespace zenta {

// Checksum kinds in the order of the checksum box; the index is what the settings store.
enum class ChecksumKind { None = 0, ModbusCrc16 = 1, Add = 2, Xor = 3 };

// Box index to kind; anything outside 0..3 (no item selected) is None.
ChecksumKind ChecksumKindFromIndex(int index);

std::uint16_t ModbusCrc16(std::string_view bytes);
// Two's complement of the 8-bit sum, so payload plus checksum sum to 0 mod 256.
std::uint8_t AddChecksum(std::string_view bytes);
std::uint8_t XorChecksum(std::string_view bytes);
// The bytes a kind appends (CRC low byte first); empty for None.
std::string ChecksumBytes(ChecksumKind kind, std::string_view payload);

// Escapes of a text send line: \0 \a \b \f \n \r \t \v, \xHH, a "\x" with fewer than
// two characters left consumes the rest, any other escaped character is kept with
// its backslash, a trailing backslash stays. The line is in `encoding`: in GB18030 a
// double-byte character is copied whole, so a trail byte of 5Ch is never an escape
// (UTF-8 and Latin-1 never have 5Ch inside a character).
std::string ApplyEscapes(std::string_view line, TextEncoding encoding = TextEncoding::Gb18030);

enum class SendError {
    None,
    EmptyLine,             // nothing typed: the send does nothing, silently
    InvalidHex,            // HEX line with a character outside 0-9 A-F a-f space
    EmptyPayloadChecksum,  // no bytes to send but a checksum selected
};

struct SendPayload {
    SendError error = SendError::None;
    std::size_t invalidPos = 0;  // valid when error == InvalidHex
    std::string bytes;           // what to write when error == None (may be empty)
};

// The bytes of one send: HEX input or escaped text (+ CR LF in text mode only), then
// the checksum over all of it. A lone checksum of nothing is refused rather than sent.
// A text line is in `encoding` (see ApplyEscapes); a HEX line does not depend on it.
// `lineEnd` is what the line-end box appends (CR LF unless the user chose otherwise).
SendPayload BuildSendPayload(std::string_view line, bool hexMode, bool appendCrLf,
                             ChecksumKind kind, TextEncoding encoding = TextEncoding::Gb18030,
                             std::string_view lineEnd = "\r\n");

}  // namespace zenta
