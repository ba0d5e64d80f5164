#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include "datapath/qt/FontCoverage.h"
#include "datapath/qt/ReceiveView.h"

using zenta::ReceiveView;

// Rows put together from kept cells must look exactly like rows drawn glyph by glyph.
class ReceiveViewCellsTest : public QObject {
    Q_OBJECT

  private slots:
    void copiedRowsLookDrawn_data();
    void copiedRowsLookDrawn();
    void fontPaletteAndScrollChangesStayExact();
    void charactersNoFontHasLookAsQtDrawsThem();
};

namespace {

QImage shot(ReceiveView& v, bool cached) {
    v.setCellCache(cached);
    QImage img(v.viewport()->size(), QImage::Format_RGB32);
    img.fill(Qt::magenta);
    v.viewport()->render(&img);
    return img;
}

// Where two pictures differ first, for the failure message.
QByteArray firstDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return "sizes differ";
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y))
                return QByteArray::number(x) + "," + QByteArray::number(y) + ": " +
                       QByteArray::number(a.pixel(x, y), 16) + " vs " +
                       QByteArray::number(b.pixel(x, y), 16);
        }
    }
    return {};
}

void compareBothWays(ReceiveView& v) {
    const QImage drawn = shot(v, false);
    const QImage copied = shot(v, true);
    // Twice: the second paint takes every cell from the atlas.
    const QImage again = shot(v, true);
    QVERIFY2(drawn == copied, firstDifference(drawn, copied).constData());
    QVERIFY2(drawn == again, firstDifference(drawn, again).constData());
}

QByteArray hexLines(int lines) {
    QByteArray out;
    for (int i = 0; i < lines; ++i) {
        for (int b = 0; b < 24; ++b)
            out +=
                QByteArray::number((i * 37 + b * 11) & 0xFF, 16).toUpper().rightJustified(2, '0') +
                ' ';
        out += "\r\n";
    }
    return out;
}

}  // namespace

void ReceiveViewCellsTest::copiedRowsLookDrawn_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<int>("selectFrom");
    QTest::addColumn<int>("selectTo");
    QByteArray ascii;
    for (int i = 0; i < 40; ++i)
        ascii += "line " + QByteArray::number(i) + " {}[]|@#$%^&*()_+-=~`'\";:,.<>/?\\ WMmjgyQ\r\n";
    QTest::newRow("ascii") << ascii << false << false << -1 << -1;
    QTest::newRow("ascii, selection over line ends") << ascii << false << false << 30 << 400;
    QTest::newRow("hex") << hexLines(40) << true << false << -1 << -1;
    QTest::newRow("hex, selection") << hexLines(40) << true << false << 100 << 170;
    const QByteArray colours =
        "\x1b[31mred\x1b[0m \x1b[1;32mbold green\x1b[0m \x1b[7minverse\x1b[0m "
        "\x1b[43;34mblue on yellow\x1b[0m \x1b[38;2;10;200;30mtrue\x1b[48;5;200m colour\x1b[0m "
        "\x1b[4munderlined\x1b[0m plain\tafter a tab \x01 control\r\n";
    QByteArray manyColours;
    for (int i = 0; i < 20; ++i)
        manyColours += colours;
    QTest::newRow("colours") << manyColours << false << false << -1 << -1;
    QTest::newRow("colours, selection") << manyColours << false << false << 20 << 300;
    QByteArray utf8;
    for (int i = 0; i < 30; ++i)
        utf8 += QStringLiteral(
                    "%1 温度=21.5℃ t=3°C µs Grüße naïve café ✓ 设备就绪 \x1b[32mI (%1) 传感器: "
                    "ok\x1b[0m\r\n")
                    .arg(i)
                    .toUtf8();
    QTest::newRow("utf-8 and colours") << utf8 << false << true << -1 << -1;
    QTest::newRow("utf-8, selection") << utf8 << false << true << 50 << 140;
}

void ReceiveViewCellsTest::copiedRowsLookDrawn() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, hex);
    QFETCH(bool, utf8);
    QFETCH(int, selectFrom);
    QFETCH(int, selectTo);
    ReceiveView v;
    v.resize(420, 300);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    v.clearFocus();  // no blinking caret between the pictures
    if (utf8)
        v.setEncoding(zenta::TextEncoding::Utf8);
    // In two pieces, split inside a character or sequence.
    const qsizetype half = bytes.size() / 2 + 1;
    v.appendReceived(QByteArrayView(bytes).first(half), 0, hex);
    v.appendReceived(QByteArrayView(bytes).sliced(half), 0, hex);
    if (selectFrom >= 0) {
        v.scrollToEnd();
        const int first = static_cast<int>(v.toPlainText().size()) - 900;
        v.select(std::max(0, first) + selectFrom, std::max(0, first) + selectTo);
    }
    compareBothWays(v);
}

