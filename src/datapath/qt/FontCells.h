#pragma once

#include <QFont>
#include <QFontMetricsF>

#include <memory>

#include "datapath/qt/WrappedText.h"

namespace zenta {

// Cell widths taken from a font: every ASCII character is one cell as wide as the
// widest ASCII glyph; a glyph clearly wider than that (CJK ideographs, full-width
// forms) takes two cells.
class FontCells : public CellWidths {
  public:
    explicit FontCells(const QFont& font);

    void setFont(const QFont& font);
    const QFont& font() const { return font_; }
    qreal cellWidth() const { return cell_; }
    qreal ascent() const { return ascent_; }
    int lineHeight() const { return lineHeight_; }

    // True when the glyph advances exactly by its cells, so runs of such characters
    // can be drawn in one call and still land on the grid.
    bool onGrid(char16_t c) const {
        cells(c);
        return exact_[c] != 0;
    }

  protected:
    int measure(char16_t c) const override;

  private:
    QFont font_;
    QFontMetricsF metrics_;
    qreal cell_ = 1;
    qreal ascent_ = 0;
    int lineHeight_ = 1;
    std::unique_ptr<unsigned char[]> exact_;
};

}  // namespace zenta
