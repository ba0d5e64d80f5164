#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QInputMethodEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <random>

#include "datapath/ReceiveState.h"
#include "datapath/qt/FontCells.h"
#include "datapath/qt/Gb18030Stream.h"
#include "datapath/qt/ReceiveView.h"
#include "datapath/qt/WrappedText.h"

using zenta::ReceiveView;
using zenta::WrappedText;

namespace {

// Fixed widths so layout checks do not depend on installed fonts.
class TestCells : public zenta::CellWidths {
  protected:
    int measure(char16_t c) const override {
        if (c >= 0xD800 && c < 0xDC00)
            return 2;
        if ((c >= 0xDC00 && c < 0xE000) || c == 0x0301)
            return 0;
        return c >= 0x2E80 ? 2 : 1;
    }
};

QString hexText(int bytes) {
    QString s;
    s.reserve(bytes * 3);
    for (int i = 0; i < bytes; ++i)
        s += QString::asprintf("%02X ", (i * 7) & 0xFF);
    return s;
}

// Middle of the cell holding `offset`, in viewport coordinates.
QPoint pointAt(const ReceiveView& v, qsizetype offset) {
    const QRect r = v.caretRectAt(offset);
    return {r.x() + 2, r.center().y()};
}

}  // namespace

class ReceiveViewTest : public QObject {
    Q_OBJECT

  private slots:
    void decodesGb18030Pieces();
    void windowTextDoesNotDependOnChunking();
    void decodesAsTheConverterDoes();
    void paintsWideCharactersOnTwoCells();
    void asciiRowsLookAsTheirTextDrawn();
    void anyFontDrawsEveryCharacter();
    void wrapsHexLineAtTokenBoundaries();
    void incrementalLayoutMatchesFreshLayout();
    void followsEndOnlyWhenShowingIt();
    void heldAppendsKeepOrderAndShowLater();
    void textTooFastToReadDoublesTheAppendPeriod();
    void scrollBarAtEndRepaintsOnlyWhenItsLookChanges();
    void mouseSelectionCopiesExactText();
    void typingReportsKeysAndEdits();
    void keyboardMovesAndExtendsSelection();
    void inputMethodAndFontChange();
    void clearAndReplaceResetEverything();
    void hugeLineStaysUsable();
};

void ReceiveViewTest::decodesGb18030Pieces() {
    ReceiveView v;
    v.appendBytes(QByteArray("\xCE\xC2\xB6\xC8"));
    QCOMPARE(v.toPlainText(), QStringLiteral("温度"));
    // A character split across pieces is still completed.
    v.appendBytes(QByteArray("=\xCE"));
    v.appendBytes(QByteArray("\xC2\xB6"));
    v.appendBytes(QByteArray("\xC8\r\nA\r\n"));
    QCOMPARE(v.toPlainText(), QStringLiteral("温度=温度\nA\n"));
    QCOMPARE(v.lineCount(), 3);
    QCOMPARE(v.documentLength(), 8);
}

namespace {

// Bytes as a device sends them in text mode: mostly lead bytes, digits and line ends,
// so broken and split double- and four-byte sequences are frequent.
std::string randomDeviceBytes(std::mt19937& rng, std::size_t n) {
    static const std::string kPool = "0123456789\r\n\x00:|A\x7F\x80\xFF";
    std::string s(n, '\0');
    for (char& c : s) {
        const unsigned pick = rng() % 10;
        if (pick < 5) {
            c = static_cast<char>(0x80 + rng() % 0x80);
        } else {
            c = kPool[rng() % kPool.size()];
        }
    }
    return s;
}

// Receive state and window as the receive handler drives them.
QString showInWindow(const std::string& bytes, const std::vector<std::size_t>& cuts) {
    zenta::ReceiveState state;
    ReceiveView view;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const std::size_t to = i < cuts.size() ? cuts[i] : bytes.size();
        zenta::ReceiveInput in;
        in.chunk = std::string_view(bytes).substr(from, to - from);
        const zenta::ReceiveOutput out = state.OnChunk(in);
        view.appendBytes(QByteArrayView(out.display.data(), qsizetype(out.display.size())));
        from = to;
    }
    // What the window shows after a HEX display switch must match too.
    const QString whole = zenta::Gb18030Stream::decodeAll(
        QByteArrayView(state.rxTextAll.data(), qsizetype(state.rxTextAll.size())));
    if (whole != view.toPlainText().replace(u'\n', QStringLiteral("\r\n"))) {
        return QStringLiteral("<switch differs>");
    }
    return view.toPlainText();
}

}  // namespace

