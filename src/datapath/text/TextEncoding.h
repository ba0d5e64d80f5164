#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zenta {

// Code page of the receive window's text display and of text sends. HEX display,
// HEX sends and captures are bytes and never depend on it.
enum class TextEncoding { Gb18030 = 0, Utf8 = 1, Latin1 = 2 };

inline constexpr TextEncoding kAllTextEncodings[] = {TextEncoding::Gb18030, TextEncoding::Utf8,
                                                     TextEncoding::Latin1};

// The name shown in the choice and stored in the settings ("GB18030", "UTF-8",
// "Latin-1"); parsing ignores case and accepts "UTF8" and "ISO-8859-1" too.
std::string_view TextEncodingName(TextEncoding encoding);
std::optional<TextEncoding> TextEncodingFromName(std::string_view name);

// Length of the character that ends `bytes` but still waits for more bytes: the part
// a chunk of text display holds back for the next chunk (0 when the bytes end on a
// character boundary). GB18030 pairs every byte of 80h or above with the byte after
// it, counted from the start; UTF-8 holds a sequence that is valid so far; Latin-1
// never holds anything.
std::size_t IncompleteTail(TextEncoding encoding, std::string_view bytes);

// Latin-1 both ways: every byte is one character; a character above FFh (or a
// surrogate pair) is sent as '?'.
void DecodeLatin1(std::string_view bytes, char16_t* out);
std::string EncodeLatin1(std::u16string_view text);

}  // namespace zenta
