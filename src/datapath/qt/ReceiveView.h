#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QImage>
#include <QRawFont>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datapath/PacketHeader.h"
#include "datapath/qt/CellAtlas.h"
#include "datapath/qt/FontCells.h"
#include "datapath/qt/TextStream.h"
#include "datapath/qt/WrappedText.h"
#include "datapath/text/AnsiParser.h"
#include "datapath/text/Highlight.h"
#include "datapath/text/StyleRuns.h"
#include "datapath/text/TermRender.h"

class QMenu;

namespace zenta {

// The receive window: a large, editable, word-wrapping text view that stays fast with
// many megabytes in one line. Lines end at LF; CR is never stored. Only the visible
// rows are painted, on a monospace cell grid (ASCII one cell, CJK two).
//
// Appending moves the caret to the end (unless the user holds a selection), but the
// view scrolls along only while it was showing the end: a user who scrolled up to
// read is not pulled down.
//
// Received text is decoded in the chosen code page; colour sequences in it colour the
// text after them (other escape sequences are hidden), and lines may start with the
// time their first byte came. Colours and stamps are never part of the plain text.
class ReceiveView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit ReceiveView(QWidget* parent = nullptr);
    ~ReceiveView() override;

    // Received text bytes in the chosen code page; a character or an escape sequence
    // split across calls is completed by the next call.
    void appendBytes(QByteArrayView bytes) { appendReceived(bytes, 0, false); }
    // What the receive state made of a chunk: its first `headerBytes` bytes are the
    // packet header (never stamped); the rest is text, or HEX text (shown as it is).
    void appendReceived(QByteArrayView display, qsizetype headerBytes, bool hexDisplay);
    // Replaces everything with the window text of a display mode (HEX switch, trim).
    void setReceivedText(QByteArrayView windowText, bool hexDisplay);

    // Code page of received text (GB18030 by default). Takes effect with the next
    // bytes; the owner shows the text again with setReceivedText.
    void setEncoding(TextEncoding encoding) { decoder_.setEncoding(encoding); }
    TextEncoding encoding() const { return decoder_.encoding(); }
    // Colour sequences shown as colours (default), or their bytes as they are.
    void setAnsiColours(bool on);
    bool ansiColours() const { return ansiOn_; }
    // Character mode: every key goes to keyTyped at once as the bytes a terminal sends
    // (arrows and function keys as escape sequences, Tab and Ctrl+letters included) and
    // the view never edits its text; copy, paste and find move to Ctrl+Shift+C/V/F.
    void setCharacterMode(bool on) { charMode_ = on; }
    bool characterMode() const { return charMode_; }
    // A CR that no LF follows starts a new line (devices that end lines with CR only).
    // Otherwise a bare CR goes back to the line start, as on a terminal. Takes effect
    // with the next bytes.
    void setCrNewLine(bool on) { term_.setCrNewLine(on); }
    bool crNewLine() const { return term_.crNewLine(); }
    // The screen width devices draw for (80 by default; 0: unlimited): a bare CR returns
    // to the start of the row the cursor is in, as on such a screen.
    void setTerminalColumns(int columns) { term_.line().setRowWidth(columns); }
    // A time stamp "[hh:mm:ss.mmm] " in front of every received line of text (off by
    // default); the clock gives the local time (tests set their own).
    void setTimeStamps(bool on) { stamps_ = on; }
    bool timeStamps() const { return stamps_; }
    void setStampClock(std::function<TimeOfDay()> clock) { clock_ = std::move(clock); }
    // Appends of bytes that follow a shown one within `ms` are kept and shown together
    // when that time is up: a fast stream then re-wraps, scrolls and paints once per
    // period instead of once per append. 0 (the default) shows every append at once.
    // Any other use of the view shows the kept bytes first, so nothing is reordered.
    // While each showing brings more than a page of new rows (text too fast to read),
    // the period doubles, and halves again once the stream slows down.
    void setAppendHoldMs(int ms);
    int appendHoldMs() const { return holdMs_; }
    // The period in force: the base one, or twice it while text races past.
    int appendPeriodMs() const { return racing_ ? 2 * holdMs_ : holdMs_; }
    void appendText(const QString& text);
    // Replaces everything; the caret and the view go to the end.
    void setPlainText(const QString& text);
    void clear();
    // Room for this many characters, taken at once: a window that is trimmed at a known
    // size then never copies its text to grow, and untouched room costs no memory.
    void reserve(qsizetype units);
    // Text with LF line breaks (builds a copy: O(n)).
    QString toPlainText() const;
    // Characters (UTF-16 units) held, LFs included.
    qsizetype documentLength() const;