void ReceiveViewTest::windowTextDoesNotDependOnChunking() {
    // The device writes "7:" B0 30, pauses, "1", pauses, "23|".
    QCOMPARE(showInWindow("7:\xB0"
                          "0123|",
                          {4, 5}),
             QStringLiteral("7:\uFFFD0123|"));

    std::mt19937 rng(20261207);
    for (int round = 0; round < 300; ++round) {
        const std::string bytes = randomDeviceBytes(rng, 1 + rng() % 200);
        const QString once = showInWindow(bytes, {});
        std::vector<std::size_t> cuts;
        for (std::size_t at = rng() % 5; at < bytes.size(); at += 1 + rng() % 6) {
            cuts.push_back(at);
        }
        QCOMPARE(showInWindow(bytes, cuts), once);
    }
}

void ReceiveViewTest::decodesAsTheConverterDoes() {
    // Every two-byte character, then device-like noise: the same text as the system
    // converter makes of the whole input (a final LF ends any open sequence).
    QByteArray all;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x30; trail <= 0xFF; ++trail) {
            all.append(char(lead)).append(char(trail)).append(' ');
        }
    }
    all.append("\x81\x30\x81\x30\x95\x32\x82\x36\xE3\x32\x9A\x35\x84\x31\xA5\x30\n");
    QStringDecoder converter("GB18030");
    QCOMPARE(zenta::Gb18030Stream::decodeAll(all), converter.decode(all));
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        const std::string noise = randomDeviceBytes(rng, 1 + rng() % 400) + "\n";
        const QByteArray bytes(noise.data(), qsizetype(noise.size()));
        QStringDecoder fresh("GB18030");
        QCOMPARE(zenta::Gb18030Stream::decodeAll(bytes), fresh.decode(bytes));
    }
}

void ReceiveViewTest::paintsWideCharactersOnTwoCells() {
    ReceiveView v;
    v.resize(400, 100);
    v.show();
    v.appendText(QStringLiteral("温度ab"));
    const QImage img = v.viewport()->grab().toImage();
    const QRect glyphRow = v.caretRectAt(0);
    auto inkIn = [&](int x0, int x1) {
        int ink = 0;
        for (int y = glyphRow.top(); y <= glyphRow.bottom(); ++y) {
            for (int x = x0; x < x1; ++x)
                ink += qGray(img.pixel(x, y)) < 128;
        }
        return ink;
    };
    const int x0 = v.caretRectAt(0).x();
    const int x2 = v.caretRectAt(2).x();  // after the two ideographs
    const int x4 = v.caretRectAt(4).x();
    QVERIFY(v.caretRectAt(4).isValid());
    QCOMPARE(x2 - x0, 2 * (x4 - x2));  // an ideograph is two ASCII cells wide
    QVERIFY(inkIn(x0, x0 + (x2 - x0) / 2) > 0);
    QVERIFY(inkIn(x0 + (x2 - x0) / 2, x2) > 0);
    QVERIFY(inkIn(x2, x4) > 0);
    QCOMPARE(inkIn(x4 + 2, img.width()), 0);
}

