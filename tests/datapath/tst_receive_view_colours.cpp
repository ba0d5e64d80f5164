#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QTest>

#include <random>

#include "datapath/ReceiveState.h"
#include "datapath/qt/ReceiveView.h"

using zenta::ReceiveView;
using zenta::TextEncoding;

class ReceiveViewColoursTest : public QObject {
    Q_OBJECT

  private slots:
    void colouredLinePaintsItsColours();
    void coloursOffShowTheBytes();
    void stampsLinesButNotHeadersAndCopiesWithout();
    void windowTextDoesNotDependOnChunksModesOrEncoding();
};

namespace {

QByteArray bytes(const char* s) {
    return QByteArray(s);
}

// Pixels of the cells [from, to) of the first row.
QList<QRgb> cellPixels(const ReceiveView& v, const QImage& img, qsizetype from, qsizetype to) {
    QList<QRgb> out;
    const QRect a = v.caretRectAt(from);
    const QRect b = v.caretRectAt(to);
    for (int y = a.top(); y <= a.bottom(); ++y) {
        for (int x = a.left() + 1; x < b.left() - 1; ++x)
            out << img.pixel(x, y);
    }
    return out;
}

bool near(QRgb p, QRgb want) {
    return std::abs(qRed(p) - qRed(want)) < 40 && std::abs(qGreen(p) - qGreen(want)) < 40 &&
           std::abs(qBlue(p) - qBlue(want)) < 40;
}

}  // namespace

void ReceiveViewColoursTest::colouredLinePaintsItsColours() {
    ReceiveView v;
    v.resize(400, 100);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    v.clearFocus();
    // Red text, a green background, a 24-bit blue, then plain text; split mid-sequence.
    v.appendBytes(bytes("\x1b[31mHHHH\x1b[0m \x1b[42m    \x1b[0m \x1b[38;2;0;0;255mHH"));
    v.appendBytes(bytes("HH\x1b[0"));
    v.appendBytes(bytes("m HHHH\r\n"));
    QCOMPARE(v.toPlainText(), QStringLiteral("HHHH      HHHH HHHH\n"));
    const QImage img = v.viewport()->grab().toImage();

    auto count = [](const QList<QRgb>& px, QRgb want) {
        return std::count_if(px.begin(), px.end(), [&](QRgb p) { return near(p, want); });
    };
    const QList<QRgb> red = cellPixels(v, img, 0, 4);
    QVERIFY(count(red, qRgb(0xCD, 0, 0)) > 10);
    QCOMPARE(count(red, qRgb(0, 0, 0)), 0);
    const QList<QRgb> green = cellPixels(v, img, 5, 9);
    QCOMPARE(count(green, qRgb(0, 0xCD, 0)), green.size());  // every pixel of the cells
    const QList<QRgb> blue = cellPixels(v, img, 10, 14);
    QVERIFY(count(blue, qRgb(0, 0, 0xFF)) > 10);
    const QList<QRgb> plain = cellPixels(v, img, 15, 19);
    QVERIFY(count(plain, qRgb(0, 0, 0)) > 10);
    QCOMPARE(count(plain, qRgb(0xCD, 0, 0)) + count(plain, qRgb(0, 0, 0xFF)), 0);
    QCOMPARE(v.styleAt(2).fg, zenta::TextStyle::kSet | 0xCD0000);

    // Typing into the coloured text is plain; the colour after it stays.
    v.setCaretPosition(2);
    v.insertAtCaret(QStringLiteral("x"));
    QVERIFY(v.styleAt(2).plain());
    QCOMPARE(v.styleAt(3).fg, zenta::TextStyle::kSet | 0xCD0000);
}

void ReceiveViewColoursTest::coloursOffShowTheBytes() {
    ReceiveView v;
    v.setAnsiColours(false);
    v.appendBytes(bytes("\x1b[0;32mI (25) ok\x1b[0m\n"));
    QCOMPARE(v.toPlainText(), QStringLiteral("\x1b[0;32mI (25) ok\x1b[0m\n"));
    QVERIFY(v.styleAt(3).plain());
    // Text shown again (HEX switch, trim) follows the option too.
    v.setAnsiColours(true);
    v.setReceivedText(bytes("\x1b[0;32mI (25) ok\x1b[0m\r\n"), false);
    QCOMPARE(v.toPlainText(), QStringLiteral("I (25) ok\n"));
    QVERIFY(!v.styleAt(0).plain());
}

