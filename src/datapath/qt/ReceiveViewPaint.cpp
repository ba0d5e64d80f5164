// Painting of the receive window: visible rows only, on the cell grid, in the colours
// of the received text.
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QVarLengthArray>

#include <cmath>
#include <cstring>
#include <optional>

#include "datapath/qt/ReceiveView.h"

namespace zenta {

namespace {

QString viewOf(const char16_t* p, std::size_t n) {
    return QString::fromRawData(reinterpret_cast<const QChar*>(p), static_cast<qsizetype>(n));
}

QColor colourOf(std::uint32_t c) {
    return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | (c & 0xFFFFFFu)));
}

}  // namespace

void ReceiveView::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    p.fillRect(event->rect(), palette().color(QPalette::Base));
    p.setFont(cells_.font());
    const std::size_t a = std::min(anchor_, caret_);
    const std::size_t b = std::max(anchor_, caret_);
    const int lh = cells_.lineHeight();
    const int top = event->rect().top();
    const int bottom = event->rect().bottom();
    const std::size_t rows = text_.rowCount();
    // Cells are copied only where they land on the same pixels as drawn glyphs would.
    const QTransform& to = p.deviceTransform();
    const bool copy = cellCache_ && p.device()->devicePixelRatio() == 1 &&
                      to.type() <= QTransform::TxTranslate && to.dx() == std::round(to.dx()) &&
                      to.dy() == std::round(to.dy());
    if (copy)
        prepareAscii();
    collectSpans();
    int y = 0;
    for (auto row = static_cast<std::size_t>(firstVisibleRow()); row < rows && y <= bottom;
         ++row, y += lh) {
        if (y + lh <= top)
            continue;
        // Highlighted rows are drawn, not copied from plain cells.
        const bool decorated = overlayRow(row);
        if (!copy || decorated || !atlas_.usable() || !composeRow(row, a, b)) {
            paintRow(p, row, y, a, b);
            continue;
        }
        p.drawImage(QPoint(0, y), rowImage_);
        drawOver(p, y);
    }
    if (hasFocus() && caretOn_) {
        const QRect r = caretRect();
        if (!r.isEmpty())
            p.fillRect(r, palette().color(QPalette::Text));
    }
}

