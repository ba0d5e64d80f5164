#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "datapath/qt/FindBar.h"
#include "datapath/qt/ReceiveView.h"

using zenta::FindBar;
using zenta::ReceiveView;

class FindBarTest : public QObject {
    Q_OBJECT

  private slots:
    void findCountsStepsAndHighlights();
    void queryKindsAndBadQueries();
    void hexViewFindsBytes();
    void filterHidesAndBringsBackLines();
    void rulesColourWithoutTouchingTheText();
    void hugeTextStaysBounded();
};

namespace {

// An ESP-IDF style boot log as it comes off the wire: colour sequences, CR LF, one
// failing self-test per ten lines.
QByteArray bootLog(int lines, int first = 0) {
    QByteArray out;
    for (int i = first; i < first + lines; ++i) {
        const QByteArray n = QByteArray::number(i);
        if (i % 10 == 7) {
            out += "\x1b[0;31mE (" + n + ") selftest: ERROR sensor " + n + " timeout\x1b[0m\r\n";
        } else if (i % 10 == 3) {
            out += "\x1b[0;32mI (" + n + ") selftest: PASS case " + n + "\x1b[0m\r\n";
        } else {
            out += "I (" + n + ") wifi: temp=" + QByteArray::number(20 + i % 9) + " rssi=-61\r\n";
        }
    }
    return out;
}

struct Fixture {
    ReceiveView view;
    FindBar* bar;
    Fixture(int lines = 200) {
        view.resize(700, 300);
        view.show();
        view.appendBytes(bootLog(lines));
        bar = new FindBar(&view);
        bar->setEnglish(true);
    }
    void find(const QString& text) {
        bar->open();
        bar->findEdit->setText(text);
    }
};

bool near(QRgb p, QRgb want) {
    return std::abs(qRed(p) - qRed(want)) < 40 && std::abs(qGreen(p) - qGreen(want)) < 40 &&
           std::abs(qBlue(p) - qBlue(want)) < 40;
}

// How many pixels of the cells [from, to) of a visible row are near a colour.
int pixelsNear(const ReceiveView& v, qsizetype from, qsizetype to, QRgb colour) {
    const QImage img = v.viewport()->grab().toImage();
    const QRect a = v.caretRectAt(from);
    const QRect b = v.caretRectAt(to);
    int n = 0;
    for (int y = a.top(); y <= a.bottom(); ++y) {
        for (int x = a.left() + 1; x < b.left() - 1; ++x)
            n += near(img.pixel(x, y), colour) ? 1 : 0;
    }
    return n;
}

}  // namespace

