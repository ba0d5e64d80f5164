#pragma once
// YMODEM's block 0: "name NUL size mtime mode ...", numbers as text, padded with NULs.

#include <cstdint>
#include <vector>

#include "transfer/FileStore.h"

namespace zenta::transfer {

// 128 bytes, or 1024 when the name does not fit.
std::vector<std::uint8_t> BuildYmodemHeader(const FileInfo& info);

enum class HeaderKind {
    File,        // info holds a plain name, and size and mtime where given
    EndOfBatch,  // empty name: no more files
    Malformed,   // no NUL after the name, or a size no file can have
};

// Reads a received block 0 (128 or 1024 bytes).
HeaderKind ParseYmodemHeader(const std::uint8_t* data, std::size_t n, FileInfo& info);

}  // namespace zenta::transfer
