#pragma once

#include <QFont>
#include <QHash>
#include <QImage>
#include <QRawFont>
#include <QRgb>

#include <array>
#include <cstdint>
#include <vector>

namespace zenta {

// Characters already drawn once, each in its cells on its background, kept as pixels:
// a row is then put together by copying cells instead of drawing glyphs again. It
// needs a whole-pixel cell width, so that a glyph looks alike in every column, and
// only takes glyphs that stay inside their cells (a neighbour's cell is never touched
// by them); for anything else it answers "not kept" and the caller draws.
class CellAtlas {
  public:
    // How the cells are drawn: the font (and its ASCII glyphs, 0 where the font lacks
    // one), the cell size and the baseline within a row.
    void reset(const QFont& font, const QRawFont& raw, const std::array<quint32, 128>* ascii,
               qreal cellWidth, qreal ascent, int lineHeight);
    // The cell grid has whole pixels: copying can stand in for drawing.
    bool usable() const { return cellWidth_ > 0; }
    int cellWidth() const { return cellWidth_; }
    int lineHeight() const { return lineHeight_; }

    struct Cell {
        // Pixels (lineHeight rows of cells * cellWidth) of the character drawn on its
        // background; null when it is not kept and its row must be drawn.
        const quint32* pixels = nullptr;
        // Its glyph reaches into the cell on its left or right (never above or below):
        // the cell is the background only, and the glyph is drawn over the copied row,
        // after its left neighbour and before its right one, as a drawn row has it.
        bool spillsLeft = false;
        bool spillsRight = false;
        bool drawOver() const { return spillsLeft || spillsRight; }
    };
    // How a row draws a character: not at all (controls), as the font's glyph (ASCII
    // on the grid), or as text `inset` pixels into its cells.
    enum class Draw { Blank, Glyph, Text };
    // `c` in `cells` cells, drawn in `fg` on `bg` (bold: drawn twice, one pixel apart).
    // How it is drawn must be the same for a character every time.
    Cell cell(char16_t c, int cells, Draw how, qreal inset, QRgb fg, QRgb bg, bool bold);

  private:
    struct Sheet {
        // Entry per character: an index into cells_, or kNotKept / kUnknown.
        std::array<std::int32_t, 128> ascii;
        QHash<char16_t, std::int32_t> other;
    };
    struct SheetKey {
        QRgb fg;
        QRgb bg;
        bool bold;
        bool operator==(const SheetKey&) const = default;
    };
    friend size_t qHash(const SheetKey& k, size_t seed) {
        return qHashMulti(seed, k.fg, k.bg, k.bold);
    }
    static constexpr std::int32_t kUnknown = -2;
    static constexpr std::int32_t kNotKept = -1;
    // Past this many kept cells (24-bit colours can make any number) all are dropped.
    static constexpr std::size_t kMaxCells = 4096;

    std::int32_t render(char16_t c, int cells, Draw how, qreal inset, const SheetKey& key);
    void clear();

    QFont font_;
    QRawFont raw_;
    const std::array<quint32, 128>* ascii_ = nullptr;
    int cellWidth_ = 0;
    qreal ascent_ = 0;
    int lineHeight_ = 0;
    QHash<SheetKey, Sheet> sheets_;
    // The last sheet asked for: runs of one style ask for it cell after cell.
    SheetKey lastKey_{};
    Sheet* last_ = nullptr;
    struct Kept {
        std::vector<quint32> pixels;
        bool spillsLeft = false;
        bool spillsRight = false;
    };
    std::vector<Kept> cells_;
    // Characters past ASCII met once: drawing one costs far less than keeping it, and
    // text of random bytes meets thousands of them once, so only a second meeting keeps.
    std::vector<bool> seen_ = std::vector<bool>(0x10000);
    QImage scratch_;
};

}  // namespace zenta
