#include "datapath/qt/FontCells.h"

#include <QChar>
#include <QFontDatabase>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "datapath/qt/FontCoverage.h"

namespace zenta {

QFont ReceiveFontFor(const QFont& named) {
    if (named.family().isEmpty() || QFontDatabase::hasFamily(named.family())) {
        return named;
    }
    QFont f = named;
    f.setFamilies(QStringList{
        QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("Noto Sans Mono CJK TC"),
        QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("WenQuanYi Zen Hei Mono"),
        QStringLiteral("DejaVu Sans Mono")});
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

FontCells::FontCells(const QFont& font)
    : font_(font),
      metrics_(font),
      exact_(new unsigned char[0x10000]),
      advance_(new float[0x10000]),
      missing_(new unsigned char[0x10000]) {
    // Built in the background by the time the first rare character comes.
    FontCoverage::Installed();
    setFont(font);
}

void FontCells::setFont(const QFont& font) {
    font_ = font;
    metrics_ = QFontMetricsF(font_);
    qreal widest = 0;
    for (char16_t c = 0x21; c < 0x7F; ++c) {
        widest = std::max(widest, metrics_.horizontalAdvance(QChar(c)));
    }
    cell_ = widest > 0 ? widest : 1;
    // A CJK glyph from a fallback font can stand taller than the font's own metrics
    // allow for; rows must not overlap then.
    const QRectF ideograph = metrics_.boundingRect(QChar(0x56FD));
    ascent_ = std::max(metrics_.ascent(), -ideograph.top());
    const qreal descent = std::max(metrics_.descent(), ideograph.bottom());
    lineHeight_ =
        std::max(1, static_cast<int>(std::ceil(std::max(metrics_.height(), ascent_ + descent))));
    raw_ = QRawFont::fromFont(font_);
    missingSample_ = 0;
    missingAdvance_ = 0;
    std::memset(exact_.get(), 0, 0x10000);
    std::memset(missing_.get(), 0, 0x10000);
    std::fill_n(advance_.get(), 0x10000, 0.0f);
    reset();
}

qreal FontCells::inset(char16_t c, int cells) const {
    if (advance_[c] <= 0) {
        return 0;  // not measured alone (surrogates)
    }
    return std::max<qreal>(0, (cells * cell_ - advance_[c]) / 2);
}

int FontCells::measure(char16_t c) const {
    // Control characters keep a blank cell so that they stay selectable.
    if (c < 0x20 || c == 0x7F) {
        return 1;
    }
    if (QChar::isHighSurrogate(c)) {
        return 2;
    }
    if (QChar::isLowSurrogate(c)) {
        return 0;
    }
    qreal advance = 0;
    if (c >= 0x80 && raw_.isValid() && !raw_.supportsCharacter(QChar(c)) &&
        FontCoverage::Installed().covers(c) == FontCoverage::Answer::Missing) {
        if (missingSample_ == 0) {
            missingSample_ = c;
            missingAdvance_ = metrics_.horizontalAdvance(QChar(c));
        }
        missing_[c] = 1;
        advance = missingAdvance_;
    } else {
        advance = metrics_.horizontalAdvance(QChar(c));
    }
    advance_[c] = static_cast<float>(advance);
    int cells = 1;
    if (c >= 0x80) {
        if (advance <= 0) {
            cells = 0;
        } else if (advance > cell_ * 1.5) {
            cells = 2;
        }
    }
    // A character no font has is drawn on its own, off the grid, as the sample's box.
    exact_[c] = missing_[c] == 0 && cells > 0 && std::abs(advance - cells * cell_) < 0.01;
    return cells;
}

}  // namespace zenta