void ReceiveView::paintRow(QPainter& p, std::size_t row, int y, std::size_t selA,
                           std::size_t selB) {
    struct Run {
        std::size_t off;
        std::size_t len;
        int col;
        int cells;
        bool sel;
        bool grid;
        TextStyle style;
    };
    struct Fill {
        int from;
        int to;
        QRgb colour;
    };
    const QColor normal = palette().color(QPalette::Text);
    const QColor base = palette().color(QPalette::Base);
    const QColor selected = palette().color(QPalette::HighlightedText);
    auto foreground = [&](const TextStyle& st) {
        QColor c;
        if (st.has(TextStyle::Inverse))
            c = st.bg != 0 ? colourOf(st.bg) : base;
        else
            c = st.fg != 0 ? colourOf(st.fg) : normal;
        if (st.has(TextStyle::Dim)) {
            // Halfway to the background: readable on a light and a dark look.
            const QColor b = st.bg != 0 ? colourOf(st.bg) : base;
            c = QColor((c.red() + b.red()) / 2, (c.green() + b.green()) / 2,
                       (c.blue() + b.blue()) / 2);
        }
        return c;
    };
    auto background = [&](const TextStyle& st) -> std::optional<QColor> {
        if (st.has(TextStyle::Inverse))
            return st.fg != 0 ? colourOf(st.fg) : normal;
        if (st.bg != 0)
            return colourOf(st.bg);
        return std::nullopt;
    };

    QVarLengthArray<Run, 32> runs;
    QVarLengthArray<Fill, 8> fills;
    const std::size_t s = text_.rowStart(row);
    const std::size_t e = text_.rowEnd(row);
    const char16_t* t = text_.text().data();
    const auto& marks = styles_.marks();
    std::size_t k = styles_.nextAfter(s);
    TextStyle marked = k > 0 ? marks[k - 1].style : TextStyle{};
    int col = 0;
    int selFrom = -1;
    int selTo = -1;
    for (std::size_t i = s; i < e; ++i) {
        while (k < marks.size() && marks[k].offset <= i)
            marked = marks[k++].style;
        const TextStyle style = overlay_.apply(i, marked);
        const char16_t c = t[i];
        const int w = text_.cellsAt(c, col);
        const bool sel = i >= selA && i < selB;
        if (sel) {
            if (selFrom < 0)
                selFrom = col;
            selTo = col + w;
        }
        if (!style.plain() && w > 0) {
            if (const auto bg = background(style)) {
                if (!fills.isEmpty() && fills.back().to == col && fills.back().colour == bg->rgb())
                    fills.back().to = col + w;
                else
                    fills.push_back({col, col + w, bg->rgb()});
            }
        }
        const bool grid = cells_.onGrid(c);
        if (grid && !runs.isEmpty() && runs.back().grid && runs.back().sel == sel &&
            runs.back().style == style && runs.back().off + runs.back().len == i) {
            ++runs.back().len;
            runs.back().cells += w;
        } else if (grid || (c > 0x20 && c != 0x7F && !QChar::isLowSurrogate(c))) {
            // Off-grid glyphs (a proportional font, fallback fonts, surrogate pairs)
            // are drawn one by one, each in its own cells.
            std::size_t len = 1;
            if (QChar::isHighSurrogate(c) && i + 1 < e && QChar::isLowSurrogate(t[i + 1])) {
                len = 2;
            }
            runs.push_back({i, len, col, w, sel, grid, style});
        }
        col += w;
    }
    // A selected line break shows as one highlighted cell after the text.
    if (e < text_.size() && text_.rowEndsLine(row) && e >= selA && e < selB) {
        if (selFrom < 0)
            selFrom = col;
        selTo = col + 1;
    }
    const int lh = cells_.lineHeight();
    const qreal cw = cells_.cellWidth();
    for (const Fill& f : fills) {
        p.fillRect(QRectF(cellX(f.from), y, (f.to - f.from) * cw, lh), QColor::fromRgb(f.colour));
    }
    if (selFrom >= 0) {
        p.fillRect(QRectF(cellX(selFrom), y, (selTo - selFrom) * cw, lh),
                   palette().color(QPalette::Highlight));
    }
    const qreal baseline = y + cells_.ascent();
    for (const Run& r : runs) {
        const QColor pen = r.sel ? selected : foreground(r.style);
        p.setPen(pen);
        const bool bold = r.style.has(TextStyle::Bold);
        if (r.style.has(TextStyle::Underline)) {
            p.drawLine(QPointF(cellX(r.col), baseline + 1.5),
                       QPointF(cellX(r.col + r.cells), baseline + 1.5));
        }
        if (r.style.has(TextStyle::Strike)) {
            const qreal mid = baseline - cells_.ascent() / 3;
            p.drawLine(QPointF(cellX(r.col), mid), QPointF(cellX(r.col + r.cells), mid));
        }
        const bool italic = r.style.has(TextStyle::Italic);
        if (italic != p.font().italic()) {
            QFont f = p.font();
            f.setItalic(italic);
            p.setFont(f);
        }
        QString piece = viewOf(t + r.off, r.len);
        if (QChar::isSurrogate(piece.front().unicode()) && r.len == 1)
            piece = QString(QChar::ReplacementCharacter);
        if (r.grid && !italic && drawAsciiRun(p, t + r.off, r.len, r.col, baseline, bold))
            continue;
        const qreal x = cellX(r.col) + (r.grid ? 0 : cells_.inset(t[r.off], r.cells));
        if (cells_.missing(t[r.off])) {
            drawMissingGlyph(p, QPointF(x, baseline), bold);
            continue;
        }
        p.drawText(QPointF(x, baseline), piece);
        if (bold)
            p.drawText(QPointF(x + 1, baseline), piece);  // one pixel wider, same cells
    }
    if (p.font().italic()) {
        QFont f = p.font();
        f.setItalic(false);
        p.setFont(f);
    }
}

// What Qt draws for a character no font has, without Qt asking every font for it.
void ReceiveView::drawMissingGlyph(QPainter& p, QPointF at, bool bold) {
    const QString sample{QChar(cells_.missingSample())};
    p.drawText(at, sample);
    if (bold)
        p.drawText(at + QPointF(1, 0), sample);
}

void ReceiveView::setCellCache(bool on) {
    cellCache_ = on;
    viewport()->update();
}

