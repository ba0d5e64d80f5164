#include "datapath/qt/FontCells.h"

#include <QChar>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zenta {

FontCells::FontCells(const QFont& font)
    : font_(font), metrics_(font), exact_(new unsigned char[0x10000]) {
    setFont(font);
}

void FontCells::setFont(const QFont& font) {
    font_ = font;
    metrics_ = QFontMetricsF(font_);
    qreal widest = 0;
    for (char16_t c = 0x21; c < 0x7F; ++c)
        widest = std::max(widest, metrics_.horizontalAdvance(QChar(c)));
    cell_ = widest > 0 ? widest : 1;
    ascent_ = metrics_.ascent();
    lineHeight_ = std::max(1, static_cast<int>(std::ceil(metrics_.height())));
    std::memset(exact_.get(), 0, 0x10000);
    reset();
}

int FontCells::measure(char16_t c) const {
    // Control characters keep a blank cell so that they stay selectable.
    if (c < 0x20 || c == 0x7F)
        return 1;
    if (QChar::isHighSurrogate(c))
        return 2;
    if (QChar::isLowSurrogate(c))
        return 0;
    const qreal advance = metrics_.horizontalAdvance(QChar(c));
    int cells = 1;
    if (c >= 0x80) {
        if (advance <= 0)
            cells = 0;
        else if (advance > cell_ * 1.5)
            cells = 2;
    }
    exact_[c] = cells > 0 && std::abs(advance - cells * cell_) < 0.01;
    return cells;
}

}  // namespace zenta
