#include "datapath/qt/CellAtlas.h"

#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
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
    std::fill(seen_.begin(), seen_.end(), false);
    sheets_.clear();
    last_ = nullptr;
    cells_.clear();
}

CellAtlas::Cell CellAtlas::cell(char16_t c, int cells, Draw how, qreal inset, QRgb fg, QRgb bg,
                                bool bold) {
    if (!usable() || cells < 1 || cells > 2 || qAlpha(fg) != 255 || qAlpha(bg) != 255) {
        return {};
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
        if (c >= 0x80 && !seen_[c]) {
            seen_[c] = true;
            return {};
        }
        if (cells_.size() >= kMaxCells) {
            clear();
            return cell(c, cells, how, inset, fg, bg, bold);
        }
        *slot = render(c, cells, how, inset, key);
    }
    if (*slot < 0) {
        return {};
    }
    const Kept& kept = cells_[static_cast<std::size_t>(*slot)];
    // A character takes the same cells wherever it stands; anything else is drawn.
    if (kept.pixels.size() != static_cast<std::size_t>(cells * cellWidth_ * lineHeight_)) {
        return {};
    }
    return {kept.pixels.data(), kept.spillsLeft, kept.spillsRight};
}

// Draws the character as a row draws it, with room around it to see whether any of its
// pixels leave its cells.
std::int32_t CellAtlas::render(char16_t c, int cells, Draw how, qreal inset, const SheetKey& key) {
    quint32 glyph = 0;
    if (how == Draw::Glyph) {
        glyph = ascii_ != nullptr && c < 0x80 ? (*ascii_)[c] : 0;
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
    if (how != Draw::Blank) {
        QPainter p(&scratch_);
        p.setFont(font_);
        p.setPen(QColor::fromRgba(key.fg));
        const qreal baseline = padY + ascent_;
        for (int pass = 0; pass < (key.bold ? 2 : 1); ++pass) {
            const qreal x = padX + inset + pass;
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
    Kept kept;
    kept.pixels.resize(static_cast<std::size_t>(w * lineHeight_));
    for (int y = 0; y < size.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(scratch_.constScanLine(y));
        const bool rowInside = y >= padY && y < padY + lineHeight_;
        for (int x = 0; x < size.width(); ++x) {
            if (line[x] == bg || (rowInside && x >= padX && x < padX + w)) {
                continue;
            }
            if (!rowInside || x < padX - cellWidth_ || x >= padX + w + cellWidth_) {
                return kNotKept;  // into another row, or past the next cell
            }
            (x < padX ? kept.spillsLeft : kept.spillsRight) = true;
        }
        if (rowInside) {
            std::memcpy(kept.pixels.data() + static_cast<std::size_t>((y - padY) * w), line + padX,
                        static_cast<std::size_t>(w) * sizeof(quint32));
        }
    }
    if (kept.spillsLeft || kept.spillsRight) {
        std::fill(kept.pixels.begin(), kept.pixels.end(), bg);
    }
    cells_.push_back(std::move(kept));
    return static_cast<std::int32_t>(cells_.size() - 1);
}

}  // namespace zenta
