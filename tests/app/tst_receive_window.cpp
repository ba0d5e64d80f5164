// Received bytes through a real window on a pseudo-terminal: text and HEX display,
// double-byte hold-back, packet split, capture, Clear, the refresh tick and the font.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
#include "app/FileRowPanel.h"
#include "app/LinkBar.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/ProgrammerPage.h"
#include "app/ReceivePanel.h"
#include "app/SaveFolder.h"
#include "app/SendPanel.h"
#include "app/StatusPanels.h"
#include "app/UpdateCheck.h"
#include "app/WindowState.h"
#include "app/support/E2eDriver.h"
#include "datapath/qt/ReceiveView.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

using namespace std::string_literals;

namespace {

class FontPrompts : public RecordingPrompts {
  public:
    std::optional<QFont> answer;
    std::optional<QFont> ChooseFont(const QFont&) override { return answer; }
};

const QRegularExpression kStamp(QStringLiteral("\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]"));

}  // namespace

class ReceiveWindowTest : public QObject {
    Q_OBJECT

  private:
    FontPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<MainWindow> form_;
    std::unique_ptr<TPty> pty_;
    uint32_t tick_ = 0;

    void Open() {
        QVERIFY(e2e::OpenThroughWindow(*form_, QString::fromStdString(pty_->SlavePath())));
    }
    // Sends bytes from the device and waits until the window has taken them.
    void Receive(const std::string& bytes) {
        const int64_t before = form_->received.rxCount;
        QVERIFY(pty_->Send(bytes));
        QTRY_COMPARE(form_->received.rxCount, before + static_cast<int64_t>(bytes.size()));
    }
    QString Text() const { return form_->receive->view->toPlainText(); }
    QString Stamped() const { return Text().replace(kStamp, QStringLiteral("[T]")); }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_.messages.clear();
        prompts_.answer.reset();
        pty_ = std::make_unique<TPty>();
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
        form_->show();
        Open();
    }
    void cleanup() {
        form_.reset();
        pty_.reset();
        fixture_.Stop();
    }

    void textModeShowsControlBytesAndHoldsBackSplitCharacters() {
        Receive("A\0B\r\n"s);
        QCOMPARE(Text(), QStringLiteral("A\\0B\n"));
        // A lead byte alone waits for its trail byte.
        Receive("\xB0");
        QCOMPARE(Text(), QStringLiteral("A\\0B\n"));
        Receive("\xA1");
        QCOMPARE(Text(), QStringLiteral("A\\0B\n啊"));
        Receive("A\xB0\xA1");
        QCOMPARE(Text(), QStringLiteral("A\\0B\n啊A啊"));
        Receive("C\xB0");
        Receive("\xA1");
        QVERIFY(Text().endsWith(QStringLiteral("A啊C啊")));
        QVERIFY(prompts_.messages.isEmpty());
    }

    void consoleLinesShowAsOnATerminalWhateverTheCutsAndRebuilds() {
        const std::string shell =
            "uart:~$ helx\b \bp\r\n"
            "Downloading 10%\rDownloading 20%\rDownloading 100%\r\n"
            "garbage\x1b[2K\ruart:~$ clean\r\n"
            "abcdef\x1b[3D\x1b[KXYZ\r\n"
            "esp32> \x1b[1;32mok\x1b[0m";
        const QString shown =
            QStringLiteral("uart:~$ help\nDownloading 100%\nuart:~$ clean\nabcXYZ\nesp32> ok");
        Receive(shell.substr(0, 30));
        for (std::size_t i = 30; i < shell.size(); ++i) {
            Receive(shell.substr(i, 1));
        }
        QCOMPARE(Text(), shown);
        // A rebuild (HEX on and off) shows the same lines from the kept bytes.
        QTest::mouseClick(form_->receive->hexDisplayCheck, Qt::LeftButton);
        QTest::mouseClick(form_->receive->hexDisplayCheck, Qt::LeftButton);
        QCOMPARE(Text(), shown);
        // The capture of the kept bytes is what the device sent.
        QCOMPARE(form_->received.rxRawAll, shell);

        // A device that ends lines with CR alone, once the option is on.
        zenta::DisplayOptions o = form_->receive->Display();
        o.crNewLine = true;
        form_->receive->ApplyDisplayOptions(o);
        Receive("\rT=1\rT=2\r");
        Receive("\nT=3\r");
        // The option holds for the kept text too, and a CR LF stays one line end.
        QVERIFY2(Text().endsWith(QStringLiteral("Downloading 20%\nDownloading 100%\n\n"
                                                "uart:~$ clean\nabcXYZ\nesp32> ok\nT=1\nT=2\nT=3")),
                 qPrintable(Text()));

        // BEL lights the status bar instead of taking a cell.
        const QColor before = form_->statusBar->Color();
        QColor flashed;
        connect(form_->receive->view, &zenta::ReceiveView::bell, this,
                [&] { flashed = form_->statusBar->Color(); });
        Receive("\a");
        QTRY_COMPARE(flashed, QColor(0xFF, 0xD7, 0x00));
        QTRY_COMPARE(form_->statusBar->Color(), before);
        QVERIFY(!Text().contains(QChar(7)));
    }

    void hexDisplaySwitchShowsEachFormSinceTheLastClear() {
        Receive("0");
        panel_widgets::SetChecked(form_->receive->hexDisplayCheck, true);
        QCOMPARE(Text(), QStringLiteral("30 "));
        Receive("12");
        QCOMPARE(Text(), QStringLiteral("30 31 32 "));
        QTest::mouseClick(form_->receive->hexDisplayCheck, Qt::LeftButton);
        QCOMPARE(Text(), QStringLiteral("012"));
        QTest::mouseClick(form_->receive->hexDisplayCheck, Qt::LeftButton);
        QCOMPARE(Text(), QStringLiteral("30 31 32 "));

        QTest::mouseClick(form_->receive->clearButton, Qt::LeftButton);
        QCOMPARE(Text(), QString());
        QVERIFY(form_->received.rxRawAll.empty() && form_->received.rxTextAll.empty());
        Receive("\x01");
        QCOMPARE(Text(), QStringLiteral("01 "));
    }

    void packetSplitFollowsTheGapBetweenEvents() {
        form_->receive->TickSource = [this] { return tick_; };
        panel_widgets::SetChecked(form_->receive->packetCheck, true);
        form_->receive->timeoutEdit->setText(QStringLiteral("20"));
        tick_ = 1000;
        Receive("a");
        tick_ += 5;
        Receive("b");
        tick_ += 50;
        Receive("c");
        tick_ += 20;  // not more than the timeout
        Receive("d");
        QCOMPARE(Stamped(), QStringLiteral("\n[T]收←◆ab\n[T]收←◆cd"));
        // A timeout that is no number counts as 1 ms.
        form_->receive->timeoutEdit->setText(QStringLiteral("abc"));
        EnglishUI = 1;
        tick_ += 1;
        Receive("e");
        tick_ += 2;
        Receive("f");
        QVERIFY(Stamped().endsWith(QStringLiteral("cde\n[T]IN←◆f")));
        // Headers never reach the accumulators.
        QCOMPARE(form_->received.rxTextAll, std::string("abcdef"));
    }

    void firstPacketAfterStartGetsItsHeader() {
        panel_widgets::SetChecked(form_->receive->packetCheck, true);
        form_->receive->timeoutEdit->setText(QStringLiteral("100000"));
        Receive("x");
        QCOMPARE(Stamped(), QStringLiteral("\n[T]收←◆x"));
    }

    void captureAppendsWhileCheckedAndStopsAtAFailure() {
        QTemporaryDir dir;
        const QString path = dir.filePath("cap.bin");
        zenta::ProgramFolderOverride = dir.path();
        panel_widgets::SetChecked(form_->receive->captureCheck, true);
        form_->receive->captureFileName = path;
        Receive("one");
        Receive("\x00\xFF"s);
        panel_widgets::SetChecked(form_->receive->captureCheck, false);
        Receive("off");
        panel_widgets::SetChecked(form_->receive->captureCheck, true);
        form_->receive->captureFileName = path;
        zenta::ProgramFolderOverride.clear();
        prompts_.messages.clear();
        Receive("two");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("one\x00\xFFtwo", 8));
        // An unwritable place: reception goes on; the capture stops and says so once.
        form_->receive->captureFileName = dir.filePath("no/such/dir/cap.bin");
        Receive("lost");
        QVERIFY(!form_->receive->captureCheck->isChecked());
        QTRY_COMPARE(prompts_.messages.size(), 1);
        QVERIFY(prompts_.messages[0].contains(dir.filePath("no/such/dir/cap.bin")));
        QVERIFY(Text().endsWith(QStringLiteral("offtwolost")));
    }

    void longChunksRunTheProgressBarAndHideIt() {
        QSignalSpy values(form_->progressBar, &QProgressBar::valueChanged);
        // Written while the window is not serving events: the engine queues it all and
        // hands it over in one event. A burst of a flood shows the bar; what a steady
        // stream brings over a hold period (up to 64 KiB) is read in slices too short for it.
        const std::string big(200000, 'z');
        QVERIFY(pty_->Send(big));
        QTRY_COMPARE(form_->received.rxCount, int64_t{200000});
        QVERIFY(!values.isEmpty());
        QTRY_VERIFY(form_->progressBar->isHidden());
        QVERIFY(form_->progressBar->updatesEnabled());
    }

    void aStreamsDeliveryIsShownWholeWithoutTheBar() {
        QSignalSpy values(form_->progressBar, &QProgressBar::valueChanged);
        // What a 2 Mbit/s stream brings over a hold period, in one delivery: read in
        // slices, shown as one piece, in order, with no conversion bar.
        // Double-byte characters straddle the slice borders.
        std::string lines;
        QString expected;
        for (int i = 0; lines.size() < 20000; ++i) {
            lines += "line " + std::to_string(i) + " \xc4\xe3\xba\xc3\r\n";
            expected += QStringLiteral("line %1 你好\n").arg(i);
        }
        Receive(lines);
        QCOMPARE(Text().size(), expected.size());
        QCOMPARE(Text(), expected);
        QVERIFY(values.isEmpty());
        QVERIFY(form_->progressBar->isHidden());
        // The counts follow the delivery itself, with the tick stopped.
        form_->refreshTimer->stop();
        Receive("tail");
        QCOMPARE(form_->statusBar->PanelText(2), QStringLiteral("R:%1").arg(lines.size() + 4));
        QVERIFY(form_->refreshTimer->isActive());
    }

    void aBurstReadOverSeveralTurnsTakesLaterBytesInOrder() {
        // More than one turn of the event loop can convert: the window reads it in
        // slices over several turns, and bytes that arrive meanwhile join it behind.
        // Slices fitted to the conversion speed cut double-byte pairs anywhere.
        std::string first;
        std::string second;
        QString expected;
        for (int i = 0; first.size() < 2000000; ++i) {
            first += "burst " + std::to_string(i) + " \xc4\xe3\xba\xc3\r\n";
            expected += QStringLiteral("burst %1 你好\n").arg(i);
        }
        for (int i = 0; second.size() < 2000; ++i) {
            second += "\xba\xc3later " + std::to_string(i) + "\n";
            expected += QStringLiteral("好later %1\n").arg(i);
        }
        // Queued whole by the engine while the window serves nothing.
        const auto queued = [this](std::size_t n) {
            for (int i = 0; i < 1000 && form_->port.InputCount() < static_cast<int>(n); ++i) {
                QThread::msleep(5);
            }
            return form_->port.InputCount() >= static_cast<int>(n);
        };
        QVERIFY(pty_->Send(first));
        QVERIFY(queued(first.size()));
        QTRY_VERIFY(form_->received.rxCount > 0);
        const auto taken = static_cast<std::size_t>(form_->received.rxCount);
        QVERIFY(taken < first.size());
        QVERIFY(pty_->Send(second));
        QVERIFY(queued(first.size() - taken + second.size()));
        const auto total = static_cast<int64_t>(first.size() + second.size());
        QTRY_COMPARE(form_->received.rxCount, total);
        QCOMPARE(Text().size(), expected.size());
        QCOMPARE(Text(), expected);
    }

    void refreshTickShowsCountsColoursAndHighlights() {
        Receive("abc");
        form_->received.txCount = 7;
        form_->onRefreshTick();
        QCOMPARE(form_->statusBar->PanelText(2), QStringLiteral("R:3"));
        QCOMPARE(form_->statusBar->PanelText(1), QStringLiteral("S:7"));
        QCOMPARE(form_->statusBar->PanelText(3),
                 QString::fromStdString(pty_->SlavePath()) +
                     QStringLiteral(" 已打开  115200bps,8,1,None,None"));
        QVERIFY(!form_->statusBar->Color().isValid());

        const std::pair<int64_t, QColor> steps[] = {{200001, QColor(0xFF, 0xEB, 0xCD)},
                                                    {500001, QColor(0xFF, 0xDA, 0xB9)},
                                                    {1000001, QColor(0xFF, 0xA0, 0x7A)},
                                                    {2000001, QColor(0xFF, 0x63, 0x47)}};
        for (const auto& [count, colour] : steps) {
            // The colour follows how full the window is; "R:" the whole session.
            form_->received.rxRawAll.assign(static_cast<std::size_t>(count), 'x');
            form_->received.rxCount = 3 * count;
            form_->onRefreshTick();
            QCOMPARE(form_->statusBar->Color(), colour);
            QCOMPARE(form_->statusBar->PanelText(2), QStringLiteral("R:%1").arg(3 * count));
        }
        QTest::mouseClick(form_->receive->clearButton, Qt::LeftButton);
        form_->onRefreshTick();
        QCOMPARE(form_->statusBar->PanelText(2), QStringLiteral("R:0"));
        QCOMPARE(form_->statusBar->PanelText(1), QStringLiteral("S:0"));
        QVERIFY(!form_->statusBar->Color().isValid());

        const auto yellow = [](QWidget* w) { return w->styleSheet().contains("FFFF00"); };
        panel_widgets::SetChecked(form_->receive->hexDisplayCheck, true);
        form_->send->crLfCheck->setChecked(true);
        form_->send->checksumBox->setCurrentIndex(2);
        form_->onRefreshTick();
        QVERIFY(yellow(form_->receive->hexDisplayCheck) && yellow(form_->send->crLfCheck));
        QVERIFY(yellow(form_->send->checksumBox) && yellow(form_->send->checksumLabel));
        QVERIFY(!yellow(form_->send->hexSendCheck) && !yellow(form_->receive->packetCheck));
        // The line-end box only matters in text mode.
        panel_widgets::SetChecked(form_->send->hexSendCheck, true);
        form_->send->checksumBox->setCurrentIndex(0);
        form_->onRefreshTick();
        QVERIFY(yellow(form_->send->hexSendCheck) && !yellow(form_->send->crLfCheck));
        QVERIFY(!yellow(form_->send->checksumBox) && !yellow(form_->send->checksumLabel));
    }

    void fontDialogSetsTheFontAndSaves() {
        QSignalSpy saves(form_->saveSettingsButton, &QPushButton::clicked);
        const QFont before = form_->receive->view->font();
        QTest::mouseClick(form_->receive->fontButton, Qt::LeftButton);
        QCOMPARE(form_->receive->view->font(), before);
        QFont chosen(QStringLiteral("Noto Sans Mono CJK SC"));
        chosen.setPointSize(17);
        prompts_.answer = chosen;
        QTest::mouseClick(form_->receive->fontButton, Qt::LeftButton);
        QCOMPARE(form_->receive->view->font().pointSize(), 17);
        QCOMPARE(saves.count(), 2);
    }
};

QTEST_MAIN(ReceiveWindowTest)
#include "tst_receive_window.moc"