// The same cells as paintRow gives a row, copied: a cell is the character drawn alone
// on the background it has there, so the copy matches as long as no glyph leaves its
// cells (the atlas keeps no such glyph).
bool ReceiveView::composeRow(std::size_t row, std::size_t selA, std::size_t selB) {
    const QRgb normal = palette().color(QPalette::Text).rgba();
    const QRgb base = palette().color(QPalette::Base).rgba();
    const QRgb selected = palette().color(QPalette::HighlightedText).rgba();
    const QRgb highlight = palette().color(QPalette::Highlight).rgba();
    auto colour = [](std::uint32_t c) { return 0xFF000000u | (c & 0xFFFFFFu); };
    const int cw = atlas_.cellWidth();
    const int lh = atlas_.lineHeight();
    const int width = viewport()->width();
    if (rowImage_.width() != width || rowImage_.height() != lh)
        rowImage_ = QImage(width, lh, QImage::Format_RGB32);
    rowImage_.fill(base);
    drawOver_.clear();
    quint32* const bits = reinterpret_cast<quint32*>(rowImage_.bits());
    const qsizetype stride = rowImage_.bytesPerLine() / 4;
    // Cells are a few pixels wide: a plain loop beats a library copy per line.
    auto fill = [&](QRgb colour, int col, int cells) {
        const int x = static_cast<int>(cellX(col));
        const int n = std::min(cells * cw, width - x);
        for (int line = 0; line < lh && n > 0; ++line)
            std::fill_n(bits + line * stride + x, n, colour);
    };
    auto put = [&](const quint32* px, int col, int cells) {
        const int x = static_cast<int>(cellX(col));
        const int w = cells * cw;
        const int n = std::min(w, width - x);
        quint32* to = bits + x;
        for (int line = 0; line < lh; ++line, to += stride, px += w) {
            for (int k = 0; k < n; ++k)
                to[k] = px[k];
        }
    };

    const std::size_t s = text_.rowStart(row);
    const std::size_t e = text_.rowEnd(row);
    const char16_t* t = text_.text().data();
    const auto& marks = styles_.marks();
    std::size_t k = styles_.nextAfter(s);
    TextStyle style = k > 0 ? marks[k - 1].style : TextStyle{};
    int col = 0;
    bool spilledRight = false;
    for (std::size_t i = s; i < e; ++i) {
        while (k < marks.size() && marks[k].offset <= i)
            style = marks[k++].style;
        const char16_t c = t[i];
        const int w = text_.cellsAt(c, col);
        // What paintRow would do with the character: nothing (controls and blanks off
        // the grid), a glyph of a run, or text of its own centred in its cells.
        const bool grid = cells_.onGrid(c);
        const bool blank = c < 0x20 || c == 0x7F || (!grid && c <= 0x20);
        if (w < 1 || w > 2 || (blank && w != 1) || QChar::isSurrogate(c) ||
            style.has(TextStyle::Underline) || cells_.missing(c) ||
            (style.flags & (TextStyle::Italic | TextStyle::Dim | TextStyle::Strike)) != 0) {
            return false;
        }
        using Draw = CellAtlas::Draw;
        const Draw how = blank ? Draw::Blank : grid && c < 0x80 ? Draw::Glyph : Draw::Text;
        const qreal inset = blank || grid ? 0 : cells_.inset(c, w);
        QRgb fg = normal;
        QRgb bg = base;
        if (i >= selA && i < selB) {
            fg = selected;
            bg = highlight;
        } else if (style.has(TextStyle::Inverse)) {
            fg = style.bg != 0 ? colour(style.bg) : base;
            bg = style.fg != 0 ? colour(style.fg) : normal;
        } else {
            fg = style.fg != 0 ? colour(style.fg) : normal;
            bg = style.bg != 0 ? colour(style.bg) : base;
        }
        const bool bold = style.has(TextStyle::Bold);
        const CellAtlas::Cell cell = atlas_.cell(c, w, how, inset, fg, bg, bold);
        if (cell.pixels == nullptr)
            return false;
        // A glyph reaching into its right neighbour's cell is drawn before that
        // neighbour's glyph: both are drawn over the copy, in order.
        if (cell.drawOver() || spilledRight) {
            fill(bg, col, w);
            if (how != Draw::Blank)
                drawOver_.push_back({i, col, how, inset, fg, bold});
        } else {
            put(cell.pixels, col, w);
        }
        spilledRight = cell.spillsRight;
        col += w;
    }
    // A selected line break shows as one highlighted cell after the text.
    if (e < text_.size() && text_.rowEndsLine(row) && e >= selA && e < selB)
        fill(highlight, col, 1);
    return true;
}

