#include "datapath/qt/ReceiveView.h"

#include <QApplication>
#include <QClipboard>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTime>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

#include "datapath/text/LineStamper.h"

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

TimeOfDay LocalTimeOfDay() {
    const QTime t = QTime::currentTime();
    return {t.hour(), t.minute(), t.second(), t.msec()};
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
      menuCopyPlain_(QStringLiteral("Copy as plain text")),
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
        // Some seconds after the caret last moved it stays on and stops blinking, so a
        // window left open does no timer work.
        if (caretOn_ && --blinksLeft_ <= 0)
            blink_.stop();
        viewport()->update(caretRect().adjusted(-1, 0, 1, 0));
    });
    dragScroll_.setInterval(50);
    connect(&dragScroll_, &QTimer::timeout, this, &ReceiveView::dragTick);
    holdTimer_.setSingleShot(true);
    connect(&holdTimer_, &QTimer::timeout, this, &ReceiveView::showHeld);
}

ReceiveView::~ReceiveView() = default;

// ---- content ---------------------------------------------------------------

void ReceiveView::appendReceived(QByteArrayView display, qsizetype headerBytes, bool hexDisplay) {
    if (display.isEmpty()) {
        return;
    }
    // A flood keeps megabytes per period: they are converted and laid out piece by
    // piece as they come, so that showing them is quick and the event loop never waits
    // for one large piece. Only the scroll bar and the paint wait for the period to end.
    constexpr std::size_t kLayOutAbove = 64 * 1024;
    if (holdMs_ > 0) {
        // Deliveries held for a period themselves come a little early or late: within a
        // quarter of the period they are shown at once rather than with a wake of their own.
        const qint64 period = appendPeriodMs();
        const qint64 due = period - period / 4;
        const qint64 since = lastShown_.isValid() ? lastShown_.elapsed() : period;
        if (holdTimer_.isActive() || since < due) {
            convert(display, headerBytes, hexDisplay);
            if (pending_.size() >= kLayOutAbove) {
                layOutHeld();
            }
            if (!holdTimer_.isActive()) {
                holdTimer_.start(static_cast<int>(period - since));
            }
            return;
        }
        lastShown_.start();
    }
    settle();
    const bool follow = atEndNow();
    convert(display, headerBytes, hexDisplay);
    // A line edit lays out what came before it.
    const bool edited = laidOut_;
    laidOut_ = false;
    if (addPending() || edited) {
        showAdded(follow);
        notePace();
    }
}

void ReceiveView::notePace() {
    const std::size_t rows = text_.rowCount();
    const bool racing = rows > rowsShown_ + static_cast<std::size_t>(visibleRowCount());
    rowsShown_ = rows;
    if (racing != racing_) {
        racing_ = racing;
        if (holdMs_ > 0) {
            emit appendPeriodChanged(appendPeriodMs());
        }
    }
}

void ReceiveView::setAppendHoldMs(int ms) {
    holdMs_ = std::max(ms, 0);
    if (holdMs_ == 0) {
        settle();
    }
}

void ReceiveView::setAnsiColours(bool on) {
    ansiOn_ = on;
    term_.reset();
}

void ReceiveView::convert(QByteArrayView display, qsizetype headerBytes, bool hexDisplay) {
    headerBytes = std::clamp<qsizetype>(headerBytes, 0, display.size());
    stampNow_.clear();
    if (headerBytes > 0) {
        // The header has its own time: its line gets no stamp, and it is never
        // part of a colour sequence.
        QString header = decoder_.decode(display.first(headerBytes));
        header.remove(u'\r');
        put(unitsOf(header), TextStyle{});
        if (!header.isEmpty()) {
            lineStart_ = header.back() == u'\n';
        }
    }
    const QByteArrayView rest = display.sliced(headerBytes);
    if (hexDisplay) {
        QString hex = QString::fromLatin1(rest);
        hex.remove(u'\r');
        put(unitsOf(hex), TextStyle{});
        if (!hex.isEmpty()) {
            lineStart_ = hex.back() == u'\n';
        }
        return;
    }
    QString text = decoder_.decode(rest);
    if (!ansiOn_) {
        text.remove(u'\r');
        cells_.learn(unitsOf(text));
        putText(unitsOf(text), {}, TextStyle{});
        return;
    }
    renderText(text);
}

// The window's side of the terminal rendering.
class ReceiveView::Sink : public TermSink {
  public:
    explicit Sink(ReceiveView& view) : v_(view) {}
    void append(std::u16string_view units, const std::vector<StyleMark>& marks,
                const TextStyle& style) override {
        v_.putText(units, marks, style);
    }
    std::u16string_view currentLine() override { return v_.currentLine(); }
    void replace(std::size_t pos, std::size_t removed, std::u16string_view units,
                 const TextStyle& style) override {
        v_.replaceInLine(pos, removed, units, style);
    }
    void bell() override { emit v_.bell(); }

  private:
    ReceiveView& v_;
};

