#include "devsim/Checksum.h"

#include <array>

namespace devsim {
namespace {

// Eight tables, so a stream is summed eight bytes per step: a flood's checksum must not
// take the CPU the program under test needs (table k advances a byte by k more zeros).
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        }
        t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        for (size_t k = 1; k < 8; ++k) {
            t[k][i] = t[0][t[k - 1][i] & 0xFFu] ^ (t[k - 1][i] >> 8);
        }
    }
    return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

void Crc32::Update(const uint8_t* data, size_t len) {
    uint32_t c = state_;
    size_t i = 0;
    for (; i + 8 <= len; i += 8) {
        const uint32_t lo = c ^ (uint32_t{data[i]} | uint32_t{data[i + 1]} << 8 |
                                 uint32_t{data[i + 2]} << 16 | uint32_t{data[i + 3]} << 24);
        c = kTables[7][lo & 0xFFu] ^ kTables[6][(lo >> 8) & 0xFFu] ^
            kTables[5][(lo >> 16) & 0xFFu] ^ kTables[4][lo >> 24] ^ kTables[3][data[i + 4]] ^
            kTables[2][data[i + 5]] ^ kTables[1][data[i + 6]] ^ kTables[0][data[i + 7]];
    }
    for (; i < len; ++i) {
        c = kTables[0][(c ^ data[i]) & 0xFFu] ^ (c >> 8);
    }
    state_ = c;
}

uint32_t Crc32Of(const uint8_t* data, size_t len) {
    Crc32 crc;
    crc.Update(data, len);
    return crc.Value();
}

}  // namespace devsim
