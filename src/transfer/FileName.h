#pragma once
// Names that arrive from the other end of the line are only ever a plain file name.

#include <string>
#include <string_view>

namespace zenta::transfer {

// The last path element of `raw` (either slash), without control characters, without
// leading dots and blanks, at most 200 bytes (UTF-8 sequences kept whole). A name that
// leaves nothing, such as "..", gives `fallback`.
std::string PlainFileName(std::string_view raw, std::string_view fallback = "received");

}  // namespace zenta::transfer