    qsizetype caretPosition() const {
        settle();
        return static_cast<qsizetype>(caret_);
    }
    void setCaretPosition(qsizetype pos);
    // Selects [min, max) of the two offsets; the caret goes to `caret`.
    void select(qsizetype anchor, qsizetype caret);
    void selectAll();
    bool hasSelection() const {
        settle();
        return anchor_ != caret_;
    }
    QString selectedText() const;
    // The selection without its time stamps.
    QString selectedPlainText() const;
    void copy() const;
    // Copies the selection without time stamps (and without colours).
    void copyPlain() const;
    // Style in force at a text offset (for checks and copying).
    TextStyle styleAt(qsizetype offset) const;
    // Inserts at the caret, replacing the selection, as typing does.
    void insertAtCaret(const QString& text);

    // Where the caret would stand at `offset`, in viewport coordinates; empty when
    // that row is scrolled out of view.
    QRect caretRectAt(qsizetype offset) const;

    // The kept text as laid out, read in place by find, highlight and filter.
    const std::u16string& keptText() const {
        settle();
        return text_.text();
    }
    // Colours drawn over the text without changing it (find matches, highlight rules):
    // asked at each paint for the spans touching the range [from, to) of the text shown.
    using Decorator = std::function<void(std::u16string_view text, std::size_t from, std::size_t to,
                                         std::vector<HighlightSpan>& out)>;
    void setDecorator(Decorator decorator);

    int columnCount() const { return text_.columns(); }
    int rowCount() const {
        settle();
        return static_cast<int>(text_.rowCount());
    }
    int lineCount() const {
        settle();
        return static_cast<int>(text_.lineCount());
    }
    int firstVisibleRow() const;
    int visibleRowCount() const;
    bool isAtEnd() const;
    void scrollToEnd();

    // Localised texts of the context menu entries.
    void setMenuTexts(const QString& copy, const QString& selectAll, const QString& clear);
    void setMenuTexts(const QString& copy, const QString& copyPlain, const QString& selectAll,
                      const QString& clear);

    QSize sizeHint() const override;
    // What the text is drawn with: font() itself, or its fallback when this machine
    // lacks the named font (font() keeps the name).
    const QFont& drawingFont() const { return cells_.font(); }
    // Rows are put together from characters drawn once and kept (on by default); off,
    // every glyph is drawn on every paint. Both look the same.
    void setCellCache(bool on);

  signals:
    // Every key press that produces a character: Enter is "\r", Backspace "\b",
    // Ctrl+letter its control character, committed input-method text as is. A slot
    // (direct connection) may set *consumed to keep the view from acting on it.
    void keyTyped(int key, const QString& text, bool* consumed);
    // Text pasted (keys, menu); a slot may set *consumed to keep the view from inserting it.
    void pasteTyped(const QString& text, bool* consumed);
    // Ctrl+Shift+F in character mode (Ctrl+F otherwise goes to the window).
    void findRequested();
    // "Clear" chosen in the context menu; without a receiver the view clears itself.
    void clearRequested();
    // appendPeriodMs() changed: a source that holds its data for the view follows it.
    void appendPeriodChanged(int ms);
    // The device sent BEL.
    void bell();

