#include "datapath/qt/ReceiveView.h"

#include <QApplication>
#include <QClipboard>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace zenta {

namespace {

constexpr int kMargin = 3;

QFont defaultFont() {
    QFont f(QStringLiteral("Noto Sans Mono CJK SC"));
    f.setPixelSize(12);
    f.setStyleHint(QFont::TypeWriter);
    return f;
}

// Grid drawing needs the plain advances: no kerning, and no shaping pass where the
// script does not need one (it also makes painting much cheaper).
QFont gridFont(QFont f) {
    f.setKerning(false);
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

std::u16string_view unitsOf(const QString& s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

QString viewOf(const char16_t* p, std::size_t n) {
    return QString::fromRawData(reinterpret_cast<const QChar*>(p), static_cast<qsizetype>(n));
}

// The scroll bar's range changes with every line received, but with many rows its look
// (slider position and length, arrows at an end) rarely does; painting it is costly in
// most styles, so it repaints only when its look changed.
class LazyScrollBar : public QScrollBar {
  public:
    using QScrollBar::QScrollBar;

    // Range and value change one after the other; in between, the bar following the
    // end looks as if it had left it. Between hold() and release() only the look at
    // release counts.
    void hold() { held_ = true; }
    void release() {
        held_ = false;
        if (changed_) {
            changed_ = false;
            if (look() != painted_) {
                update();
            }
        }
    }

  protected:
    void sliderChange(SliderChange change) override {
        if (change == SliderRangeChange || change == SliderValueChange) {
            if (held_) {
                changed_ = true;
                return;
            }
            if (look() == painted_) {
                return;
            }
        }
        QScrollBar::sliderChange(change);
    }
    void paintEvent(QPaintEvent* event) override {
        painted_ = look();
        QScrollBar::paintEvent(event);
    }

  private:
    struct Look {
        QRect slider;
        bool atMin = false;
        bool atMax = false;
        bool operator==(const Look&) const = default;
    };
    Look look() const {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        return {
            style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum()};
    }
    Look painted_;
    bool held_ = false;
    bool changed_ = false;
};

// Holds a view's scroll bar look for the life of a scope.
class LookHold {
  public:
    explicit LookHold(QScrollBar* bar) : bar_(dynamic_cast<LazyScrollBar*>(bar)) {
        if (bar_) {
            bar_->hold();
        }
    }
    ~LookHold() {
        if (bar_) {
            bar_->release();
        }
    }
    LookHold(const LookHold&) = delete;
    LookHold& operator=(const LookHold&) = delete;

  private:
    LazyScrollBar* bar_;
};

}  // namespace

ReceiveView::ReceiveView(QWidget* parent)
    : QAbstractScrollArea(parent),
      cells_(gridFont(defaultFont())),
      text_(cells_),
      menuCopy_(QStringLiteral("Copy")),
      menuSelectAll_(QStringLiteral("Select All")),
      menuClear_(QStringLiteral("Clear")) {
    setVerticalScrollBar(new LazyScrollBar(Qt::Vertical, this));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    // paintEvent fills its whole rectangle: no background fill before it.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(defaultFont());

    const int flash = QApplication::cursorFlashTime();
    blink_.setInterval(flash > 0 ? flash / 2 : 500);
    connect(&blink_, &QTimer::timeout, this, [this] {
        caretOn_ = !caretOn_;
        viewport()->update(caretRect().adjusted(-1, 0, 1, 0));
    });
    dragScroll_.setInterval(50);
    connect(&dragScroll_, &QTimer::timeout, this, &ReceiveView::dragTick);
    holdTimer_.setSingleShot(true);
    connect(&holdTimer_, &QTimer::timeout, this, &ReceiveView::showHeld);
}

ReceiveView::~ReceiveView() = default;

// ---- content ---------------------------------------------------------------

void ReceiveView::appendBytes(QByteArrayView bytes) {
    if (bytes.isEmpty()) {
        return;
    }
    if (holdMs_ > 0) {
        if (holdTimer_.isActive()) {
            keep(bytes);
            return;
        }
        const qint64 since = lastShown_.isValid() ? lastShown_.elapsed() : holdMs_;
        if (since < holdMs_) {
            keep(bytes);
            holdTimer_.start(static_cast<int>(holdMs_ - since));
            return;
        }
        lastShown_.start();
    }
    appendUnits(decoder_.decode(bytes));
}

void ReceiveView::setAppendHoldMs(int ms) {
    holdMs_ = std::max(ms, 0);
    if (holdMs_ == 0) {
        settle();
    }
}

// A flood keeps megabytes per period: they are laid out piece by piece as they come,
// so that showing them is quick and the event loop never waits for one large piece.
// Only the scroll bar and the paint wait for the period to end.
void ReceiveView::keep(QByteArrayView bytes) {
    constexpr qsizetype kLayOutAbove = 64 * 1024;
    held_.append(bytes);
    if (held_.size() >= kLayOutAbove) {
        layOutHeld();
    }
}

void ReceiveView::layOutHeld() {
    if (held_.isEmpty()) {
        return;
    }
    QByteArray bytes;
    bytes.swap(held_);
    if (!laidOut_) {
        laidOutFollow_ = atEndNow();
    }
    if (addUnits(decoder_.decode(bytes))) {
        laidOut_ = true;
    }
}

void ReceiveView::showHeld() {
    holdTimer_.stop();
    layOutHeld();
    if (!laidOut_) {
        return;
    }
    laidOut_ = false;
    lastShown_.start();
    showAdded(laidOutFollow_);
}

void ReceiveView::appendText(const QString& text) {
    settle();
    appendUnits(text);
}

void ReceiveView::appendUnits(QString text) {
    const bool follow = atEndNow();
    if (addUnits(std::move(text))) {
        showAdded(follow);
    }
}

bool ReceiveView::addUnits(QString text) {
    // Decoded text is owned here alone, so CRs go in place.
    text.remove(u'\r');
    if (text.isEmpty()) {
        return false;
    }
    const bool keepSelection = anchor_ != caret_;
    text_.append(unitsOf(text));
    if (!keepSelection) {
        anchor_ = caret_ = text_.size();
    }
    return true;
}

void ReceiveView::showAdded(bool follow) {
    const LookHold hold(verticalScrollBar());
    updateScrollBar();
    if (follow) {
        scrollToEnd();
    }
    viewport()->update();
}

void ReceiveView::setPlainText(const QString& text) {
    // Kept bytes are older than the new text, which replaces them too.
    held_.clear();
    laidOut_ = false;
    holdTimer_.stop();
    decoder_.reset();
    text_.setText(unitsOf(text), u'\r');
    anchor_ = caret_ = text_.size();
    const LookHold hold(verticalScrollBar());
    updateScrollBar();
    scrollToEnd();
    viewport()->update();
}

void ReceiveView::reserve(qsizetype units) {
    text_.reserve(static_cast<std::size_t>(std::max<qsizetype>(units, 0)));
}

void ReceiveView::clear() {
    setPlainText(QString());
}

QString ReceiveView::toPlainText() const {
    settle();
    const auto& t = text_.text();
    return QString(reinterpret_cast<const QChar*>(t.data()), static_cast<qsizetype>(t.size()));
}

qsizetype ReceiveView::documentLength() const {
    settle();
    return static_cast<qsizetype>(text_.size());
}

void ReceiveView::setCaretPosition(qsizetype pos) {
    settle();
    moveCaret(std::min(static_cast<std::size_t>(std::max<qsizetype>(pos, 0)), text_.size()), false);
}

void ReceiveView::select(qsizetype anchor, qsizetype caret) {
    settle();
    const auto clampPos = [this](qsizetype p) {
        return std::min(static_cast<std::size_t>(std::max<qsizetype>(p, 0)), text_.size());
    };
    anchor_ = clampPos(anchor);
    moveCaret(clampPos(caret), true);
}

void ReceiveView::selectAll() {
    settle();
    anchor_ = 0;
    caret_ = text_.size();
    restartBlink();
    viewport()->update();
}

QString ReceiveView::selectedText() const {
    settle();
    const std::size_t a = std::min(anchor_, caret_);
    const std::size_t b = std::max(anchor_, caret_);
    return QString(reinterpret_cast<const QChar*>(text_.text().data() + a),
                   static_cast<qsizetype>(b - a));
}

void ReceiveView::copy() const {
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

void ReceiveView::insertAtCaret(const QString& text) {
    settle();
    QString t = text;
    t.remove(u'\r');
    replaceSelection(unitsOf(t));
}

void ReceiveView::replaceSelection(std::u16string_view units) {
    const std::size_t a = std::min(anchor_, caret_);
    const std::size_t b = std::max(anchor_, caret_);
    if (a == b && units.empty())
        return;
    text_.splice(a, b - a, units);
    anchor_ = caret_ = a + units.size();
    updateScrollBar();
    ensureCaretVisible();
    restartBlink();
    viewport()->update();
}

void ReceiveView::deleteBackward() {
    if (hasSelection() || caret_ == 0) {
        replaceSelection({});
        return;
    }
    const auto& t = text_.text();
    const std::size_t n = (caret_ >= 2 && QChar::isLowSurrogate(t[caret_ - 1]) &&
                           QChar::isHighSurrogate(t[caret_ - 2]))
                              ? 2
                              : 1;
    anchor_ = caret_ - n;
    replaceSelection({});
}

void ReceiveView::deleteForward() {
    if (hasSelection() || caret_ >= text_.size()) {
        replaceSelection({});
        return;
    }
    const auto& t = text_.text();
    const std::size_t n = (caret_ + 1 < t.size() && QChar::isHighSurrogate(t[caret_]) &&
                           QChar::isLowSurrogate(t[caret_ + 1]))
                              ? 2
                              : 1;
    anchor_ = caret_ + n;
    replaceSelection({});
}

// ---- layout and scrolling --------------------------------------------------

int ReceiveView::firstVisibleRow() const {
    settle();
    return verticalScrollBar()->value();
}

int ReceiveView::visibleRowCount() const {
    return std::max(1, viewport()->height() / cells_.lineHeight());
}

bool ReceiveView::isAtEnd() const {
    settle();
    return atEndNow();
}

bool ReceiveView::atEndNow() const {
    const QScrollBar* sb = verticalScrollBar();
    return sb->value() >= sb->maximum();
}

void ReceiveView::scrollToEnd() {
    settle();
    QScrollBar* sb = verticalScrollBar();
    sb->setValue(sb->maximum());
}

void ReceiveView::updateScrollBar() {
    const int visible = visibleRowCount();
    QScrollBar* sb = verticalScrollBar();
    sb->setRange(0, std::max(0, rowCount() - visible));
    sb->setPageStep(visible);
    sb->setSingleStep(1);
}

void ReceiveView::updateColumns() {
    const qreal usable = viewport()->width() - 2 * kMargin;
    const int columns = std::max(WrappedText::kMinColumns,
                                 static_cast<int>(std::floor(usable / cells_.cellWidth())));
    const bool follow = isAtEnd();
    const std::size_t top = text_.rowStart(static_cast<std::size_t>(firstVisibleRow()));
    text_.setColumns(columns);
    const LookHold hold(verticalScrollBar());
    updateScrollBar();
    if (follow)
        scrollToEnd();
    else
        verticalScrollBar()->setValue(static_cast<int>(text_.rowOf(top)));
    viewport()->update();
}

void ReceiveView::applyFont() {
    cells_.setFont(gridFont(ReceiveFontFor(font())));
    asciiReady_ = false;
    text_.relayout();
    updateColumns();
    updateGeometry();
}

void ReceiveView::ensureCaretVisible() {
    const int row = static_cast<int>(text_.rowOf(caret_));
    const int first = firstVisibleRow();
    const int visible = visibleRowCount();
    if (row < first)
        verticalScrollBar()->setValue(row);
    else if (row >= first + visible)
        verticalScrollBar()->setValue(row - visible + 1);
}

void ReceiveView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateColumns();
}

void ReceiveView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyFont();
}

void ReceiveView::scrollContentsBy(int, int) {
    viewport()->update();
}

QSize ReceiveView::sizeHint() const {
    const int w = static_cast<int>(std::ceil(cells_.cellWidth() * 80)) + 2 * kMargin;
    return {w + verticalScrollBar()->sizeHint().width() + 2 * frameWidth(),
            cells_.lineHeight() * 25 + 2 * frameWidth()};
}

void ReceiveView::setMenuTexts(const QString& copy, const QString& selectAll,
                               const QString& clear) {
    menuCopy_ = copy;
    menuSelectAll_ = selectAll;
    menuClear_ = clear;
}

// ---- geometry --------------------------------------------------------------

qreal ReceiveView::cellX(int col) const {
    return kMargin + col * cells_.cellWidth();
}

int ReceiveView::columnOf(std::size_t offset) const {
    const std::size_t row = text_.rowOf(offset);
    const char16_t* t = text_.text().data();
    int col = 0;
    for (std::size_t i = text_.rowStart(row); i < offset; ++i)
        col += text_.cellsAt(t[i], col);
    return col;
}

std::size_t ReceiveView::offsetAt(std::size_t row, qreal x) const {
    const std::size_t s = text_.rowStart(row);
    const std::size_t e = text_.rowEnd(row);
    const char16_t* t = text_.text().data();
    const qreal target = (x - kMargin) / cells_.cellWidth();
    int col = 0;
    for (std::size_t i = s; i < e; ++i) {
        const int w = text_.cellsAt(t[i], col);
        if (w > 0 && target < col + w / 2.0)
            return i;
        col += w;
    }
    return e;
}

std::size_t ReceiveView::offsetAt(const QPoint& pos) const {
    const int lh = cells_.lineHeight();
    const int dy = pos.y() >= 0 ? pos.y() / lh : (pos.y() - lh + 1) / lh;
    const int row = std::clamp(firstVisibleRow() + dy, 0, rowCount() - 1);
    return offsetAt(static_cast<std::size_t>(row), pos.x());
}

QRect ReceiveView::caretRectAt(qsizetype offset) const {
    settle();
    const auto pos =
        std::min(static_cast<std::size_t>(std::max<qsizetype>(offset, 0)), text_.size());
    const int row = static_cast<int>(text_.rowOf(pos)) - firstVisibleRow();
    if (row < 0 || row > visibleRowCount())
        return {};
    const int x = static_cast<int>(std::floor(cellX(columnOf(pos))));
    return {x, row * cells_.lineHeight(), 1, cells_.lineHeight()};
}

// ---- painting --------------------------------------------------------------

// Whatever reaches the view (input, resize, font, paint) sees the kept bytes shown.
bool ReceiveView::event(QEvent* event) {
    settle();
    return QAbstractScrollArea::event(event);
}

bool ReceiveView::viewportEvent(QEvent* event) {
    settle();
    return QAbstractScrollArea::viewportEvent(event);
}

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
    int y = 0;
    for (auto row = static_cast<std::size_t>(firstVisibleRow()); row < rows && y <= bottom;
         ++row, y += lh) {
        if (y + lh > top)
            paintRow(p, row, y, a, b);
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
    };
    QVarLengthArray<Run, 32> runs;
    const std::size_t s = text_.rowStart(row);
    const std::size_t e = text_.rowEnd(row);
    const char16_t* t = text_.text().data();
    int col = 0;
    int selFrom = -1;
    int selTo = -1;
    for (std::size_t i = s; i < e; ++i) {
        const char16_t c = t[i];
        const int w = text_.cellsAt(c, col);
        const bool sel = i >= selA && i < selB;
        if (sel) {
            if (selFrom < 0)
                selFrom = col;
            selTo = col + w;
        }
        const bool grid = cells_.onGrid(c);
        if (grid && !runs.isEmpty() && runs.back().grid && runs.back().sel == sel &&
            runs.back().off + runs.back().len == i) {
            ++runs.back().len;
        } else if (grid || (c > 0x20 && c != 0x7F && !QChar::isLowSurrogate(c))) {
            // Off-grid glyphs (a proportional font, fallback fonts, surrogate pairs)
            // are drawn one by one, each in its own cells.
            std::size_t len = 1;
            if (QChar::isHighSurrogate(c) && i + 1 < e && QChar::isLowSurrogate(t[i + 1])) {
                len = 2;
            }
            runs.push_back({i, len, col, w, sel, grid});
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
    if (selFrom >= 0) {
        p.fillRect(QRectF(cellX(selFrom), y, (selTo - selFrom) * cells_.cellWidth(), lh),
                   palette().color(QPalette::Highlight));
    }
    const QColor normal = palette().color(QPalette::Text);
    const QColor selected = palette().color(QPalette::HighlightedText);
    const qreal baseline = y + cells_.ascent();
    for (const Run& r : runs) {
        p.setPen(r.sel ? selected : normal);
        QString piece = viewOf(t + r.off, r.len);
        if (QChar::isSurrogate(piece.front().unicode()) && r.len == 1)
            piece = QString(QChar::ReplacementCharacter);
        if (r.grid && drawAsciiRun(p, t + r.off, r.len, r.col, baseline))
            continue;
        const qreal x = cellX(r.col) + (r.grid ? 0 : cells_.inset(t[r.off], r.cells));
        p.drawText(QPointF(x, baseline), piece);
    }
}

// A run of ASCII characters on the grid is drawn as the font's glyphs placed on their
// cells: the glyphs and places a text draw gives them (each advances by one cell),
// without laying the text out again on every paint. Other runs return false.
bool ReceiveView::drawAsciiRun(QPainter& p, const char16_t* units, std::size_t len, int col,
                               qreal baseline) {
    if (!asciiReady_) {
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
    }
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
    return true;
}

}  // namespace zenta
