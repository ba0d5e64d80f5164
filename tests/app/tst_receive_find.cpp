// Find, filter and highlight rules in the live window: log lines from a device on a
// pseudo-terminal, the rules kept in zenta-ext.ini (never in zenta5.ini).
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include "app/HighlightRulesDialog.h"
#include "app/support/E2eDriver.h"
#include "app/support/SettingsTestSupport.h"
#include "datapath/qt/FindBar.h"
#include "datapath/qt/ReceiveView.h"
#include "serial/ctl/CPortCtl.h"
#include "support/Pty.h"

using namespace zenta::test;

class ReceiveFindTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    TWindowFixture fixture_;

  private slots:
    void init() { fixture_.Start(prompts_); }
    void cleanup() { fixture_.Stop(); }

    void findsInTextAndHexFromTheDevice() {
        TPty pty;
        auto w = std::make_unique<MainWindow>();
        w->startTimer->stop();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(e2e::OpenThroughWindow(*w, QString::fromStdString(pty.SlavePath())));
        const std::string log =
            "U-Boot 2023.04\r\nDRAM:  512 MiB\r\nERROR: eth0 not found\r\n"
            "Hit any key to stop autoboot:  0\r\n";
        QVERIFY(pty.Send(log));
        QTRY_COMPARE(w->received.rxCount, static_cast<int64_t>(log.size()));
        zenta::ReceiveView* view = w->receive->view;
        zenta::FindBar* bar = w->receive->findBar;
        QTRY_VERIFY(view->toPlainText().contains(QStringLiteral("autoboot")));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QTest::keyClicks(bar->findEdit, QStringLiteral("o"));
        QCOMPARE(bar->matches().total, 10u);
        QCOMPARE(view->selectedText(), QStringLiteral("o"));
        // Nothing typed into the bar went to the device.
        QCOMPARE(ReadUntilQuiet(pty.Master(), 1), std::string());

        // HEX view: the same query is bytes now.
        panel_widgets::SetChecked(w->receive->hexDisplayCheck, true);
        bar->findEdit->setText(QStringLiteral("0d0a"));
        QCOMPARE(bar->matches().total, 4u);
        QCOMPARE(view->selectedText(), QStringLiteral("0D 0A"));

        // Captions follow the language.
        w->englishCheck->click();
        QCOMPARE(bar->rulesButton->text(), QStringLiteral("Highlight..."));
        w->englishCheck->click();
        QCOMPARE(bar->rulesButton->text(), QStringLiteral("高亮规则..."));
    }

    void rulesAreEditedAndKeptInTheSecondFile() {
        {
            auto w = std::make_unique<MainWindow>();
            w->startTimer->stop();
            // A fresh file starts with the two usual rules.
            w->receive->findBar->rulesButton->click();
            auto* dialog = w->findChild<zenta::HighlightRulesDialog*>();
            QVERIFY(dialog);
            QTRY_VERIFY(dialog->isVisible());
            QCOMPARE(dialog->table->rowCount(), 2);
            QCOMPARE(dialog->table->item(0, 0)->text(), QStringLiteral("ERROR"));
            dialog->table->removeRow(1);
            dialog->addRule({u"温度\\s*\\d+", true, false, 0x2060FF, true});
            dialog->addRule({});  // an empty row is left out
            dialog->accept();
            QTRY_VERIFY(w->findChild<zenta::HighlightRulesDialog*>() == nullptr);
            w->close();
        }
        QSettings ext(QDir(fixture_.SettingsPath()).filePath("zenta-ext.ini"),
                      QSettings::IniFormat);
        QCOMPARE(ext.value("highlight/rules/size").toInt(), 2);
        QCOMPARE(ext.value("highlight/rules/2/pattern").toString(), QStringLiteral("温度\\s*\\d+"));
        QCOMPARE(ext.value("highlight/rules/2/colour").toString(), QStringLiteral("#2060ff"));
        const QByteArray ini = FileBytes(QDir(fixture_.SettingsPath()).filePath("zenta5.ini"));
        QVERIFY(!ini.contains("highlight") && !ini.contains("ERROR"));

        // The next window draws them: the regex rule's blue under the matching text.
        auto again = std::make_unique<MainWindow>();
        again->startTimer->stop();
        again->show();
        QVERIFY(QTest::qWaitForWindowExposed(again.get()));
        zenta::ReceiveView* view = again->receive->view;
        view->setEncoding(zenta::TextEncoding::Utf8);
        view->appendBytes("ok 温度 23\n");
        view->clearFocus();
        const QImage img = view->viewport()->grab().toImage();
        const QRect at = view->caretRectAt(4);
        int blue = 0;
        for (int x = at.left(); x < at.left() + 20; ++x)
            blue += img.pixel(x, at.center().y()) == qRgb(0x20, 0x60, 0xFF) ? 1 : 0;
        QVERIFY(blue > 10);
    }
};

QTEST_MAIN(ReceiveFindTest)
#include "tst_receive_find.moc"