void FindBarTest::findCountsStepsAndHighlights() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    f.view.setFocus();
    QTest::keyClick(&f.view, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(f.bar->isVisible());
    QVERIFY(f.bar->findEdit->hasFocus());
    // Where Ctrl+F goes to the device, Ctrl+Shift+F opens the bar.
    f.bar->close();
    f.bar->setCtrlFOpens(false);
    f.view.setFocus();
    QTest::keyClick(&f.view, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!f.bar->isVisible());
    QTest::keyClick(&f.view, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(f.bar->isVisible());
    QVERIFY(f.bar->findEdit->hasFocus());
    f.bar->setCtrlFOpens(true);
    // The caret is at the end: the search starts over at the top.
    QTest::keyClicks(f.bar->findEdit, QStringLiteral("error"));
    QCOMPARE(f.bar->countText(), QStringLiteral("1 of 20"));
    const std::u16string text = f.view.keptText();
    const qsizetype first = static_cast<qsizetype>(text.find(u"ERROR sensor 7 "));
    QCOMPARE(f.view.selectedText(), QStringLiteral("ERROR"));
    QCOMPARE(f.view.caretPosition(), first + 5);

    QTest::keyClick(f.bar->findEdit, Qt::Key_Return);
    QCOMPARE(f.bar->countText(), QStringLiteral("2 of 20"));
    QCOMPARE(f.view.caretPosition(), static_cast<qsizetype>(text.find(u"ERROR sensor 17 ")) + 5);
    f.bar->previousButton->click();
    f.bar->previousButton->click();  // round the start
    QCOMPARE(f.bar->countText(), QStringLiteral("20 of 20"));
    QCOMPARE(f.view.caretPosition(), static_cast<qsizetype>(text.find(u"ERROR sensor 197 ")) + 5);
    f.bar->nextButton->click();  // round the end
    QCOMPARE(f.bar->countText(), QStringLiteral("1 of 20"));
    // Enter in the field never reaches the window beneath (it would type there).
    QVERIFY(f.view.keptText() == text);

    // The current match is selected, the other visible matches are under yellow; the
    // bar does not cover the current one.
    f.bar->findEdit->setText(QStringLiteral("wifi"));
    QVERIFY(f.bar->countText().endsWith(QStringLiteral(" of 160")));
    f.view.setFocus();  // the selection shows in its own colours
    const zenta::MatchList& list = f.bar->matches();
    const std::size_t cur = f.bar->currentIndex();
    QVERIFY(cur + 1 < list.matches.size());
    const zenta::TextMatch other = list.matches[cur + 1];
    QVERIFY(f.view.caretRectAt(static_cast<qsizetype>(list.matches[cur].pos)).top() >
            f.bar->geometry().bottom());
    QVERIFY(pixelsNear(f.view, qsizetype(other.pos), qsizetype(other.end()), 0xFFEB3B) > 20);
    // Text beside it is not highlighted.
    QCOMPARE(pixelsNear(f.view, qsizetype(other.end() + 1), qsizetype(other.end() + 4), 0xFFEB3B),
             0);

    // Esc closes the bar and takes the highlights away; the text never changed.
    const QString before = f.view.toPlainText();
    f.bar->findEdit->setFocus();
    QTest::keyClick(f.bar->findEdit, Qt::Key_Escape);
    QVERIFY(!f.bar->isVisible());
    QCOMPARE(pixelsNear(f.view, qsizetype(other.pos), qsizetype(other.end()), 0xFFEB3B), 0);
    QCOMPARE(f.view.toPlainText(), before);
}

void FindBarTest::queryKindsAndBadQueries() {
    Fixture f;
    f.find(QStringLiteral("Error"));
    QCOMPARE(f.bar->countText(), QStringLiteral("1 of 20"));
    f.bar->matchCaseCheck->setChecked(true);
    QCOMPARE(f.bar->countText(), QStringLiteral("No matches"));
    f.bar->matchCaseCheck->setChecked(false);

    // A regular expression, and anchors work per line.
    f.bar->regexCheck->setChecked(true);
    f.bar->findEdit->setText(QStringLiteral("temp=2[5-8]"));
    QCOMPARE(f.bar->matches().total, 70u);
    f.bar->findEdit->setText(QStringLiteral("^E \\(\\d+\\)"));
    QCOMPARE(f.bar->matches().total, 20u);
    f.bar->findEdit->setText(QStringLiteral("timeout$"));
    QCOMPARE(f.bar->matches().total, 20u);
    // Patterns that match nothing but the empty string count nothing; a broken one says
    // why and highlights nothing.
    f.bar->findEdit->setText(QStringLiteral("x*"));
    QCOMPARE(f.bar->matches().total, 0u);
    f.bar->findEdit->setText(QStringLiteral("(ERROR"));
    QVERIFY(!f.bar->countText().isEmpty());
    QCOMPARE(f.bar->matches().total, 0u);
    QCOMPARE(f.bar->countLabel->text(), f.bar->countText());
    // Stepping with nothing found is harmless.
    f.bar->findNext();
    f.bar->findPrevious();

    // Text that comes while the bar is open is searched too.
    f.bar->regexCheck->setChecked(false);
    f.bar->findEdit->setText(QStringLiteral("ERROR"));
    f.view.appendBytes(bootLog(20, 200));
    QTRY_COMPARE_WITH_TIMEOUT(f.bar->matches().total, 22u, 5000);
}

void FindBarTest::hexViewFindsBytes() {
    ReceiveView view;
    view.resize(600, 200);
    view.show();
    // The HEX form of "OK\r\n" twice and a byte 0D alone.
    view.appendReceived("4F 4B 0D 0A 4F 4B 0D 0A 30 D0 A0 ", 0, true);
    FindBar bar(&view);
    bar.setEnglish(true);
    bar.setHexMode(true);
    bar.open();
    bar.findEdit->setText(QStringLiteral("0d0a"));
    QCOMPARE(bar.countText(), QStringLiteral("1 of 2"));
    bar.findEdit->setText(QStringLiteral("0D 0A 4f"));
    QCOMPARE(bar.matches().total, 1u);
    QCOMPARE(view.selectedText(), QStringLiteral("0D 0A 4F"));
    // Half a byte is no query.
    bar.findEdit->setText(QStringLiteral("0D0"));
    QCOMPARE(bar.matches().total, 0u);
    QVERIFY(!bar.countText().isEmpty());
    // Back in text view the same words are text.
    bar.setHexMode(false);
    bar.findEdit->setText(QStringLiteral("4F 4B"));
    QCOMPARE(bar.matches().total, 2u);
}

void FindBarTest::filterHidesAndBringsBackLines() {
    Fixture f(100);
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    const int allLines = f.view.lineCount();
    const QString all = f.view.toPlainText();
    f.bar->open();
    f.bar->filterEdit->setText(QStringLiteral("selftest"));
    QTRY_VERIFY_WITH_TIMEOUT(f.bar->filteredView() != nullptr, 5000);
    ReceiveView* shown = f.bar->filteredView();
    QTRY_COMPARE_WITH_TIMEOUT(shown->lineCount(), 21, 5000);  // 20 lines and the empty end
    QVERIFY(shown->isVisible());
    QVERIFY(
        shown->toPlainText().startsWith(QStringLiteral("I (3) selftest: PASS case 3\n"
                                                       "E (7) selftest: ERROR sensor 7")));
    QVERIFY(!shown->toPlainText().contains(QStringLiteral("wifi")));
    // Find works in what is shown.
    f.bar->findEdit->setText(QStringLiteral("ERROR"));
    QCOMPARE(f.bar->countText(), QStringLiteral("1 of 10"));
    QCOMPARE(shown->selectedText(), QStringLiteral("ERROR"));

    // New lines keep arriving; the one being written joins once it ends.
    f.view.appendBytes(bootLog(10, 100));
    f.view.appendBytes("I (110) selftest: PA");
    QTRY_COMPARE_WITH_TIMEOUT(shown->lineCount(), 23, 5000);
    QVERIFY(shown->toPlainText().endsWith(QStringLiteral("ERROR sensor 107 timeout\n")));
    f.view.appendBytes("SS\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(
        shown->toPlainText().endsWith(QStringLiteral("I (110) selftest: PASS\n")), 5000);
    // The window itself kept every line.
    QCOMPARE(f.view.lineCount(), allLines + 11);

    // Keys typed into the filtered lines reach whoever types into the window.
    QString typed;
    connect(&f.view, &ReceiveView::keyTyped, &f.view,
            [&typed](int, const QString& text, bool* consumed) {
                typed += text;
                *consumed = true;
            });
    QTest::keyClicks(shown, QStringLiteral("ls"));
    QCOMPARE(typed, QStringLiteral("ls"));

    // A cleared window empties the filtered one too.
    f.view.clear();
    f.view.appendBytes(bootLog(10, 0));
    QTRY_COMPARE_WITH_TIMEOUT(shown->lineCount(), 3, 5000);

    // Closing the bar ends the filter as well.
    f.bar->close();
    QVERIFY(f.bar->filteredView() == nullptr);
    QCOMPARE(f.bar->filterEdit->text(), QString());
    f.bar->open();
    f.bar->filterEdit->setText(QStringLiteral("fault"));
    QTRY_VERIFY_WITH_TIMEOUT(f.bar->filteredView() != nullptr, 5000);

    // Clearing the filter brings every line back.
    f.bar->filterEdit->clear();
    QTRY_VERIFY_WITH_TIMEOUT(f.bar->filteredView() == nullptr, 5000);
    QCOMPARE(f.bar->shownView(), &f.view);
    QCOMPARE(f.view.lineCount(), 11);
    QVERIFY(all.startsWith(f.view.toPlainText()));
}

void FindBarTest::rulesColourWithoutTouchingTheText() {
    Fixture f(20);
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    f.view.clearFocus();
    f.view.setCaretPosition(0);
    const QString before = f.view.toPlainText();
    zenta::HighlightRule error;
    error.pattern = u"ERROR";
    error.colour = 0xFF0000;
    zenta::HighlightRule pass;
    pass.pattern = u"pass";
    pass.colour = 0x3070FF;
    pass.background = true;
    zenta::HighlightRule broken;  // a bad pattern is left out, not fatal
    broken.pattern = u"([";
    broken.regex = true;
    f.bar->setRules({error, pass, broken});
    const std::u16string& text = f.view.keptText();
    const auto e = static_cast<qsizetype>(text.find(u"ERROR"));
    const auto p = static_cast<qsizetype>(text.find(u"PASS"));
    // ERROR in bright red letters (the line's own red is 0xCD0000); PASS on green.
    QVERIFY(pixelsNear(f.view, e, e + 5, 0xFF0000) > 5);
    QVERIFY(pixelsNear(f.view, p, p + 4, 0x3070FF) > 40);
    QCOMPARE(pixelsNear(f.view, p + 5, p + 9, 0x3070FF), 0);
    QCOMPARE(f.view.toPlainText(), before);
    QCOMPARE(f.view.styleAt(e).fg, zenta::TextStyle::kSet | 0xCD0000);
    f.bar->setRules({});
    QCOMPARE(pixelsNear(f.view, p, p + 4, 0x3070FF), 0);
}

void FindBarTest::hugeTextStaysBounded() {
    // 5 MB of log: a query that matches almost everywhere is counted up to a limit and
    // kept up to another.
    ReceiveView view;
    view.resize(600, 200);
    QByteArray log;
    for (int i = 0; log.size() < 5 * 1024 * 1024; ++i)
        log += "E (" + QByteArray::number(i) + ") sensor: ERROR temperature exceeded\r\n";
    view.appendBytes(log);
    FindBar bar(&view);
    bar.setEnglish(true);
    view.show();
    bar.open();
    bar.findEdit->setText(QStringLiteral("e"));
    QCOMPARE(bar.matches().matches.size(), FindBar::kKeptMatches);
    QVERIFY(bar.matches().countCapped);
    QVERIFY(bar.countText().endsWith(QStringLiteral(" of 1000000+")));
    // Stepping back from the first match goes round to matches past the kept ones.
    bar.findPrevious();
    const std::u16string& text = view.keptText();
    QCOMPARE(static_cast<std::size_t>(view.caretPosition()), text.rfind(u'e') + 1);
    QVERIFY(bar.countText().contains(QStringLiteral("1000000+")));
    bar.findNext();
    QCOMPARE(bar.countText(), QStringLiteral("1 of 1000000+"));
}

QTEST_MAIN(FindBarTest)
#include "tst_find_bar.moc"