void ReceiveViewTest::asciiRowsLookAsTheirTextDrawn() {
    // ASCII rows are drawn glyph by glyph on the cell grid: the pixels must be those of
    // the row's text drawn in one piece at the row's start.
    const QStringList lines = {QStringLiteral("0A 1B 2C FF 00 7E 80 "),
                               QStringLiteral("Hello, world! ~{}[]|\\/@#$%^&*()"),
                               QStringLiteral("  two  spaces  "), QStringLiteral("x"),
                               QStringLiteral("il1|WMmw_-=+;:'\",.<>?`")};
    for (const int pixels : {12, 15, 19}) {
        ReceiveView v;
        QFont f = v.font();
        f.setPixelSize(pixels);
        v.setFont(f);
        v.resize(500, 200);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        v.clearFocus();
        v.appendText(lines.join(QStringLiteral("\r\n")));
        QImage shown(v.viewport()->size(), QImage::Format_RGB32);
        v.viewport()->render(&shown);

        QImage expected(shown.size(), QImage::Format_RGB32);
        expected.fill(v.palette().color(QPalette::Base));
        {
            QPainter p(&expected);
            p.setFont(v.drawingFont());
            p.setPen(v.palette().color(QPalette::Text));
            const zenta::FontCells cells(v.drawingFont());
            qsizetype offset = 0;
            for (const QString& line : lines) {
                const QRect at = v.caretRectAt(offset);
                p.drawText(QPointF(at.x(), at.y() + cells.ascent()), line);
                offset += line.size() + 1;
            }
        }
        QCOMPARE(shown, expected);
    }
}

void ReceiveViewTest::anyFontDrawsEveryCharacter() {
    // A proportional font, a name this machine lacks, and the name a settings file
    // written on Windows carries.
    for (const QString& family : {QStringLiteral("DejaVu Sans"), QStringLiteral("No Such Font 7"),
                                  QStringLiteral("宋体")}) {
        ReceiveView v;
        v.resize(400, 120);
        QFont f(family);
        f.setPixelSize(12);
        v.setFont(f);
        v.show();
        QCOMPARE(v.font().family(), family);
        if (family != QStringLiteral("DejaVu Sans")) {
            const QFontMetricsF m(v.drawingFont());
            QCOMPARE(m.horizontalAdvance(u'i'), m.horizontalAdvance(u'W'));
            QVERIFY(QFontMetrics(v.drawingFont()).inFontUcs4(0x554A));
        }
        const QString line = QStringLiteral("N88=,il|W@");
        v.appendText(line + QStringLiteral("\n") + line + QStringLiteral("啊"));
        const QImage img = v.viewport()->grab().toImage();
        auto inkIn = [&](const QRect& r) {
            int ink = 0;
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x) {
                    ink += qGray(img.pixel(x, y)) < 200;
                }
            }
            return ink;
        };
        for (qsizetype row = 0; row < 2; ++row) {
            const qsizetype start = row * (line.size() + 1);
            for (qsizetype i = 0; i < line.size(); ++i) {
                const QRect a = v.caretRectAt(start + i);
                const QRect b = v.caretRectAt(start + i + 1);
                QVERIFY2(
                    inkIn(QRect(QPoint(a.left(), a.top()), QPoint(b.left() - 1, a.bottom()))) > 0,
                    qPrintable(family + QStringLiteral(": ") + line[i]));
            }
        }
        // The ideograph ends the second row and keeps clear of the first.
        const QRect cjk = v.caretRectAt(2 * line.size() + 1);
        QVERIFY(inkIn(QRect(cjk.left() + 1, cjk.top(), cjk.height(), cjk.height())) > 0);
        QCOMPARE(v.caretRectAt(line.size() + 1).top(), v.caretRectAt(0).bottom() + 1);
    }
}

void ReceiveViewTest::wrapsHexLineAtTokenBoundaries() {
    ReceiveView v;
    v.show();
    v.appendText(hexText(1000));
    for (int width : {600, 331, 157}) {
        v.resize(width, 200);
        v.verticalScrollBar()->setValue(0);
        const int cols = v.columnCount();
        // "XX " tokens never split; a trailing blank may hang past the edge.
        const int perRow = (cols + 1) / 3;
        QCOMPARE(v.rowCount(), (1000 + perRow - 1) / perRow);
        for (int row = 1; row < 3; ++row) {
            const QRect r = v.caretRectAt(row * perRow * 3);
            QVERIFY(r.isValid());
            QCOMPARE(r.x(), v.caretRectAt(0).x());
        }
    }
    // A word longer than the row is cut hard.
    v.setPlainText(QString(v.columnCount() * 2 + 1, u'A'));
    QCOMPARE(v.rowCount(), 3);
}