void ReceiveViewCellsTest::fontPaletteAndScrollChangesStayExact() {
    ReceiveView v;
    v.resize(400, 240);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    v.clearFocus();  // no blinking caret between the pictures
    QByteArray text;
    for (int i = 0; i < 200; ++i)
        text += "\x1b[3" + QByteArray::number(i % 8) + "mrow " + QByteArray::number(i) +
                " the quick brown fox jumps over the lazy dog 0123456789\x1b[0m\r\n";
    v.appendBytes(text);
    compareBothWays(v);
    // Kept cells of the old font or colours must not show after a change.
    QFont big = v.font();
    big.setPixelSize(17);
    v.setFont(big);
    compareBothWays(v);
    QPalette pal = v.palette();
    pal.setColor(QPalette::Base, QColor(20, 20, 40));
    pal.setColor(QPalette::Text, QColor(220, 220, 180));
    v.setPalette(pal);
    compareBothWays(v);
    // A proportional font is off the grid: drawn either way.
    QFont sans(QStringLiteral("DejaVu Sans"));
    sans.setPixelSize(13);
    v.setFont(sans);
    compareBothWays(v);
    v.setFont(big);
    v.verticalScrollBar()->setValue(v.verticalScrollBar()->maximum() / 2);
    compareBothWays(v);
}

void ReceiveViewCellsTest::charactersNoFontHasLookAsQtDrawsThem() {
    // Scripts this machine has no font for: the view measures and draws them itself,
    // as the box Qt would draw after asking every fallback font, and in the cells Qt's
    // own measure gives them.
    zenta::FontCoverage& coverage = zenta::FontCoverage::Installed();
    coverage.waitReady();
    QString missing;
    for (const char16_t c : {u'\u0D8A', u'\u0725', u'\u0AB7', u'\u19EE', u'\u0B0C', u'\uA8E0'}) {
        if (coverage.covers(c) == zenta::FontCoverage::Answer::Missing)
            missing += QChar(c);
    }
    if (missing.size() < 2)
        QSKIP("this machine has a font for nearly every candidate");
    QVERIFY(coverage.covers(U'A') == zenta::FontCoverage::Answer::Covered);

    ReceiveView v;
    v.resize(420, 200);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    v.clearFocus();
    v.setEncoding(zenta::TextEncoding::Utf8);
    const QString line = QStringLiteral("a") + missing[0] + QStringLiteral("中") + missing[1] +
                         QStringLiteral("b \x1b[1;31m") + missing[0] +
                         QStringLiteral("\x1b[0m\r\n");
    v.appendBytes((line + line).toUtf8());
    compareBothWays(v);

    // The second one (a script of its own) in the cells and pixels Qt gives it.
    const QFont font = v.drawingFont();
    const QFontMetricsF metrics(font);
    const QRect a = v.caretRectAt(0);
    const QRect at = v.caretRectAt(3);
    const int cell = v.caretRectAt(1).x() - a.x();
    const int cells = metrics.horizontalAdvance(missing[1]) > cell * 1.5 ? 2 : 1;
    QCOMPARE(v.caretRectAt(4).x() - at.x(), cells * cell);

    const QImage shown = shot(v, false);
    QImage qt(shown.size(), QImage::Format_RGB32);
    qt.fill(v.palette().color(QPalette::Base));
    {
        QPainter p(&qt);
        p.setFont(font);
        p.setPen(v.palette().color(QPalette::Text));
        const qreal ascent = std::max(metrics.ascent(), -metrics.boundingRect(QChar(0x56FD)).top());
        p.drawText(QPointF(at.x(), at.y() + ascent), QString(missing[1]));
    }
    const QRect box(at.x(), at.y(), cells * cell, at.height());
    QVERIFY2(shown.copy(box) == qt.copy(box), firstDifference(shown.copy(box), qt.copy(box)));
    QImage blank(box.size(), QImage::Format_RGB32);
    blank.fill(v.palette().color(QPalette::Base));
    QVERIFY(qt.copy(box) != blank);
}

QTEST_MAIN(ReceiveViewCellsTest)
#include "tst_receive_view_cells.moc"
