#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QRawFont>

#include <memory>

#include "datapath/qt/WrappedText.h"

namespace zenta {

// The font the receive window draws with for a font the user or the settings file
// named: that font when this machine has it, else a monospace font with CJK glyphs
// of the same size (a settings file written on Windows names fonts that are absent
// here). The named font stays what the window reports and saves.
QFont ReceiveFontFor(const QFont& named);

// Cell widths taken from a font: every ASCII character is one cell as wide as the
// widest ASCII glyph; a glyph clearly wider than that (CJK ideographs, full-width
// forms) takes two cells.
class FontCells : public CellWidths {
  public:
    explicit FontCells(const QFont& font);

    void setFont(const QFont& font);
    const QFont& font() const { return font_; }
    qreal cellWidth() const { return cell_; }
    // Room above the baseline and row height, for the tallest of the font's own
    // glyphs and the CJK glyphs a fallback font supplies.
    qreal ascent() const { return ascent_; }
    int lineHeight() const { return lineHeight_; }

    // True when the glyph advances exactly by its cells, so runs of such characters
    // can be drawn in one call and still land on the grid.
    bool onGrid(char16_t c) const {
        cells(c);
        return exact_[c] != 0;
    }
    // Where a glyph that is off the grid (any glyph of a proportional font) starts
    // within its cells: it is centred, so narrow letters do not cling to the left.
    qreal inset(char16_t c, int cells) const;
    // True for a character no installed font has. Qt draws every such character as the
    // same box, but finds that out anew for each script, by asking every fallback font:
    // they are measured and drawn as the first one seen (`missingSample()`), for which
    // Qt asks once.
    bool missing(char16_t c) const {
        cells(c);
        return missing_[c] != 0;
    }
    char16_t missingSample() const { return missingSample_; }

  protected:
    int measure(char16_t c) const override;

  private:
    QFont font_;
    QFontMetricsF metrics_;
    QRawFont raw_;
    mutable char16_t missingSample_ = 0;
    mutable qreal missingAdvance_ = 0;
    qreal cell_ = 1;
    qreal ascent_ = 0;
    int lineHeight_ = 1;
    std::unique_ptr<unsigned char[]> exact_;
    std::unique_ptr<float[]> advance_;
    std::unique_ptr<unsigned char[]> missing_;
};

}  // namespace zenta