void ReceiveViewTest::incrementalLayoutMatchesFreshLayout() {
    const std::u16string pieces[] = {u"12 ",
                                     u"AB",
                                     u"hello",
                                     u" ",
                                     u"\t",
                                     u"温度",
                                     u"\n",
                                     u"x",
                                     u"\xD83D\xDE00",
                                     u"e\u0301",
                                     u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"};
    TestCells cells;
    for (int cols : {4, 7, 16, 33}) {
        WrappedText text(cells, cols);
        std::mt19937 rng(static_cast<unsigned>(cols));
        for (int step = 0; step < 1500; ++step) {
            const auto& piece = pieces[rng() % std::size(pieces)];
            const std::size_t size = text.size();
            const unsigned op = rng() % 10;
            if (op < 6 || size == 0) {
                text.append(piece);
            } else if (op < 8) {
                text.splice(rng() % (size + 1), 0, piece);
            } else {
                const std::size_t pos = rng() % size;
                text.splice(pos, rng() % 20, op == 9 ? piece : std::u16string());
            }
            WrappedText fresh(cells, cols);
            fresh.setText(text.text());
            QCOMPARE(text.rowStarts(), fresh.rowStarts());
            QCOMPARE(text.lineCount(), fresh.lineCount());
        }
        // Re-wrapping at another width matches too.
        text.setColumns(cols + 5);
        WrappedText fresh(cells, cols + 5);
        fresh.setText(text.text());
        QCOMPARE(text.rowStarts(), fresh.rowStarts());
    }
    // Wide characters after a long run of ASCII still take two cells each.
    WrappedText mixed(cells, 42);
    mixed.append(std::u16string(40, u'a') + u"温度");
    QCOMPARE(mixed.rowStarts().size(), std::size_t{2});
}

void ReceiveViewTest::followsEndOnlyWhenShowingIt() {
    ReceiveView v;
    v.resize(300, 120);
    v.show();
    QScrollBar* sb = v.verticalScrollBar();
    for (int i = 0; i < 50; ++i)
        v.appendText(QStringLiteral("line %1\r\n").arg(i));
    QVERIFY(sb->maximum() > 0);
    QCOMPARE(sb->value(), sb->maximum());
    QCOMPARE(v.caretPosition(), v.documentLength());

    sb->setValue(3);  // the user scrolls up to read
    v.appendText(QStringLiteral("more\r\n"));
    QCOMPARE(sb->value(), 3);
    QCOMPARE(v.caretPosition(), v.documentLength());

    sb->setValue(sb->maximum());
    v.appendText(QStringLiteral("and more\r\n"));
    QCOMPARE(sb->value(), sb->maximum());
}

void ReceiveViewTest::heldAppendsKeepOrderAndShowLater() {
    ReceiveView v;
    v.resize(300, 120);
    v.show();
    v.setAppendHoldMs(150);
    QScrollBar* sb = v.verticalScrollBar();
    v.appendBytes(QByteArray("line 0\r\n"));  // nothing shown lately: at once
    QCOMPARE(sb->maximum(), 0);
    QString expected = QStringLiteral("line 0\n");
    for (int i = 1; i < 40; ++i) {
        v.appendBytes(QByteArray("line ") + QByteArray::number(i) + "\r\n");
        expected += QStringLiteral("line %1\n").arg(i);
    }
    // Kept: the layout has not grown yet; when the time is up they show by themselves,
    // and the view follows the end as it would have.
    QCOMPARE(sb->maximum(), 0);
    QTRY_VERIFY(sb->maximum() > 0);
    QCOMPARE(sb->value(), sb->maximum());
    QCOMPARE(v.toPlainText(), expected);

    // Kept bytes come before anything written or read after them, a character split
    // between a kept and a later append included.
    v.appendBytes(QByteArray("B1\xCE"));
    v.appendText(QStringLiteral("<T>"));
    v.appendBytes(
        QByteArray("\xC2"
                   "B2"));
    v.appendBytes(QByteArray("B3"));
    expected += QStringLiteral("B1<T>温B2B3");
    QCOMPARE(v.documentLength(), expected.size());
    QCOMPARE(v.toPlainText(), expected);
    v.appendBytes(QByteArray("B4"));
    v.setCaretPosition(0);
    v.insertAtCaret(QStringLiteral(">"));
    QCOMPARE(v.toPlainText(), QStringLiteral(">") + expected + QStringLiteral("B4"));

    // A replacement replaces kept bytes too; a hold of 0 shows what is kept.
    v.appendBytes(QByteArray("gone"));
    v.setPlainText(QStringLiteral("new"));
    QCOMPARE(v.toPlainText(), QStringLiteral("new"));
    v.appendBytes(QByteArray("+1"));
    v.appendBytes(QByteArray("+2"));
    v.setAppendHoldMs(0);
    QCOMPARE(v.toPlainText(), QStringLiteral("new+1+2"));

    // A flood's kept bytes are laid out as they come, and still shown only later.
    ReceiveView w;
    w.resize(300, 120);
    w.show();
    w.setAppendHoldMs(60000);
    w.appendBytes(QByteArray("first\r\n"));
    const QByteArray rows = QByteArray("row\r\n").repeated(5000);
    for (int i = 0; i < 3; ++i)
        w.appendBytes(rows);
    QCOMPARE(w.verticalScrollBar()->maximum(), 0);
    QCOMPARE(w.lineCount(), 15002);
    QVERIFY(w.verticalScrollBar()->maximum() > 0);
    QCOMPARE(w.verticalScrollBar()->value(), w.verticalScrollBar()->maximum());
    QVERIFY(w.toPlainText().endsWith(QStringLiteral("row\nrow\n")));
}

void ReceiveViewTest::textTooFastToReadDoublesTheAppendPeriod() {
    ReceiveView v;
    v.resize(300, 120);
    v.show();
    v.setAppendHoldMs(40);
    QSignalSpy changes(&v, &ReceiveView::appendPeriodChanged);
    QCOMPARE(v.appendPeriodMs(), 40);
    // More than a page of new rows in one showing: the period doubles ...
    v.appendBytes(QByteArray("row\r\n").repeated(50));
    QCOMPARE(v.appendPeriodMs(), 80);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).at(0).toInt(), 80);
    // ... and stays while the text races on; a showing of a few rows restores it.
    v.appendBytes(QByteArray("row\r\n").repeated(50));
    QTRY_COMPARE(v.lineCount(), 101);
    QCOMPARE(v.appendPeriodMs(), 80);
    v.appendBytes(QByteArray("slow\r\n"));
    QTRY_COMPARE(v.appendPeriodMs(), 40);
    QCOMPARE(changes.size(), 2);
    // A replacement starts the count afresh: a long text set at once is not a race.
    v.setPlainText(QString(QStringLiteral("x\n")).repeated(500));
    v.appendBytes(QByteArray("one\r\n"));
    QTRY_VERIFY(v.toPlainText().endsWith(QStringLiteral("one\n")));
    QCOMPARE(v.appendPeriodMs(), 40);
}

