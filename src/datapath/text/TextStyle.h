#pragma once

#include <cstddef>
#include <cstdint>

namespace zenta {

// How a stretch of received text is drawn. Colours are 0 for the window's own colour,
// else kSet | 0xRRGGBB.
struct TextStyle {
    static constexpr std::uint32_t kSet = 0x01000000;
    enum Flag : std::uint8_t {
        Bold = 1,
        Underline = 2,
        Inverse = 4,
        Stamp = 8,
        Italic = 16,
        Dim = 32,
        Strike = 64,
    };

    std::uint32_t fg = 0;
    std::uint32_t bg = 0;
    std::uint8_t flags = 0;

    bool plain() const { return fg == 0 && bg == 0 && flags == 0; }
    bool has(Flag f) const { return (flags & f) != 0; }
    bool operator==(const TextStyle&) const = default;
};

// Where a style starts in a text (it lasts until the next mark).
struct StyleMark {
    std::size_t offset = 0;
    TextStyle style;
};

// Colour of an index of the 256-colour palette (16 basic, 6x6x6 cube, 24 greys), as
// 0xRRGGBB.
std::uint32_t PaletteColour(int index);

}  // namespace zenta
