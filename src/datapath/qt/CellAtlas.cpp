#include "datapath/qt/CellAtlas.h"

#include <QGlyphRun>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace zenta {

void CellAtlas::reset(const QFont& font, const QRawFont& raw, const std::array<quint32, 128>* ascii,
                      qreal cellWidth, qreal ascent, int lineHeight) {
    clear();
    font_ = font;
    raw_ = raw;
    ascii_ = ascii;
    const qreal whole = std::round(cellWidth);
    cellWidth_ = whole >= 1 && std::abs(cellWidth - whole) < 1e-6 ? static_cast<int>(whole) : 0;
    ascent_ = ascent;
    lineHeight_ = lineHeight;
}

void CellAtlas::clear() {
    sheets_.clear();
    last_ = nullptr;
    cells_.clear();
}

const quint32* CellAtlas::cell(char16_t c, int cells, QRgb fg, QRgb bg, bool bold) {
    if (!usable() || cells < 1 || cells > 2 || qAlpha(fg) != 255 || qAlpha(bg) != 255) {
        return nullptr;
    }
    const SheetKey key{fg, bg, bold};
    if (last_ == nullptr || !(key == lastKey_)) {
        auto it = sheets_.find(key);
        if (it == sheets_.end()) {
            Sheet sheet;
            sheet.ascii.fill(kUnknown);
            it = sheets_.insert(key, sheet);
        }
        last_ = &it.value();
        lastKey_ = key;
    }
    std::int32_t* slot = nullptr;
    if (c < 128) {
        slot = &last_->ascii[c];
    } else {
        auto it = last_->other.find(c);
        if (it == last_->other.end()) {
            it = last_->other.insert(c, kUnknown);
        }
        slot = &it.value();
    }
    if (*slot == kUnknown) {
        if (cells_.size() >= kMaxCells) {
            clear();
            return cell(c, cells, fg, bg, bold);
        }
        *slot = render(c, cells, key);
    }
    if (*slot < 0) {
        return nullptr;
    }
    const std::vector<quint32>& px = cells_[static_cast<std::size_t>(*slot)];
    // A character takes the same cells wherever it stands; anything else is drawn.
    if (px.size() != static_cast<std::size_t>(cells * cellWidth_ * lineHeight_)) {
        return nullptr;
    }
    return px.data();
}

// Draws the character as a row draws it, with room around it to see whether any of its
// pixels leave its cells.
std::int32_t CellAtlas::render(char16_t c, int cells, const SheetKey& key) {
    const bool control = c < 0x20 || c == 0x7F;
    quint32 glyph = 0;
    if (c < 0x80 && !control) {
        glyph = ascii_ != nullptr ? (*ascii_)[c] : 0;
        if (glyph == 0) {
            return kNotKept;  // rows draw such runs as text: left to them
        }
    }
    const int w = cells * cellWidth_;
    const int padX = 2 * cellWidth_;
    const int padY = lineHeight_;
    const QSize size(w + 2 * padX, lineHeight_ + 2 * padY);
    if (scratch_.size() != size) {
        scratch_ = QImage(size, QImage::Format_RGB32);
    }
    scratch_.fill(key.bg);
    if (!control) {
        QPainter p(&scratch_);
        p.setFont(font_);
        p.setPen(QColor::fromRgba(key.fg));
        const qreal baseline = padY + ascent_;
        for (int pass = 0; pass < (key.bold ? 2 : 1); ++pass) {
            const qreal x = padX + pass;
            if (glyph != 0) {
                const QPointF place(x, baseline);
                QGlyphRun run;
                run.setRawFont(raw_);
                run.setRawData(&glyph, &place, 1);
                p.drawGlyphRun(QPointF(0, 0), run);
            } else {
                p.drawText(QPointF(x, baseline), QString(QChar(c)));
            }
        }
    }
    const quint32 bg = scratch_.pixel(0, 0);
    std::vector<quint32> px(static_cast<std::size_t>(w * lineHeight_));
    for (int y = 0; y < size.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(scratch_.constScanLine(y));
        const bool rowInside = y >= padY && y < padY + lineHeight_;
        for (int x = 0; x < size.width(); ++x) {
            if (rowInside && x >= padX && x < padX + w) {
                continue;
            }
            if (line[x] != bg) {
                return kNotKept;
            }
        }
        if (rowInside) {
            std::memcpy(px.data() + static_cast<std::size_t>((y - padY) * w), line + padX,
                        static_cast<std::size_t>(w) * sizeof(quint32));
        }
    }
    cells_.push_back(std::move(px));
    return static_cast<std::int32_t>(cells_.size() - 1);
}

}  // namespace zenta