// The glyphs composeRow left out, drawn as paintRow draws them. ASCII glyphs in one
// colour go out in one run: it draws them one by one in the same order.
void ReceiveView::drawOver(QPainter& p, int y) {
    const char16_t* t = text_.text().data();
    const qreal baseline = y + cells_.ascent();
    QVarLengthArray<quint32, 64> glyphs;
    QVarLengthArray<QPointF, 64> places;
    QRgb runPen = 0;
    auto drawRun = [&] {
        if (glyphs.isEmpty())
            return;
        p.setPen(QColor::fromRgba(runPen));
        QGlyphRun run;
        run.setRawFont(asciiFont_);
        run.setRawData(glyphs.constData(), places.constData(), static_cast<int>(glyphs.size()));
        p.drawGlyphRun(QPointF(0, 0), run);
        glyphs.clear();
        places.clear();
    };
    for (const DrawOver& d : drawOver_) {
        const char16_t c = t[d.offset];
        // Bold glyphs are drawn twice each, as in a drawn row.
        if (d.how == CellAtlas::Draw::Glyph && !d.bold && c < 0x80 && asciiGlyphs_[c] != 0) {
            if (!glyphs.isEmpty() && runPen != d.fg)
                drawRun();
            runPen = d.fg;
            glyphs.append(asciiGlyphs_[c]);
            places.append(QPointF(cellX(d.col), baseline));
            continue;
        }
        drawRun();
        p.setPen(QColor::fromRgba(d.fg));
        if (d.how == CellAtlas::Draw::Glyph &&
            drawAsciiRun(p, t + d.offset, 1, d.col, baseline, d.bold)) {
            continue;
        }
        const QString piece{QChar(t[d.offset])};
        const qreal x = cellX(d.col) + d.inset;
        p.drawText(QPointF(x, baseline), piece);
        if (d.bold)
            p.drawText(QPointF(x + 1, baseline), piece);
    }
    drawRun();
}

void ReceiveView::prepareAscii() {
    if (asciiReady_)
        return;
    asciiReady_ = true;
    asciiGlyphs_.fill(0);
    asciiFont_ = QRawFont::fromFont(cells_.font());
    if (asciiFont_.isValid()) {
        std::array<QChar, 128> chars;
        for (int c = 0; c < 128; ++c) {
            chars[c] = QChar(c);
        }
        int found = 128;
        if (!asciiFont_.glyphIndexesForChars(chars.data(), 128, asciiGlyphs_.data(), &found) ||
            found != 128) {
            asciiGlyphs_.fill(0);
        }
    }
    atlas_.reset(cells_.font(), asciiFont_, &asciiGlyphs_, cells_.cellWidth(), cells_.ascent(),
                 cells_.lineHeight());
}

// A run of ASCII characters on the grid is drawn as the font's glyphs placed on their
// cells: the glyphs and places a text draw gives them (each advances by one cell),
// without laying the text out again on every paint. Other runs return false.
bool ReceiveView::drawAsciiRun(QPainter& p, const char16_t* units, std::size_t len, int col,
                               qreal baseline, bool bold) {
    prepareAscii();
    QVarLengthArray<quint32, 256> glyphs;
    QVarLengthArray<QPointF, 256> places;
    for (std::size_t i = 0; i < len; ++i) {
        const char16_t c = units[i];
        if (c >= 0x80 || asciiGlyphs_[c] == 0) {
            return false;
        }
        glyphs.append(asciiGlyphs_[c]);
        places.append(QPointF(cellX(col + static_cast<int>(i)), baseline));
    }
    QGlyphRun run;
    run.setRawFont(asciiFont_);
    run.setRawData(glyphs.constData(), places.constData(), static_cast<int>(glyphs.size()));
    p.drawGlyphRun(QPointF(0, 0), run);
    if (bold) {
        p.drawGlyphRun(QPointF(1, 0), run);
    }
    return true;
}

}  // namespace zenta
