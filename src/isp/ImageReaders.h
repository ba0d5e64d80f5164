#pragma once

#include <string_view>

#include "isp/HexImage.h"

// The readers behind THexImage::Parse, one per file format. Each fills an image that the
// caller has cleared and stops at the first fault it finds.
namespace zenta::isp {

// The format of `text`: ELF by its magic, Intel HEX or S-records by their first
// character, raw binary only for content that is not text. A damaged text file must
// never pass for a binary one, so text that is neither is read (and refused) as HEX.
ImageFormat DetectImageFormat(std::string_view text);

HexParseResult ReadIntelHex(std::string_view text, ImageSink& image);
HexParseResult ReadSRecords(std::string_view text, ImageSink& image);
HexParseResult ReadElf(std::string_view file, ImageSink& image);

}  // namespace zenta::isp