void ReceiveViewColoursTest::stampsLinesButNotHeadersAndCopiesWithout() {
    ReceiveView v;
    v.setEncoding(TextEncoding::Utf8);
    v.setTimeStamps(true);
    int calls = 0;
    v.setStampClock([&calls] {
        ++calls;
        return zenta::TimeOfDay{17, 46, 3, 125 + calls};
    });
    v.appendBytes(bytes("25.3\xC2\xB0"));
    v.appendBytes(bytes("C\r\n\x1b[31mnext"));
    v.appendBytes(bytes(" line\n"));
    const std::string header = zenta::ReceiveHeader({1, 2, 3, 4}, true, TextEncoding::Utf8);
    const QByteArray withHeader = QByteArray::fromStdString(header + "pkt\nafter");
    v.appendReceived(withHeader, qsizetype(header.size()), false);
    v.appendText(QStringLiteral("\r\nmessage\r\n"));
    QCOMPARE(v.toPlainText(), QStringLiteral("[17:46:03.126] 25.3°C\n"
                                             "[17:46:03.127] next line\n"
                                             "\n[01:02:03.004]IN←◆pkt\n"
                                             "[17:46:03.128] after\n"
                                             "message\n"));
    QVERIFY(v.styleAt(0).has(zenta::TextStyle::Stamp));
    QCOMPARE(v.styleAt(37).fg, zenta::TextStyle::kSet | 0xCD0000);  // "next" stays red

    v.selectAll();
    QCOMPARE(v.selectedPlainText(), QStringLiteral("25.3°C\nnext line\n\n[01:02:03.004]IN←◆pkt\n"
                                                   "after\nmessage\n"));
    v.copyPlain();
    QCOMPARE(QApplication::clipboard()->text(), v.selectedPlainText());
    v.copy();
    QCOMPARE(QApplication::clipboard()->text(), v.toPlainText());
}

namespace {

// Device output in every encoding: UTF-8 and GB18030 characters, broken ones, colour
// sequences, line ends, NUL.
std::string randomLogBytes(std::mt19937& rng, std::size_t n) {
    static const char* const kPieces[] = {"\xC2\xB0",
                                          "\xE4\xB8\xAD",
                                          "\xF0\x9F\x98\x80",
                                          "\xB0\xA1",
                                          "\x81\x30\x81\x30",
                                          "\x1b[0;32m",
                                          "\x1b[1;38;5;208m",
                                          "\x1b[0m",
                                          "\x1b]0;t\x07",
                                          "\x1b[2K",
                                          "A",
                                          "\r\n",
                                          "\n",
                                          "0123"};
    std::string s;
    while (s.size() < n) {
        if (rng() % 5 == 0)
            s.push_back(static_cast<char>(rng()));
        else
            s += kPieces[rng() % std::size(kPieces)];
    }
    return s;
}

// Receive state and window as the receive handler drives them, with the display mode
// switched where `hexAt` says; ends in text display.
QString showInWindow(TextEncoding encoding, const std::string& bytes,
                     const std::vector<std::size_t>& cuts, const std::vector<bool>& hexAt) {
    zenta::ReceiveState state;
    state.encoding = encoding;
    ReceiveView view;
    view.setEncoding(encoding);
    view.setAppendHoldMs(7);  // some appends are kept and shown later
    bool hex = false;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const bool nowHex = i < hexAt.size() && hexAt[i];
        if (nowHex != hex) {
            hex = nowHex;
            const std::string_view w = state.WindowText(hex);
            view.setReceivedText(QByteArrayView(w.data(), qsizetype(w.size())), hex);
        }
        const std::size_t to = i < cuts.size() ? cuts[i] : bytes.size();
        zenta::ReceiveInput in;
        in.chunk = std::string_view(bytes).substr(from, to - from);
        in.hexDisplay = hex;
        const zenta::ReceiveOutput out = state.OnChunk(in);
        view.appendReceived(QByteArrayView(out.display.data(), qsizetype(out.display.size())),
                            qsizetype(out.headerSize), hex);
        from = to;
    }
    if (hex) {
        const std::string_view w = state.WindowText(false);
        view.setReceivedText(QByteArrayView(w.data(), qsizetype(w.size())), false);
    }
    QString shown = view.toPlainText();
    // Styles travel with the text: sample them.
    const qsizetype length = shown.size();
    for (qsizetype i = 0; i < length; i += 7)
        shown += QStringLiteral(" %1").arg(view.styleAt(i).fg, 0, 16);
    return shown;
}

}  // namespace

void ReceiveViewColoursTest::windowTextDoesNotDependOnChunksModesOrEncoding() {
    std::mt19937 rng(2212);
    for (const TextEncoding e : zenta::kAllTextEncodings) {
        for (int round = 0; round < 60; ++round) {
            const std::string bytes = randomLogBytes(rng, 1 + rng() % 160);
            const QString once = showInWindow(e, bytes, {}, {});
            std::vector<std::size_t> cuts;
            std::vector<bool> hexAt;
            for (std::size_t at = rng() % 5; at < bytes.size(); at += 1 + rng() % 6) {
                cuts.push_back(at);
                hexAt.push_back(rng() % 5 == 0);
            }
            QCOMPARE(showInWindow(e, bytes, cuts, hexAt), once);
            QCOMPARE(showInWindow(e, bytes, cuts, {}), once);
        }
    }
}

QTEST_MAIN(ReceiveViewColoursTest)
#include "tst_receive_view_colours.moc"