namespace {

class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

}  // namespace

void ReceiveViewTest::scrollBarAtEndRepaintsOnlyWhenItsLookChanges() {
    ReceiveView v;
    v.resize(300, 120);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    for (int i = 0; i < 3000; ++i)
        v.appendText(QStringLiteral("line %1\r\n").arg(i));
    QCoreApplication::processEvents();
    PaintCounter counter;
    v.verticalScrollBar()->installEventFilter(&counter);
    // The slider is at its shortest and at the end: more lines do not change its look.
    for (int i = 0; i < 20; ++i) {
        v.appendText(QStringLiteral("more\r\n"));
        QCoreApplication::processEvents();
    }
    QCOMPARE(counter.paints, 0);
    QCOMPARE(v.verticalScrollBar()->value(), v.verticalScrollBar()->maximum());
    // Leaving the end does.
    v.verticalScrollBar()->setValue(0);
    QTRY_VERIFY(counter.paints > 0);
}

void ReceiveViewTest::mouseSelectionCopiesExactText() {
    ReceiveView v;
    v.resize(300, 200);
    v.show();
    const QString first = hexText(60);  // wraps over several rows
    const QString text = first + QStringLiteral("\n温度=21.5\nend");
    v.appendText(text);
    QVERIFY(v.rowCount() >= 4);
    QWidget* vp = v.viewport();

    // Drag from inside the long line, across its wraps and a line break.
    const qsizetype from = 4;
    const qsizetype to = first.size() + 4;  // up to "温度="
    QTest::mousePress(vp, Qt::LeftButton, {}, pointAt(v, from));
    QTest::mouseMove(vp, pointAt(v, to));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, pointAt(v, to));
    QCOMPARE(v.selectedText(), text.mid(from, to - from));
    QTest::keyClick(&v, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), text.mid(from, to - from));

    // Shift-click extends from the same anchor.
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, pointAt(v, text.size() - 1));
    QCOMPARE(v.selectedText(), text.mid(from, text.size() - 1 - from));

    QTest::mouseDClick(vp, Qt::LeftButton, {}, pointAt(v, first.size() + 1));
    QCOMPARE(v.selectedText(), QStringLiteral("温度"));

    QTest::keyClick(&v, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), text);
    QCOMPARE(v.toPlainText(), text);  // copying never edits
}