// Text that may go to the end as it is once its CRs are removed: no ESC, BS or BEL, and
// every CR right before an LF. Qt's searches are vectorised: this costs little per chunk.
static bool PlainText(QStringView t, bool* crs) {
    *crs = false;
    if (t.contains(QChar(0x1B)) || t.contains(QChar(0x08)) || t.contains(QChar(0x07))) {
        return false;
    }
    for (qsizetype cr = t.indexOf(u'\r'); cr >= 0; cr = t.indexOf(u'\r', cr + 1)) {
        if (cr + 1 >= t.size() || t[cr + 1] != u'\n') {
            return false;
        }
        *crs = true;
    }
    return true;
}

void ReceiveView::renderText(QString& text) {
    cells_.learn(unitsOf(text));
    bool crs = false;
    // Most text is whole lines written at the end: it goes in without a copy through
    // the parser, its CR LF line ends as LF.
    if (term_.ready() && PlainText(text, &crs)) {
        if (crs) {
            text.remove(u'\r');
        }
        putText(unitsOf(text), {}, ansi_.style());
        if (!text.isEmpty()) {
            ansi_.MarkShown();
            if (text.lastIndexOf(u'\n') >= 0) {
                term_.line().newLine();
            }
        }
        return;
    }
    Sink sink(*this);
    term_.feed(unitsOf(text), sink);
}

std::u16string_view ReceiveView::currentLine() {
    layOutHeld();
    const std::u16string& t = text_.text();
    std::size_t start = text_.lineStart(text_.lineCount() - 1);
    while (start < t.size() && styles_.at(start).has(TextStyle::Stamp)) {
        ++start;
    }
    return std::u16string_view(t).substr(start);
}

void ReceiveView::replaceInLine(std::size_t pos, std::size_t removed, std::u16string_view units,
                                const TextStyle& style) {
    const std::size_t at = text_.size() - currentLine().size() + pos;
    if (!laidOut_) {
        laidOutFollow_ = atEndNow();
        laidOut_ = true;
    }
    text_.splice(at, removed, units);
    styles_.splice(at, removed, units.size(), style);
    pendingStyle_ = styles_.at(text_.size());
    // A selection keeps its place unless the edit took its text away.
    const std::size_t n = text_.size();
    if (anchor_ == caret_) {
        anchor_ = caret_ = n;
    } else {
        anchor_ = std::min(anchor_, n);
        caret_ = std::min(caret_, n);
    }
}

void ReceiveView::put(std::u16string_view units, const TextStyle& style) {
    if (units.empty()) {
        return;
    }
    if (!(style == pendingStyle_)) {
        if (!pendingMarks_.empty() && pendingMarks_.back().offset == pending_.size()) {
            pendingMarks_.back().style = style;
        } else {
            pendingMarks_.push_back({pending_.size(), style});
        }
        pendingStyle_ = style;
    }
    pending_.append(units);
}

// Visible received text with its style marks; a line's stamp goes in front of its
// first unit.
void ReceiveView::putText(std::u16string_view visible, const std::vector<StyleMark>& marks,
                          TextStyle style) {
    std::size_t m = 0;
    std::size_t i = 0;
    const std::size_t n = visible.size();
    while (i < n) {
        while (m < marks.size() && marks[m].offset <= i) {
            style = marks[m++].style;
        }
        const std::size_t end = m < marks.size() ? marks[m].offset : n;
        if (!stamps_ && i < end) {
            put(visible.substr(i, end - i), style);
            lineStart_ = visible[end - 1] == u'\n';
            i = end;
        }
        while (i < end) {
            if (lineStart_ && stamps_) {
                if (stampNow_.empty()) {
                    const std::string s = FormatStamp(clock_ ? clock_() : LocalTimeOfDay());
                    stampNow_.assign(s.begin(), s.end());
                }
                TextStyle stamp;
                stamp.fg = TextStyle::kSet | 0x808080;
                stamp.flags = TextStyle::Stamp;
                put(stampNow_, stamp);
            }
            const std::size_t lf = visible.find(u'\n', i);
            const std::size_t stop = lf == std::u16string_view::npos || lf >= end ? end : lf + 1;
            put(visible.substr(i, stop - i), style);
            lineStart_ = visible[stop - 1] == u'\n';
            i = stop;
        }
    }
}

void ReceiveView::layOutHeld() {
    if (pending_.empty()) {
        return;
    }
    if (!laidOut_) {
        laidOutFollow_ = atEndNow();
    }
    if (addPending()) {
        laidOut_ = true;
    }
}

