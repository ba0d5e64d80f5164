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

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/PortNames.h"
#include "app/StatusPanels.h"
#include "app/core/Messages.h"
#include "serial/ctl/CPortCtl.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

using zenta::Msg;
using zenta::MsgId;

class ConnectionTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    std::unique_ptr<TForm1> form_;
    TWindowFixture fixture_;
    std::vector<std::string> entries_;

    void SelectPort(const std::string& entry) {
        entries_ = {entry};
        form_->Label23Click(nullptr);
        QCOMPARE(form_->ComComboBox1->currentText(), QString::fromStdString(entry));
    }
    // Both automatic senders running, as a failure must stop them.
    void StartSenders() {
        TForm1::SetChecked(form_->CheckBox3, true);
        form_->SendStringTimer->start();
        TForm1::SetChecked(form_->CheckBox6, true);
        form_->Send_N_StringTimer->start();
    }
    void ExpectSafeAfterError() {
        QVERIFY(!form_->ComPort.Connected());
        QVERIFY(!form_->Button4->isEnabled());
        QVERIFY(!form_->Button_Send->isEnabled());
        QVERIFY(!form_->SendStringTimer->isActive());
        QVERIFY(!form_->Send_N_StringTimer->isActive());
        QVERIFY(!form_->CheckBox3->isChecked());
        QVERIFY(!form_->CheckBox6->isChecked());
        QCOMPARE(StopFlag, uint8_t{1});
        QCOMPARE(form_->ComLed1->State(), lsOff);
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_ = RecordingPrompts();
        entries_.clear();
        TForm1::PortEntrySource = [this] { return entries_; };
        form_ = std::make_unique<TForm1>();
        form_->getNEWSTimer->stop();
    }
    void cleanup() {
        form_.reset();
        fixture_.Stop();
    }

    void openAndCloseAPseudoTerminal() {
        TPty pty;
        QVERIFY(!pty.SlavePath().empty());
        SelectPort(pty.SlavePath() + " Test board");
        form_->Rfreues100msTimer(nullptr);
        QCOMPARE(form_->StatusBar1->PanelText(4), QString());

        QTest::mouseClick(form_->Button_Open, Qt::LeftButton);
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(form_->ComPort.Connected());
        QCOMPARE(form_->ComPort.Port(), pty.SlavePath());
        QCOMPARE(form_->Button_Open->text(), QStringLiteral("关闭串口"));
        QCOMPARE(form_->ComLed1->State(), lsOn);
        QVERIFY(form_->Button4->isEnabled());
        QVERIFY(form_->Button_Send->isEnabled());
        QVERIFY(form_->CheckBox1->isEnabled());
        QVERIFY(form_->CheckBox2->isEnabled());
        // A pseudo-terminal has no modem lines: all three inputs read off.
        form_->Rfreues100msTimer(nullptr);
        QTRY_COMPARE(form_->StatusBar1->PanelText(4), QStringLiteral("CTS=0 DSR=0 RLSD=0 "));
        QVERIFY(form_->StatusBar1->PanelText(3).contains(QStringLiteral("已打开")));

        // Data from the device reaches the receive window.
        QVERIFY(pty.Send("hello"));
        QTRY_COMPARE(form_->Rx.rxCount, int64_t{5});
        QVERIFY(form_->Memo->toPlainText().endsWith(QStringLiteral("hello")));

        QTest::mouseClick(form_->Button_Open, Qt::LeftButton);
        QVERIFY(!form_->ComPort.Connected());
        QCOMPARE(form_->Button_Open->text(), QStringLiteral("打开串口"));
        QCOMPARE(form_->ComLed1->State(), lsOff);
        QVERIFY(!form_->Button4->isEnabled());
        QVERIFY(!form_->Button_Send->isEnabled());
        QVERIFY(!form_->CheckBox1->isEnabled());
        QCOMPARE(StopFlag, uint8_t{1});
        form_->Rfreues100msTimer(nullptr);
        QCOMPARE(form_->StatusBar1->PanelText(4), QStringLiteral("CTS=0 DSR=0 RLSD=0 "));

        // Captions follow the language at the time of the event.
        EnglishUI = 1;
        QTest::mouseClick(form_->Button_Open, Qt::LeftButton);
        QCOMPARE(form_->Button_Open->text(), QStringLiteral("CloseCom"));
        form_->FormClose(form_.get());
        QVERIFY(!form_->ComPort.Connected());
        QCOMPARE(form_->Button_Open->text(), QStringLiteral("OpenCom"));
    }

    void entryWithoutAPortNameOpensNothing() {
        form_->Button_Send->setEnabled(false);
        SelectPort("ttyS0 not a device path");
        QTest::mouseClick(form_->Button_Open, Qt::LeftButton);
        QVERIFY(!form_->ComPort.Connected());
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(form_->Button_Send->isEnabled());
        QVERIFY(form_->CheckBox1->isEnabled());
    }

    void missingDeviceReportsInBothLanguages() {
        const std::string missing = "/dev/zenta-no-such-port";
        form_->ComComboBox1->setEditText(QString::fromStdString(missing));
        for (int english : {0, 1}) {
            EnglishUI = english;
            prompts_.messages.clear();
            StopFlag = 0;
            StartSenders();
            form_->Button_Send->setEnabled(true);
            form_->Button_OpenClick(form_->Button_Open);
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
        form_->Button_OpenClick(form_->Button_Open);
        ::close(holder);
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages[0],
                 Msg(MsgId::OpenError, false) + QStringLiteral("\r\n该串口正被其他程序占用。"));
        ExpectSafeAfterError();
        QCOMPARE(form_->Button_Open->text(), QStringLiteral("打开串口"));

        // Once the other program lets go, the same click opens it.
        form_->Button_OpenClick(form_->Button_Open);
        QVERIFY(form_->ComPort.Connected());
    }

    void customBitRateQuestion() {
        auto choose = [this](std::optional<QString> answer) {
            prompts_.messages.clear();
            prompts_.answers = {answer};
            form_->ComComboBox2->SelectByUser(0);
        };
        TPty pty;
        SelectPort(pty.SlavePath());
        form_->Button_OpenClick(nullptr);
        QVERIFY(form_->ComPort.Connected());

        choose(QStringLiteral("60000000"));
        QCOMPARE(prompts_.queries.last(),
                 QStringLiteral("Custom baudrate|Please input  the custom baud rate:         "));
        QCOMPARE(prompts_.messages, QStringList{QStringLiteral("The highest baudrate is 50M BPS")});
        QCOMPARE(form_->ComPort.BaudRate(), brCustom);
        QCOMPARE(form_->ComPort.CustomBaudRate(), 50000000);
        QCOMPARE(form_->CustomBaudInput->text(), QStringLiteral("50000000"));
        QVERIFY(!form_->CustomBaudInput->isHidden());
        QVERIFY(form_->ComPort.Connected());

        choose(QStringLiteral("50"));
        QCOMPARE(prompts_.messages, QStringList{QStringLiteral("The lowest baudrate is 110 BPS")});
        QCOMPARE(form_->ComPort.CustomBaudRate(), 110);
        QCOMPARE(form_->CustomBaudInput->text(), QStringLiteral("110"));

        choose(QStringLiteral("250000"));
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(form_->ComPort.CustomBaudRate(), 250000);

        // A standard entry hides the custom box.
        form_->ComComboBox2->SelectByUser(br9600);
        QCOMPARE(form_->ComPort.BaudRate(), br9600);
        QVERIFY(form_->CustomBaudInput->isHidden());

        // Not a number, and cancel: the port keeps its rate.
        choose(QStringLiteral("abc"));
        QCOMPARE(prompts_.messages, QStringList{QStringLiteral("please input a number!")});
        QCOMPARE(form_->ComPort.BaudRate(), br9600);
        QCOMPARE(form_->ComComboBox2->currentIndex(), 0);
        choose(std::nullopt);
        QCOMPARE(prompts_.messages, QStringList{QStringLiteral("It's none!")});
        QCOMPARE(form_->ComPort.BaudRate(), br9600);
        QCOMPARE(form_->ComPort.CustomBaudRate(), 250000);
    }

    void refusedRateFallsBackTo115200() {
        FakeLog log;
        form_->ComPort.SetDeviceFactory([&log] { return std::make_unique<FakeDevice>(&log); });
        SelectPort("/dev/ttyFAKE0");
        form_->Button_OpenClick(nullptr);
        QVERIFY(form_->ComPort.Connected());
        log.configError = EINVAL;
        prompts_.answers = {QStringLiteral("12345")};
        form_->ComComboBox2->SelectByUser(0);
        QCOMPARE(prompts_.messages.last(),
                 QStringLiteral("This Port does not support the baudrate,Please try 115200BPS!"));
        QCOMPARE(form_->ComComboBox2->currentIndex(), int(br115200));
        QVERIFY(form_->CustomBaudInput->isHidden());
        // A data-bits value the device refuses falls back to 8 bits without a word.
        const auto shown = prompts_.messages.size();
        form_->ComComboBox3->SelectByUser(dbFive);
        QCOMPARE(form_->ComComboBox3->currentIndex(), int(dbEight));
        QCOMPARE(prompts_.messages.size(), shown);
        log.configError = 0;
        form_->ComPort.Close();
        form_->ComPort.SetDeviceFactory({});
    }

    void dtrAndRtsBoxes() {
        FakeLog log;
        form_->ComPort.SetDeviceFactory([&log] { return std::make_unique<FakeDevice>(&log); });
        SelectPort("/dev/ttyFAKE0 Fake adapter");
        // Checked while closed: nothing reaches a device until the open.
        TForm1::SetChecked(form_->CheckBox1, true);
        QVERIFY(log.Calls().empty());
        form_->Button_OpenClick(nullptr);
        QVERIFY(form_->ComPort.Connected());
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
        TForm1::SetChecked(form_->CheckBox2, true);
        QCOMPARE(log.Calls().back(), std::string("rts 1"));

        // The adapter is gone when DTR changes: the port closes without a message.
        log.dtrError = EIO;
        TForm1::SetChecked(form_->CheckBox1, false);
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(!form_->ComPort.Connected());
        QCOMPARE(form_->Button_Open->text(), QStringLiteral("打开串口"));
        QCOMPARE(form_->ComLed1->State(), lsOff);
        form_->ComPort.SetDeviceFactory({});
    }

    void refreshSelectsTheCurrentPort() {
        TPty a;
        TPty b;
        const std::string ea = a.SlavePath() + " Board A";
        const std::string eb = b.SlavePath() + " Board B";
        entries_ = {ea, eb};
        form_->ComPort.SetPort(b.SlavePath());
        form_->Label23Click(nullptr);
        QCOMPARE(form_->ComComboBox1->count(), 2);
        QCOMPARE(form_->ComComboBox1->currentText(), QString::fromStdString(eb));
        QVERIFY(form_->ComComboBox1->view()->minimumWidth() >= int(eb.size() * 6.5));
        // The refresh names no port itself; an unknown port selects the first entry.
        QCOMPARE(form_->ComPort.Port(), b.SlavePath());
        form_->ComPort.SetPort("/dev/elsewhere");
        form_->Label23Click(nullptr);
        QCOMPARE(form_->ComComboBox1->currentIndex(), 0);
        // A typed device that exists but is not listed (a pseudo-terminal given on the
        // command line) stays the port box's choice when another device comes or goes.
        TPty typed;
        form_->ComPort.SetPort(typed.SlavePath());
        form_->ComComboBox1->setEditText(QString::fromStdString(typed.SlavePath()));
        form_->Label23Click(nullptr);
        QCOMPARE(form_->ComComboBox1->currentText(), QString::fromStdString(typed.SlavePath()));
        QCOMPARE(form_->ComComboBox1->count(), 3);
        form_->ComComboBox1->SelectByUser(0);

        // Choosing an entry names the port, even while it is open.
        form_->Button_OpenClick(nullptr);
        QVERIFY(form_->ComPort.Connected());
        QCOMPARE(form_->ComPort.Port(), a.SlavePath());
        form_->ComComboBox1->SelectByUser(1);
        QCOMPARE(form_->ComPort.Port(), b.SlavePath());
        QVERIFY(form_->ComPort.Connected());
    }

    void deviceArrivalReopensTheOpenPort() {
        namespace fs = std::filesystem;
        const fs::path link =
            fs::temp_directory_path() / ("ttyZENTAtest" + std::to_string(::getpid()));
        auto pty = std::make_unique<TPty>();
        fs::remove(link);
        fs::create_symlink(pty->SlavePath(), link);
        SelectPort(link.string());
        form_->Button_OpenClick(nullptr);
        QVERIFY(form_->ComPort.Connected());

        // Unplug, then the adapter comes back under the same name.
        pty->CloseMaster();
        QTest::qWait(50);
        auto replugged = std::make_unique<TPty>();
        fs::remove(link);
        fs::create_symlink(replugged->SlavePath(), link);
        pty.reset();

        // Other events change nothing.
        form_->WMDeviceChange({TDeviceChange::DeviceArrival, TDeviceChange::TypeVolume});
        form_->WMDeviceChange({TDeviceChange::DeviceRemoveComplete, TDeviceChange::TypePort});
        QCOMPARE(form_->Rx.rxCount, int64_t{0});
        QCOMPARE(form_->ComComboBox1->count(), 1);

        form_->WMDeviceChange({TDeviceChange::DeviceArrival, TDeviceChange::TypePort});
        QVERIFY(form_->ComPort.Connected());
        QCOMPARE(form_->Button_Open->text(), QStringLiteral("关闭串口"));
        QVERIFY(replugged->Send("after"));
        QTRY_VERIFY(form_->Memo->toPlainText().endsWith(QStringLiteral("after")));
        QVERIFY(prompts_.messages.isEmpty());
        form_->ComPort.Close();
        fs::remove(link);
    }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
