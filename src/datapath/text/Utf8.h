#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zenta {

// What stands at p[i]: the length of a complete, valid UTF-8 sequence (1 to 4), 0
// when the bytes end while the sequence is still valid so far, or -1 when p[i]
// starts no valid sequence (a stray continuation byte, an overlong form, a surrogate,
// a code point above 10FFFFh, or a lead byte whose sequence breaks off).
int Utf8SequenceAt(const unsigned char* p, std::size_t n, std::size_t i);

// UTF-8 bytes to UTF-16, fed in pieces, with a result that never depends on where
// the pieces were cut: a sequence left incomplete at the end of a piece waits for the
// next piece, and every byte that starts no valid sequence becomes one U+FFFD, after
// which decoding goes on with the next byte (no byte is ever swallowed).
class Utf8Stream {
  public:
    // Most units one call can write: one per byte held or given.
    std::size_t MaxUnits(std::size_t bytes) const { return held_.size() + bytes; }
    // Writes the units of the complete sequences to `out`; returns their count.
    std::size_t Decode(std::string_view bytes, char16_t* out);
    std::u16string Decode(std::string_view bytes);
    void Reset() { held_.clear(); }
    const std::string& held() const { return held_; }

  private:
    std::size_t DecodeComplete(const unsigned char* p, std::size_t n, char16_t* out);
    std::string held_;
};

// UTF-16 to UTF-8; a lone surrogate is sent as U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

}  // namespace zenta