void ReceiveViewTest::typingReportsKeysAndEdits() {
    ReceiveView v;
    v.appendText(QStringLiteral("rx\r\n"));
    QSignalSpy spy(&v, &ReceiveView::keyTyped);
    QTest::keyClicks(&v, QStringLiteral("ab"));
    QTest::keyClick(&v, Qt::Key_Return);
    QTest::keyClick(&v, Qt::Key_Backspace);
    QTest::keyClick(&v, Qt::Key_Backspace);
    QTest::keyClick(&v, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_Delete);  // edits the view, types nothing
    QTest::keyClick(&v, Qt::Key_End, Qt::ControlModifier);
    QStringList texts;
    for (const auto& args : spy)
        texts << args.at(1).toString();
    QCOMPARE(texts, (QStringList{"a", "b", "\r", "\b", "\b", "\x03"}));
    QCOMPARE(v.toPlainText(), QStringLiteral("x\na"));

    // The owner may take a key for itself.
    connect(&v, &ReceiveView::keyTyped, &v,
            [](int, const QString& t, bool* consumed) { *consumed = t == QLatin1String("x"); });
    QTest::keyClicks(&v, QStringLiteral("xy"));
    QCOMPARE(v.toPlainText(), QStringLiteral("x\nay"));

    // Typing goes to the caret and replaces a selection; a pair goes as one.
    v.setCaretPosition(0);
    QTest::keyClicks(&v, QStringLiteral("r"));
    v.setCaretPosition(1);
    QTest::keyClicks(&v, QStringLiteral("Z"));
    v.select(4, 6);
    v.insertAtCaret(QStringLiteral("\U0001F600"));
    QCOMPARE(v.toPlainText(), QStringLiteral("rZx\n\U0001F600"));
    QTest::keyClick(&v, Qt::Key_Backspace);
    QCOMPARE(v.toPlainText(), QStringLiteral("rZx\n"));
}

