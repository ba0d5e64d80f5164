#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zenta {

// Value of one hexadecimal digit (either case); any other character counts as 0,
// so "\xG1" in a text line yields 01h instead of failing.
std::uint8_t HexDigitValue(char c);

// Two digits to one byte, the first one being the high nibble.
std::uint8_t HexPairToByte(char hi, char lo);

// Characters allowed in a HEX input line: 0-9, A-F, a-f and the space.
bool IsHexInputChar(char c);

// Position of the first character that is not allowed, or nullopt for a valid line.
std::optional<std::size_t> FindInvalidHexChar(std::string_view line);

// Spaces are ignored wherever they stand; the remaining characters are taken in
// pairs and an unpaired last digit is dropped ("12 3" -> 12h). Callers check the
// line with FindInvalidHexChar first; a stray character here counts as digit 0.
std::string ParseHexText(std::string_view line);

}  // namespace zenta
