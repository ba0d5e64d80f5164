#pragma once

#include <cstddef>
#include <cstdint>

namespace devsim {

// CRC-32 as used by zlib and Ethernet (reflected polynomial 0xEDB88320, initial value and
// final XOR 0xFFFFFFFF). Fed in pieces, it gives the same value as over the whole data.
class Crc32 {
  public:
    void Update(const uint8_t* data, size_t len);
    uint32_t Value() const { return ~state_; }
    void Reset() { state_ = 0xFFFFFFFFu; }

  private:
    uint32_t state_ = 0xFFFFFFFFu;
};

uint32_t Crc32Of(const uint8_t* data, size_t len);

}  // namespace devsim
