// The programmer page in a real window against the simulated bootloader.
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
#include "app/FileRowPanel.h"
#include "app/IspSchematic.h"
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
#include "isp/kit/IspHarness.h"
#include "serial/ctl/CPortCtl.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

class IspWindowTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<MainWindow> form_;
    QTemporaryDir dir_;

    QString WriteHex(const QString& name, std::size_t bytes) {
        std::vector<std::uint8_t> image(bytes);
        for (std::size_t i = 0; i < bytes; ++i) {
            image[i] = static_cast<std::uint8_t>(i * 13 + 1);
        }
        QFile f(dir_.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray::fromStdString(isp_test::HexText(image)));
        return f.fileName();
    }

    // The run goes on from the window's events after the click; true once it ended.
    bool RunEnds() {
        QSignalSpy ended(form_->programmer, &ProgrammerPage::runEnded);
        return !form_->programmer->Running() || ended.wait(60000);
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_ = RecordingPrompts();
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
        form_->show();
        EnglishUI = 1;
    }
    void cleanup() {
        form_.reset();
        fixture_.Stop();
    }

    // Clear pressed again and again during the run loses no reply.
    void flashesThroughTheWindowWhileTheUserClears() {
        e2e::Devsim sim;
        const QString dump = dir_.filePath("flash.bin");
        QVERIFY(sim.Start({"bootloader", "--line-timing", "--dump", dump}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        form_->connection->baudBox->setCurrentIndex(br57600);
        form_->connection->onBaudChanged();
        panel_widgets::SetChecked(form_->receive->packetCheck, true);
        form_->files->pathEdit->setText(WriteHex("img.hex", 3000));
        QVERIFY(form_->programmer->startButton->isEnabled());

        const int viewHold = form_->receive->view->appendHoldMs();
        QVERIFY(viewHold > 0);
        int clears = 0;
        bool sawRunning = false;
        QTimer clear;
        connect(&clear, &QTimer::timeout, this, [&] {
            sawRunning |=
                form_->programmer->Running() && !form_->programmer->startButton->isEnabled();
            if (form_->programmer->Running()) {
                ++clears;
                QTest::mouseClick(form_->receive->clearButton, Qt::LeftButton);
            }
        });
        clear.start(3);
        QTest::mouseClick(form_->programmer->startButton, Qt::LeftButton);
        QVERIFY(RunEnds());
        clear.stop();

        const QString text = form_->receive->view->toPlainText();
        QVERIFY2(text.contains("User's Program is Running!"), qPrintable(text.right(400)));
        QVERIFY(clears > 0);
        QVERIFY(sawRunning);
        QVERIFY(!form_->programmer->Running());
        QVERIFY(form_->programmer->startButton->isEnabled());
        QVERIFY(form_->connection->openButton->isEnabled());
        QVERIFY(form_->progressBar->isHidden());
        // However fast the blocks went, the status bar ends on the last one.
        QCOMPARE(form_->statusBar->PanelText(0), QStringLiteral("File:2816"));
        QCOMPARE(form_->connection->baudBox->currentIndex(), int(br57600));
        QCOMPARE(form_->port.BaudRate(), br57600);
        QCOMPARE(form_->connection->parityBox->currentIndex(), 0);
        QVERIFY(form_->receive->packetCheck->isChecked());
        // The receive window shows replies at its own pace again.
        QCOMPARE(form_->receive->view->appendHoldMs(), viewHold);
        QVERIFY(!form_->connection->rtsCheck->isChecked());
        QVERIFY(form_->port.Connected());
        QVERIFY(prompts_.messages.isEmpty());

        sim.Stop();
        const QByteArray flash = FileBytes(dump);
        std::vector<std::uint8_t> image(3000);
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<std::uint8_t>(i * 13 + 1);
        }
        QVERIFY(flash.size() >= 3072);
        QVERIFY(std::equal(image.begin(), image.end(),
                           reinterpret_cast<const std::uint8_t*>(flash.constData())));
    }

    void stopButtonEndsTheBlockLoop() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"bootloader", "--line-timing", "--latency-ms", "2"}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        form_->programmer->slowRadio->setChecked(true);
        form_->files->pathEdit->setText(WriteHex("big.hex", 32 * 1024));
        // The programmer page as a user sees it during a run; saved on request.
        form_->onSidePanelClicked();
        form_->sidePages->setCurrentWidget(form_->programmer->page);
        const QString shot = qEnvironmentVariable("ZENTA_ISP_SCREENSHOT");
        QTimer stop;
        bool schematicWhole = false;
        connect(&stop, &QTimer::timeout, this, [&] {
            if (form_->progressBar->isVisible() && form_->progressBar->value() > 40) {
                stop.stop();
                // The progress bar takes room from the page; the drawing shrinks, uncut.
                const QRect drawing = form_->programmer->schematic->geometry();
                schematicWhole =
                    QRect(QPoint(0, 0), form_->programmer->page->size()).contains(drawing);
                if (!shot.isEmpty()) {
                    form_->screen()->grabWindow(form_->winId()).save(shot);
                }
                QTest::mouseClick(form_->files->stopButton, Qt::LeftButton);
            }
        });
        stop.start(5);
        QTest::mouseClick(form_->programmer->startButton, Qt::LeftButton);
        QVERIFY(RunEnds());
        const QString text = form_->receive->view->toPlainText();
        QVERIFY2(text.endsWith("\nUser abort!\n"), qPrintable(text.right(200)));
        QVERIFY(schematicWhole);
        QCOMPARE(StopFlag, uint8_t{0});
        QVERIFY(form_->programmer->startButton->isEnabled());
        QCOMPARE(form_->port.BaudRate(), br115200);
    }

    // Reading back gets no long frame out, yet the window is served and Stop ends it; the
    // replies show in order among the run's lines.
    void stopIsServedWhileVerifying() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"bootloader", "--line-timing"}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        form_->programmer->verifyCheck->setChecked(true);
        form_->files->pathEdit->setText(WriteHex("verify.hex", 32 * 1024));
        int ticksWhileVerifying = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            // The last block is written: the run reads the image back.
            const bool written = form_->statusBar->PanelText(0) == QStringLiteral("File:32512");
            if (written && form_->programmer->Running() && ++ticksWhileVerifying == 3) {
                QTest::mouseClick(form_->files->stopButton, Qt::LeftButton);
            }
        });
        tick.start(5);
        QTest::mouseClick(form_->programmer->startButton, Qt::LeftButton);
        QVERIFY(RunEnds());
        tick.stop();
        const QString text = form_->receive->view->toPlainText();
        QVERIFY2(text.endsWith("\nUser abort!\n"), qPrintable(text.right(200)));
        QVERIFY(!text.contains("User's Program is Running!"));
        // Replies are shown in one go per turn of the window, yet each stays between the
        // lines that announce and answer it.
        QVERIFY2(text.contains("\n7F y Has been connected to the MCU"), qPrintable(text.left(300)));
        QVERIFY(text.contains("quit. |y\"\\0\\0y\nVersion:V22"));
        QVERIFY(ticksWhileVerifying >= 3);
        QCOMPARE(StopFlag, uint8_t{0});
    }

    // The click only begins the run: no timer, click or key is served inside it. While
    // the run owns the port every other writer is held: the send line, a prepared row,
    // typed keys, a timed send, a file send and a second start leave the chip's
    // exchange untouched.
    void noHandlerReentersAndEveryOtherWriterIsHeld() {
        e2e::Devsim sim;
        const QString dump = dir_.filePath("held.bin");
        QVERIFY(sim.Start({"bootloader", "--line-timing", "--latency-ms", "1", "--dump", dump}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        form_->programmer->slowRadio->setChecked(true);
        form_->files->pathEdit->setText(WriteHex("held.hex", 8 * 1024));
        form_->send->lineEdit->setText(QStringLiteral("INTRUDER"));
        form_->send->intervalEdit->setText(QStringLiteral("10"));
        bool inClick = false;
        int ticks = 0;
        int nested = 0;
        int tries = 0;
        QTimer poke;
        connect(&poke, &QTimer::timeout, this, [&] {
            ++ticks;
            nested += inClick ? 1 : 0;
            if (!form_->programmer->Running() || !form_->progressBar->isVisible() || tries > 0) {
                return;
            }
            ++tries;
            QTest::mouseClick(form_->send->sendButton, Qt::LeftButton);
            form_->prepared->sendButton(1)->click();
            QTest::keyClicks(form_->receive->view, QStringLiteral("typed"));
            QTest::keyClick(form_->receive->view, Qt::Key_Return);
            panel_widgets::SetChecked(form_->send->timedSendCheck, true);
            form_->files->onSendFileClicked();
            form_->programmer->onStartClicked();
        });
        poke.start(2);
        inClick = true;
        QTest::mouseClick(form_->programmer->startButton, Qt::LeftButton);
        inClick = false;
        QVERIFY(form_->programmer->Running());
        QVERIFY(RunEnds());
        poke.stop();
        panel_widgets::SetChecked(form_->send->timedSendCheck, false);

        QCOMPARE(nested, 0);
        QVERIFY(ticks > 10);
        QCOMPARE(tries, 1);
        QVERIFY(!form_->FileSendRunning());
        const QString text = form_->receive->view->toPlainText();
        QVERIFY2(text.contains("User's Program is Running!"), qPrintable(text.right(400)));
        QVERIFY(prompts_.messages.isEmpty());
        sim.Stop();
        const QByteArray flash = FileBytes(dump);
        QVERIFY(flash.size() >= 8 * 1024);
        for (int i = 0; i < 8 * 1024; ++i) {
            QCOMPARE(static_cast<std::uint8_t>(flash[i]), static_cast<std::uint8_t>(i * 13 + 1));
        }
    }

    // Unplugged during a run: the port's failure once, the run over, the page ready again.
    void unplugIsServedDuringARun() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"bootloader", "--line-timing", "--latency-ms", "1"}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        form_->programmer->slowRadio->setChecked(true);
        form_->files->pathEdit->setText(WriteHex("unplug.hex", 16 * 1024));
        form_->programmer->onStartClicked();
        QVERIFY(QTest::qWaitFor([&] { return form_->progressBar->value() > 10; }, 20000));
        sim.Stop();
        QVERIFY(RunEnds());
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY(!form_->receive->view->toPlainText().contains("User abort!"));
        QVERIFY(form_->programmer->startButton->isEnabled());
    }

    // Closed during a run: it ends without a word and the window goes.
    void closeIsServedDuringARun() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"bootloader", "--line-timing", "--latency-ms", "1"}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        form_->files->pathEdit->setText(WriteHex("close.hex", 16 * 1024));
        prompts_.messages.clear();
        form_->programmer->onStartClicked();
        QVERIFY(QTest::qWaitFor([&] { return form_->progressBar->value() > 10; }, 20000));
        form_->close();
        QVERIFY(RunEnds());
        QVERIFY(!form_->port.Connected());
        QVERIFY(prompts_.messages.isEmpty());
        form_.reset();
    }

    void closedPortAndMissingFile() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"bootloader"}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        form_->connection->baudBox->setCurrentIndex(br9600);
        form_->connection->onBaudChanged();
        panel_widgets::InvokeClick(form_->connection->openButton);  // closed before the click
        QVERIFY(!form_->port.Connected());

        form_->files->pathEdit->setText(WriteHex("small.hex", 16));
        form_->programmer->onStartClicked();
        QVERIFY(RunEnds());
        QVERIFY(form_->receive->view->toPlainText().contains("User's Program is Running!"));
        QVERIFY(!form_->port.Connected());
        QCOMPARE(form_->connection->baudBox->currentIndex(), int(br9600));

        // A missing file: the box, nothing sent, the port the run opened stays open.
        EnglishUI = 0;
        form_->files->pathEdit->setText(dir_.filePath("missing.hex"));
        form_->programmer->onStartClicked();
        QVERIFY(RunEnds());
        QCOMPARE(prompts_.messages, QStringList{"请点左边的\"打开文件\"选择一个HEX文件."});
        QVERIFY(form_->port.Connected());
        QVERIFY(form_->programmer->startButton->isEnabled());
        QVERIFY(!form_->files->sendFileButton->isEnabled());
    }
};

QTEST_MAIN(IspWindowTest)
#include "tst_isp_window.moc"