bool ReceiveView::addPending() {
    if (pending_.empty()) {
        pendingMarks_.clear();
        return false;
    }
    const std::size_t base = text_.size();
    const bool keepSelection = anchor_ != caret_;
    text_.append(pending_);
    for (const StyleMark& m : pendingMarks_) {
        styles_.setFrom(base + m.offset, m.style);
    }
    pending_.clear();
    pendingMarks_.clear();
    if (!keepSelection) {
        anchor_ = caret_ = text_.size();
    }
    return true;
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
    notePace();
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

// Messages of the program itself: plain, and not taken for received text.
bool ReceiveView::addUnits(QString text) {
    text.remove(u'\r');
    if (text.isEmpty()) {
        return false;
    }
    const TextStyle received = pendingStyle_;
    put(unitsOf(text), TextStyle{});
    pendingStyle_ = received;  // received text goes on in its own style
    pendingMarks_.push_back({pending_.size(), received});
    lineStart_ = text.back() == u'\n';
    // Received text goes on after the message, not over it.
    term_.line().newLine();
    return addPending();
}

void ReceiveView::showAdded(bool follow) {
    const LookHold hold(verticalScrollBar());
    updateScrollBar();
    if (follow) {
        scrollToEnd();
    }
    viewport()->update();
}

void ReceiveView::setUnits(std::u16string_view units, bool parse) {
    // Kept text is older than the new text, which replaces it too.
    pending_.clear();
    pendingMarks_.clear();
    laidOut_ = false;
    holdTimer_.stop();
    term_.reset();
    styles_.clear();
    bool crs = false;
    const QStringView all(units.data(), static_cast<qsizetype>(units.size()));
    if (parse && ansiOn_ && !PlainText(all, &crs)) {
        // Line edits in it: rendered as they were when the bytes came, without stamps
        // of the time now.
        text_.setText({});
        pendingStyle_ = TextStyle{};
        lineStart_ = true;
        const bool stamps = stamps_;
        stamps_ = false;
        cells_.learn(units);
        Sink sink(*this);
        term_.feed(units, sink);
        stamps_ = stamps;
        addPending();
        laidOut_ = false;
    } else if (parse && ansiOn_) {
        std::u16string visible;
        std::vector<StyleMark> marks;
        ansi_.Feed(units, visible, marks);
        text_.setText(visible, u'\r');
        for (const StyleMark& m : marks) {
            styles_.setFrom(m.offset, m.style);
        }
    } else {
        text_.setText(units, u'\r');
    }
    pendingStyle_ = styles_.at(text_.size());
    rowsShown_ = text_.rowCount();
    lineStart_ = text_.size() == 0 || text_.text().back() == u'\n';
    anchor_ = caret_ = text_.size();
    const LookHold hold(verticalScrollBar());
    updateScrollBar();
    scrollToEnd();
    viewport()->update();
}

void ReceiveView::setPlainText(const QString& text) {
    QString t = text;
    t.remove(u'\r');
    decoder_.reset();
    setUnits(unitsOf(t), true);
}

void ReceiveView::setReceivedText(QByteArrayView windowText, bool hexDisplay) {
    // An incomplete character at the end stays in the decoder: the next bytes
    // complete it as they would have without the switch.
    decoder_.reset();
    const QString t = hexDisplay ? QString::fromLatin1(windowText) : decoder_.decode(windowText);
    setUnits(unitsOf(t), !hexDisplay);
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

QString ReceiveView::selectedPlainText() const {
    settle();
    const std::size_t a = std::min(anchor_, caret_);
    const std::size_t b = std::max(anchor_, caret_);
    const auto& marks = styles_.marks();
    QString out;
    std::size_t from = a;
    TextStyle style = styles_.at(a);
    for (std::size_t k = styles_.nextAfter(a); from < b;) {
        const std::size_t to = k < marks.size() ? std::min(marks[k].offset, b) : b;
        if (!style.has(TextStyle::Stamp)) {
            out.append(viewOf(text_.text().data() + from, to - from));
        }
        from = to;
        if (k < marks.size()) {
            style = marks[k++].style;
        }
    }
    return out;
}

void ReceiveView::copyPlain() const {
    if (hasSelection())
        QApplication::clipboard()->setText(selectedPlainText());
}

TextStyle ReceiveView::styleAt(qsizetype offset) const {
    settle();
    return styles_.at(static_cast<std::size_t>(std::max<qsizetype>(offset, 0)));
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
    styles_.splice(a, b - a, units.size());
    term_.line().forget();
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

void ReceiveView::setMenuTexts(const QString& copy, const QString& copyPlain,
                               const QString& selectAll, const QString& clear) {
    menuCopyPlain_ = copyPlain;
    setMenuTexts(copy, selectAll, clear);
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

// Whatever reaches the view (input, resize, font, paint) sees the kept bytes shown.
bool ReceiveView::event(QEvent* event) {
    settle();
    // In character mode keys belong to the device, not to the window's shortcuts, except
    // the Ctrl+Shift ones.
    if (charMode_ && event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const auto mods = key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
        if (mods != (Qt::ControlModifier | Qt::ShiftModifier)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool ReceiveView::focusNextPrevChild(bool next) {
    // Tab is a key of the device's shell in character mode.
    return charMode_ ? false : QAbstractScrollArea::focusNextPrevChild(next);
}

bool ReceiveView::viewportEvent(QEvent* event) {
    settle();
    return QAbstractScrollArea::viewportEvent(event);
}

}  // namespace zenta
