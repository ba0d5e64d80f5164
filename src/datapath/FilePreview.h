#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "datapath/ReceiveState.h"

namespace zenta {

// A preview shows this much of the start of a file.
inline constexpr std::size_t kPreviewBytes = 4096;

struct FilePreviewText {
    std::string header;  // UTF-8
    std::string body;    // display bytes (code page of the receive window)
};

// Puts the first bytes of a file into the receive accumulators the way a preview does:
// rxRawAll and the HEX form are replaced (rxRawAll then holds the text display form);
// rxCount, rxTextAll and the counters stay as they are. Returns the new window text.
FilePreviewText ApplyFilePreview(ReceiveState& rx, std::string_view firstBytes, std::int64_t length,
                                 bool hexDisplay, bool english);

}  // namespace zenta
