// Opening and closing the port from the window, its errors, the bit rate question, the
// DTR/RTS boxes, the port list and device arrival.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
#include "app/FileRowPanel.h"
#include "app/LinkBar.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/PortNames.h"
#include "app/PreparedPanel.h"
#include "app/ProgrammerPage.h"
#include "app/ReceivePanel.h"
#include "app/SaveFolder.h"
#include "app/SendPanel.h"
#include "app/StatusPanels.h"
#include "app/UpdateCheck.h"
#include "app/WindowState.h"
#include "app/core/Messages.h"
#include "datapath/qt/ReceiveView.h"
#include "serial/ctl/CPortCtl.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

using zenta::Msg;
using zenta::MsgId;

class ConnectionTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    std::unique_ptr<MainWindow> form_;
    TWindowFixture fixture_;
    std::vector<std::string> entries_;

    void SelectPort(const std::string& entry) {
        entries_ = {entry};
        form_->connection->RefreshPortList();
        QCOMPARE(form_->connection->portBox->currentText(), QString::fromStdString(entry));
    }
    // Both automatic senders running, as a failure must stop them.
    void StartSenders() {
        panel_widgets::SetChecked(form_->send->timedSendCheck, true);
        form_->send->timedSendTimer->start();
        panel_widgets::SetChecked(form_->prepared->loopCheck, true);
        form_->prepared->loopTimer->start();
    }
    void ExpectSafeAfterError() {
        QVERIFY(!form_->port.Connected());
        QVERIFY(!form_->files->sendFileButton->isEnabled());
        QVERIFY(!form_->send->sendButton->isEnabled());
        QVERIFY(!form_->send->timedSendTimer->isActive());
        QVERIFY(!form_->prepared->loopTimer->isActive());
        QVERIFY(!form_->send->timedSendCheck->isChecked());
        QVERIFY(!form_->prepared->loopCheck->isChecked());
        QCOMPARE(StopFlag, uint8_t{1});
        QCOMPARE(form_->connection->led->State(), lsOff);
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_ = RecordingPrompts();
        entries_.clear();
        ConnectionPanel::PortEntrySource = [this] { return entries_; };
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
    }
    void cleanup() {
        form_.reset();
        fixture_.Stop();
    }

    void openAndCloseAPseudoTerminal() {
        TPty pty;
        QVERIFY(!pty.SlavePath().empty());
        SelectPort(pty.SlavePath() + " Test board");
        form_->onRefreshTick();
        QCOMPARE(form_->statusBar->PanelText(4), QString());

        QTest::mouseClick(form_->connection->openButton, Qt::LeftButton);
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(form_->port.Connected());
        QCOMPARE(form_->port.Port(), pty.SlavePath());
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("关闭串口"));
        QCOMPARE(form_->connection->led->State(), lsOn);
        QVERIFY(form_->files->sendFileButton->isEnabled());
        QVERIFY(form_->send->sendButton->isEnabled());
        QVERIFY(form_->connection->dtrCheck->isEnabled());
        QVERIFY(form_->connection->rtsCheck->isEnabled());
        // A pseudo-terminal has no modem lines: all three inputs read off.
        form_->onRefreshTick();
        QTRY_COMPARE(form_->statusBar->PanelText(4), QStringLiteral("CTS=0 DSR=0 RLSD=0 "));
        QVERIFY(form_->statusBar->PanelText(3).contains(QStringLiteral("已打开")));

        // Data from the device reaches the receive window.
        QVERIFY(pty.Send("hello"));
        QTRY_COMPARE(form_->received.rxCount, int64_t{5});
        QVERIFY(form_->receive->view->toPlainText().endsWith(QStringLiteral("hello")));

        QTest::mouseClick(form_->connection->openButton, Qt::LeftButton);
        QVERIFY(!form_->port.Connected());
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("打开串口"));
        QCOMPARE(form_->connection->led->State(), lsOff);
        QVERIFY(!form_->files->sendFileButton->isEnabled());
        QVERIFY(!form_->send->sendButton->isEnabled());
        QVERIFY(!form_->connection->dtrCheck->isEnabled());
        QCOMPARE(StopFlag, uint8_t{1});
        form_->onRefreshTick();
        QCOMPARE(form_->statusBar->PanelText(4), QStringLiteral("CTS=0 DSR=0 RLSD=0 "));

        // Captions follow the language at the time of the event.
        EnglishUI = 1;
        QTest::mouseClick(form_->connection->openButton, Qt::LeftButton);
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("CloseCom"));
        form_->close();
        QVERIFY(!form_->port.Connected());
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("OpenCom"));
    }

    void entryWithoutAPortNameOpensNothing() {
        form_->send->sendButton->setEnabled(false);
        SelectPort("ttyS0 not a device path");
        QTest::mouseClick(form_->connection->openButton, Qt::LeftButton);
        QVERIFY(!form_->port.Connected());
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(form_->send->sendButton->isEnabled());
        QVERIFY(form_->connection->dtrCheck->isEnabled());
    }

    void missingDeviceReportsInBothLanguages() {
        const std::string missing = "/dev/zenta-no-such-port";
        form_->connection->portBox->setEditText(QString::fromStdString(missing));
        for (int english : {0, 1}) {
            EnglishUI = english;
            prompts_.messages.clear();
            StopFlag = 0;
            StartSenders();
            form_->send->sendButton->setEnabled(true);
            form_->connection->onOpenClicked();
            QCOMPARE(prompts_.messages.size(), 1);
            // Nothing the user can fix is named for a missing device: the plain message.
            QCOMPARE(prompts_.messages[0], Msg(MsgId::OpenError, english == 1));
            ExpectSafeAfterError();
        }
        QVERIFY(prompts_.messages[0].startsWith(QStringLiteral("Current Serial port Error!!!")));
    }

    void busyDeviceNamesTheCause() {
        TPty pty;
        const int holder = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(holder >= 0);
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        SelectPort(pty.SlavePath());
        StartSenders();
        form_->connection->onOpenClicked();
        ::close(holder);
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages[0],
                 Msg(MsgId::OpenError, false) + QStringLiteral("\r\n该串口正被其他程序占用。"));
        ExpectSafeAfterError();
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("打开串口"));

        // Once the other program lets go, the same click opens it.
        form_->connection->onOpenClicked();
        QVERIFY(form_->port.Connected());
    }

    void customBitRateQuestion() {
        auto choose = [this](std::optional<QString> answer) {
            prompts_.messages.clear();
            prompts_.answers = {answer};
            form_->connection->baudBox->SelectByUser(0);
        };
        TPty pty;
        SelectPort(pty.SlavePath());
        form_->connection->onOpenClicked();
        QVERIFY(form_->port.Connected());

        choose(QStringLiteral("60000000"));
        QCOMPARE(prompts_.queries.last(),
                 QStringLiteral("Custom baudrate|Please input  the custom baud rate:         "));
        QCOMPARE(prompts_.messages, QStringList{QStringLiteral("The highest baudrate is 50M BPS")});
        QCOMPARE(form_->port.BaudRate(), brCustom);
        QCOMPARE(form_->port.CustomBaudRate(), 50000000);
        QCOMPARE(form_->connection->customBaudEdit->text(), QStringLiteral("50000000"));
        QVERIFY(!form_->connection->customBaudEdit->isHidden());
        QVERIFY(form_->port.Connected());

        choose(QStringLiteral("50"));
        QCOMPARE(prompts_.messages, QStringList{QStringLiteral("The lowest baudrate is 110 BPS")});
        QCOMPARE(form_->port.CustomBaudRate(), 110);
        QCOMPARE(form_->connection->customBaudEdit->text(), QStringLiteral("110"));

        choose(QStringLiteral("250000"));
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(form_->port.CustomBaudRate(), 250000);

        // A standard entry hides the custom box.
        form_->connection->baudBox->SelectByUser(br9600);
        QCOMPARE(form_->port.BaudRate(), br9600);
        QVERIFY(form_->connection->customBaudEdit->isHidden());

        // Not a number, and cancel: the port keeps its rate.
        choose(QStringLiteral("abc"));
        QCOMPARE(prompts_.messages, QStringList{QStringLiteral("please input a number!")});
        QCOMPARE(form_->port.BaudRate(), br9600);
        QCOMPARE(form_->connection->baudBox->currentIndex(), 0);
        choose(std::nullopt);
        QCOMPARE(prompts_.messages, QStringList{QStringLiteral("It's none!")});
        QCOMPARE(form_->port.BaudRate(), br9600);
        QCOMPARE(form_->port.CustomBaudRate(), 250000);
    }

    void refusedRateFallsBackTo115200() {
        FakeLog log;
        form_->port.SetDeviceFactory([&log] { return std::make_unique<FakeDevice>(&log); });
        SelectPort("/dev/ttyFAKE0");
        form_->connection->onOpenClicked();
        QVERIFY(form_->port.Connected());
        log.configError = EINVAL;
        prompts_.answers = {QStringLiteral("12345")};
        form_->connection->baudBox->SelectByUser(0);
        QCOMPARE(prompts_.messages.last(),
                 QStringLiteral("This Port does not support the baudrate,Please try 115200BPS!"));
        QCOMPARE(form_->connection->baudBox->currentIndex(), int(br115200));
        QVERIFY(form_->connection->customBaudEdit->isHidden());
        // A data-bits value the device refuses goes back to the one in force, and the
        // user is told which one did not take.
        form_->connection->dataBitsBox->SelectByUser(dbFive);
        QCOMPARE(form_->connection->dataBitsBox->currentIndex(), int(dbEight));
        QCOMPARE(form_->port.DataBits(), dbEight);
        QCOMPARE(prompts_.messages.last(),
                 QStringLiteral("串口不支持此设置：数据位 5（仍为 8）。"));
        log.configError = 0;
        form_->port.Close();
        form_->port.SetDeviceFactory({});
    }

    // A pseudo-terminal takes every line setting without an error but keeps 8 data bits
    // and no parity: the boxes and the status bar show that, and the user is told.
    void lineValuesTheDeviceDoesNotHoldAreShownAsHeld() {
        TPty pty;
        SelectPort(pty.SlavePath());
        EnglishUI = 1;
        form_->connection->dataBitsBox->SelectByUser(dbSeven);
        form_->connection->parityBox->SelectByUser(prEven);
        form_->connection->stopBitsBox->SelectByUser(sbTwoStopBits);
        QVERIFY(prompts_.messages.isEmpty());  // closed: nothing to ask the device yet

        form_->connection->onOpenClicked();
        QVERIFY(form_->port.Connected());
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages.last(),
                 QStringLiteral("The port does not take this setting: data bits 7 (kept: 8), "
                                "parity Even (kept: None)."));
        QCOMPARE(form_->connection->dataBitsBox->currentIndex(), int(dbEight));
        QCOMPARE(form_->connection->parityBox->currentIndex(), int(prNone));
        QCOMPARE(form_->connection->stopBitsBox->currentIndex(), int(sbTwoStopBits));
        QVERIFY(form_->statusBar->PanelText(3).endsWith(QStringLiteral(",8,2,None,None")));

        // Taken without an error, not held: replaced by what is held.
        form_->connection->parityBox->SelectByUser(prMark);
        QCOMPARE(prompts_.messages.last(),
                 QStringLiteral("The port does not take this setting: parity Mark (kept: None)."));
        QCOMPARE(form_->connection->parityBox->currentIndex(), int(prNone));
        // Refused outright: the stop bits in force stay.
        form_->connection->stopBitsBox->SelectByUser(sbOne5StopBits);
        QCOMPARE(prompts_.messages.last(),
                 QStringLiteral("The port does not take this setting: stop bits 1.5 (kept: 2)."));
        QCOMPARE(form_->connection->stopBitsBox->currentIndex(), int(sbTwoStopBits));
        QCOMPARE(form_->port.StopBits(), sbTwoStopBits);
        // A value it does hold says nothing.
        const auto shown = prompts_.messages.size();
        form_->connection->stopBitsBox->SelectByUser(sbOneStopBit);
        QCOMPARE(prompts_.messages.size(), shown);
        QVERIFY(form_->statusBar->PanelText(3).endsWith(QStringLiteral(",8,1,None,None")));
        form_->connection->onOpenClicked();
    }

    void dtrAndRtsBoxes() {
        FakeLog log;
        form_->port.SetDeviceFactory([&log] { return std::make_unique<FakeDevice>(&log); });
        SelectPort("/dev/ttyFAKE0 Fake adapter");
        // Checked while closed: nothing reaches a device until the open.
        panel_widgets::SetChecked(form_->connection->dtrCheck, true);
        QVERIFY(log.Calls().empty());
        form_->connection->onOpenClicked();
        QVERIFY(form_->port.Connected());
        auto calls = log.Calls();
        const auto open = std::find(calls.begin(), calls.end(), "open /dev/ttyFAKE0");
        QVERIFY(open != calls.end());
        // The boxes are applied after the open, DTR first; the last word counts.
        const auto dtr = std::find(calls.rbegin(), calls.rend(), std::string("dtr 1"));
        const auto rts = std::find(calls.rbegin(), calls.rend(), std::string("rts 0"));
        QVERIFY(dtr != calls.rend() && rts != calls.rend());
        QVERIFY(dtr.base() > open && rts.base() > dtr.base());
        QCOMPARE(std::count(calls.begin(), calls.end(), std::string("dtr 1")), 1);

        // While open a click drives the line at once.
        panel_widgets::SetChecked(form_->connection->rtsCheck, true);
        QCOMPARE(log.Calls().back(), std::string("rts 1"));

        // The adapter is gone when DTR changes: the port closes without a message.
        log.dtrError = EIO;
        panel_widgets::SetChecked(form_->connection->dtrCheck, false);
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(!form_->port.Connected());
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("打开串口"));
        QCOMPARE(form_->connection->led->State(), lsOff);
        form_->port.SetDeviceFactory({});
    }

    void refreshSelectsTheCurrentPort() {
        TPty a;
        TPty b;
        const std::string ea = a.SlavePath() + " Board A";
        const std::string eb = b.SlavePath() + " Board B";
        entries_ = {ea, eb};
        form_->port.SetPort(b.SlavePath());
        form_->connection->RefreshPortList();
        QCOMPARE(form_->connection->portBox->count(), 2);
        QCOMPARE(form_->connection->portBox->currentText(), QString::fromStdString(eb));
        QVERIFY(form_->connection->portBox->view()->minimumWidth() >= int(eb.size() * 6.5));
        // The refresh names no port itself; an unknown port selects the first entry.
        QCOMPARE(form_->port.Port(), b.SlavePath());
        form_->port.SetPort("/dev/elsewhere");
        form_->connection->RefreshPortList();
        QCOMPARE(form_->connection->portBox->currentIndex(), 0);
        // A typed device that exists but is not listed (a pseudo-terminal given on the
        // command line) stays the port box's choice when another device comes or goes.
        TPty typed;
        form_->port.SetPort(typed.SlavePath());
        form_->connection->portBox->setEditText(QString::fromStdString(typed.SlavePath()));
        form_->connection->RefreshPortList();
        QCOMPARE(form_->connection->portBox->currentText(),
                 QString::fromStdString(typed.SlavePath()));
        QCOMPARE(form_->connection->portBox->count(), 3);
        form_->connection->portBox->SelectByUser(0);

        // Choosing an entry names the port, even while it is open.
        form_->connection->onOpenClicked();
        QVERIFY(form_->port.Connected());
        QCOMPARE(form_->port.Port(), a.SlavePath());
        form_->connection->portBox->SelectByUser(1);
        QCOMPARE(form_->port.Port(), b.SlavePath());
        QVERIFY(form_->port.Connected());
    }

    void deviceArrivalReopensTheOpenPort() {
        namespace fs = std::filesystem;
        const fs::path link =
            fs::temp_directory_path() / ("ttyZENTAtest" + std::to_string(::getpid()));
        auto pty = std::make_unique<TPty>();
        fs::remove(link);
        fs::create_symlink(pty->SlavePath(), link);
        SelectPort(link.string());
        form_->connection->onOpenClicked();
        QVERIFY(form_->port.Connected());

        // Unplug, then the adapter comes back under the same name.
        pty->CloseMaster();
        QTest::qWait(50);
        auto replugged = std::make_unique<TPty>();
        fs::remove(link);
        fs::create_symlink(replugged->SlavePath(), link);
        pty.reset();

        // A removal changes nothing.
        form_->connection->onDeviceChange(DeviceChange::PortRemoved);
        QCOMPARE(form_->received.rxCount, int64_t{0});
        QCOMPARE(form_->connection->portBox->count(), 1);

        form_->connection->onDeviceChange(DeviceChange::PortArrived);
        QVERIFY(form_->port.Connected());
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("关闭串口"));
        QVERIFY(replugged->Send("after"));
        QTRY_VERIFY(form_->receive->view->toPlainText().endsWith(QStringLiteral("after")));
        QVERIFY(prompts_.messages.isEmpty());
        form_->port.Close();
        fs::remove(link);
    }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