  protected:
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    // Shows the kept bytes, if any. The kept bytes are part of the content, so this
    // is done from const readers too.
    void settle() const {
        if (!pending_.empty() || laidOut_) {
            const_cast<ReceiveView*>(this)->showHeld();
        }
    }
    // Decodes, parses and stamps received bytes into the pending text.
    void convert(QByteArrayView display, qsizetype headerBytes, bool hexDisplay);
    void put(std::u16string_view units, const TextStyle& style);
    void putText(std::u16string_view visible, const std::vector<StyleMark>& marks, TextStyle style);
    // Received text with colour sequences and line edits.
    void renderText(QString& text);
    // The line being written (after its stamp), with kept bytes laid out first.
    std::u16string_view currentLine();
    void replaceInLine(std::size_t pos, std::size_t removed, std::u16string_view units,
                       const TextStyle& style);
    class Sink;
    // Replaces everything with `units` (CR already gone) parsed for colours.
    void setUnits(std::u16string_view units, bool parse);
    void layOutHeld();
    void showHeld();
    // Whether the view shows the end now, kept bytes left as they are.
    bool atEndNow() const;
    void appendUnits(QString text);
    // Adds at the end, moving the caret unless there is a selection; false when there
    // was nothing to add. The scroll bar and the paint follow with showAdded.
    bool addUnits(QString text);
    bool addPending();
    void showAdded(bool follow);
    // After received text was shown: doubles or restores the append period.
    void notePace();
    void replaceSelection(std::u16string_view text);
    void deleteBackward();
    void deleteForward();
    void applyFont();
    void updateColumns();
    void updateScrollBar();
    void ensureCaretVisible();
    void restartBlink();
    bool handleNavigation(QKeyEvent* event);
    // Character mode's keys; true when the key was taken.
    bool terminalKey(QKeyEvent* event);
    void paste();
    void moveCaret(std::size_t pos, bool keepAnchor);
    void paintRow(QPainter& painter, std::size_t row, int y, std::size_t selA, std::size_t selB);
    // The decorator's spans over the visible rows, and the overlay of one row: true when
    // something is drawn over it.
    void collectSpans();
    bool overlayRow(std::size_t row);
    void drawMissingGlyph(QPainter& painter, QPointF at, bool bold);
    // Puts a row together in rowImage_ from kept cells; false when one of its
    // characters must be drawn.
    bool composeRow(std::size_t row, std::size_t selA, std::size_t selB);
    void prepareAscii();
    void drawOver(QPainter& painter, int y);
    bool drawAsciiRun(QPainter& painter, const char16_t* units, std::size_t len, int col,
                      qreal baseline, bool bold);
    void dragTick();

    // Geometry on the cell grid.
    qreal cellX(int col) const;
    int columnOf(std::size_t offset) const;
    std::size_t offsetAt(std::size_t row, qreal x) const;
    std::size_t offsetAt(const QPoint& viewportPos) const;
    QRect caretRect() const { return caretRectAt(static_cast<qsizetype>(caret_)); }
    std::size_t wordStart(std::size_t pos) const;
    std::size_t wordEnd(std::size_t pos) const;

    FontCells cells_;
    WrappedText text_;
    TextStream decoder_;
    // Colour sequences and the cursor of the line being written.
    TermRender term_;
    AnsiParser& ansi_ = term_.parser();
    bool ansiOn_ = true;
    bool charMode_ = false;
    StyleRuns styles_;
    bool stamps_ = false;
    bool lineStart_ = true;
    std::function<TimeOfDay()> clock_;
    // Received text converted but not laid out yet, and its style marks (offsets into
    // it); pendingStyle_ is the style its end has.
    std::u16string pending_;
    std::vector<StyleMark> pendingMarks_;
    TextStyle pendingStyle_;
    std::u16string stampNow_;
    std::size_t anchor_ = 0;
    std::size_t caret_ = 0;
    bool caretOn_ = true;
    bool dragging_ = false;
    QPoint dragPos_;
    QTimer blink_;
    // Blinks left before the caret stays on.
    static constexpr int kBlinks = 10;
    int blinksLeft_ = kBlinks;
    QTimer dragScroll_;
    // The drawing font's glyphs for ASCII, looked up at the first paint after a font
    // change (0: the font lacks it).
    QRawFont asciiFont_;
    std::array<quint32, 128> asciiGlyphs_{};
    bool asciiReady_ = false;
    CellAtlas atlas_;
    bool cellCache_ = true;
    QImage rowImage_;
    // Glyphs of the row in rowImage_ that are drawn over it once it is copied.
    struct DrawOver {
        std::size_t offset;
        int col;
        CellAtlas::Draw how;
        qreal inset;
        QRgb fg;
        bool bold;
    };
    std::vector<DrawOver> drawOver_;
    // Kept text is already in the layout but not yet shown (scroll bar, paint).
    bool laidOut_ = false;
    bool laidOutFollow_ = false;
    QTimer holdTimer_;
    QElapsedTimer lastShown_;
    int holdMs_ = 0;
    // Rows there were when received text was last shown; whether that showing brought
    // more than a page.
    std::size_t rowsShown_ = 0;
    bool racing_ = false;
    Decorator decorator_;
    std::vector<HighlightSpan> spans_;
    SpanOverlay overlay_;
    QString menuCopy_;
    QString menuCopyPlain_;
    QString menuSelectAll_;
    QString menuClear_;
};

}  // namespace zenta