void ReceiveViewTest::keyboardMovesAndExtendsSelection() {
    ReceiveView v;
    v.resize(300, 200);
    v.show();
    const int cols = v.columnCount();
    const QString longLine(cols + 10, u'x');  // no blank: breaks hard after `cols`
    const QString text = longLine + QStringLiteral("\nabc");
    v.setPlainText(text);
    const qsizetype abc = longLine.size() + 1;

    v.setCaretPosition(2);
    QTest::keyClick(&v, Qt::Key_Down);
    QCOMPARE(v.caretPosition(), cols + 2);
    QTest::keyClick(&v, Qt::Key_Down);
    QCOMPARE(v.caretPosition(), abc + 2);
    QTest::keyClick(&v, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(v.selectedText(), QStringLiteral("ab"));
    QTest::keyClick(&v, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(v.selectedText(), text.mid(cols, abc + 2 - cols));
    QTest::keyClick(&v, Qt::Key_Left);  // collapses to the selection start
    QVERIFY(!v.hasSelection());
    QCOMPARE(v.caretPosition(), cols);
    QTest::keyClick(&v, Qt::Key_End);
    QCOMPARE(v.caretPosition(), longLine.size());

    QTest::keyClick(&v, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(v.selectedText(), text);
    QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_Delete);
    QCOMPARE(v.toPlainText(), text.mid(1));
}

void ReceiveViewTest::inputMethodAndFontChange() {
    ReceiveView v;
    v.resize(300, 200);
    v.show();
    QSignalSpy spy(&v, &ReceiveView::keyTyped);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("温度"));
    QApplication::sendEvent(&v, &commit);
    QCOMPARE(v.toPlainText(), QStringLiteral("温度"));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("温度"));

    // A larger font re-wraps; the text at the top of the view stays there.
    v.setPlainText(hexText(2000));
    v.verticalScrollBar()->setValue(10);
    const qsizetype top = 10 * ((v.columnCount() + 1) / 3) * 3;
    QVERIFY(v.caretRectAt(top).isValid());
    QCOMPARE(v.caretRectAt(top).top(), 0);
    const int cols = v.columnCount();
    QFont big = v.font();
    big.setPixelSize(24);
    v.setFont(big);
    QVERIFY(v.columnCount() < cols * 2 / 3);
    const int perRow = (v.columnCount() + 1) / 3;
    QCOMPARE(v.rowCount(), (2000 + perRow - 1) / perRow);
    QVERIFY(v.caretRectAt(top).isValid());
    QCOMPARE(v.caretRectAt(top).top(), 0);
}

void ReceiveViewTest::clearAndReplaceResetEverything() {
    ReceiveView v;
    v.resize(300, 100);
    v.show();
    for (int i = 0; i < 40; ++i)
        v.appendText(QStringLiteral("row\r\n"));
    v.select(0, 5);
    v.setPlainText(QStringLiteral("31 32 \r\nx"));
    QCOMPARE(v.toPlainText(), QStringLiteral("31 32 \nx"));
    QCOMPARE(v.lineCount(), 2);
    QVERIFY(!v.hasSelection());
    QCOMPARE(v.caretPosition(), 8);
    QCOMPARE(v.verticalScrollBar()->maximum(), 0);

    v.appendBytes(QByteArray("\xCE"));  // a lead byte waiting for its trail byte
    v.clear();
    v.appendBytes(QByteArray("A"));
    QCOMPARE(v.toPlainText(), QStringLiteral("A"));
    v.clear();
    QCOMPARE(v.documentLength(), 0);
    QCOMPARE(v.rowCount(), 1);
    QCOMPARE(v.caretPosition(), 0);
}

void ReceiveViewTest::hugeLineStaysUsable() {
    ReceiveView v;
    v.resize(640, 400);
    v.show();
    const QString chunk = hexText(4096);
    const int chunks = 1250;  // 5,120,000 bytes shown as 15,360,000 characters
    for (int i = 0; i < chunks; ++i)
        v.appendText(chunk);
    const qsizetype total = qsizetype(chunk.size()) * chunks;
    QCOMPARE(v.documentLength(), total);
    const int perRow = (v.columnCount() + 1) / 3;
    QCOMPARE(v.rowCount(), int((total / 3 + perRow - 1) / perRow));
    QCOMPARE(v.verticalScrollBar()->value(), v.verticalScrollBar()->maximum());

    v.verticalScrollBar()->setValue(v.rowCount() / 2);
    QImage img(v.size(), QImage::Format_RGB32);
    v.render(&img);
    const qsizetype mid = total / 2 / 3 * 3;
    v.select(mid, mid + 9);
    QCOMPARE(v.selectedText(), chunk.mid(mid % chunk.size(), 9));

    v.setCaretPosition(total);
    QTest::keyClick(&v, Qt::Key_Return);
    QTest::keyClicks(&v, QStringLiteral("ok"));
    QCOMPARE(v.lineCount(), 2);
    QCOMPARE(v.toPlainText().right(3), QStringLiteral("\nok"));
}

QTEST_MAIN(ReceiveViewTest)
#include "tst_receive_view.moc"
