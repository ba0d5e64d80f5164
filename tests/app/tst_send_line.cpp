// The send line through a real window, checked byte for byte on the other end of a
// pseudo-terminal: encodings and checksums, the echo, typing into the receive window,
// key filters, timed send and the automatic re-open.
#include <poll.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/ReceiveSendState.h"
#include "app/StatusPanels.h"
#include "app/core/Messages.h"
#include "app/support/E2eDriver.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

using zenta::Msg;
using zenta::MsgId;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s.push_back(static_cast<char>(v));
    }
    return s;
}

}  // namespace

class SendLineTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<TPty> pty_;

    void Open() {
        QVERIFY(e2e::OpenThroughWindow(*form_, QString::fromStdString(pty_->SlavePath())));
    }
    // One press of the send button with the given line and options; what went out.
    std::string Send(const QString& line, bool hex, bool crlf, int checksum) {
        TForm1::SetChecked(form_->CheckBox4, hex);
        form_->NewLine_CB->setChecked(crlf);
        form_->verifyBox->setCurrentIndex(checksum);
        form_->Edit_Data->setText(line);
        QTest::mouseClick(form_->Button_Send, Qt::LeftButton);
        return ReadUntilQuiet(pty_->Master(), 64);
    }
    QString SentPanel() {
        form_->Rfreues100msTimer(nullptr);
        return form_->StatusBar1->PanelText(1);
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_ = RecordingPrompts();
        savedHexLine = QStringLiteral("12 FF 00 30");
        savedTextLine = QStringLiteral("abcdefg");
        pty_ = std::make_unique<TPty>();
        form_ = std::make_unique<TForm1>();
        form_->getNEWSTimer->stop();
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }
    void cleanup() {
        form_.reset();
        pty_.reset();
        fixture_.Stop();
    }

    void linesBecomeTheirBytesWithLineEndAndChecksum() {
        Open();
        QCOMPARE(Send("12 00 FF", true, false, 0), Bytes({0x12, 0x00, 0xFF}));
        QCOMPARE(SentPanel(), QStringLiteral("S:3"));
        QCOMPARE(Send("01 03 00 00 00 01", true, false, 1),
                 Bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
        QCOMPARE(Send("1 2 3", true, false, 0), Bytes({0x12}));
        // HEX mode adds no line end even with the box checked.
        QCOMPARE(Send("aB", true, true, 3), Bytes({0xAB, 0xAB}));
        QCOMPARE(Send("A\\x41\\n\\q\\", false, false, 0),
                 Bytes({0x41, 0x41, 0x0A, 0x5C, 0x71, 0x5C}));
        QCOMPARE(Send("abc", false, true, 2), Bytes({0x61, 0x62, 0x63, 0x0D, 0x0A, 0xC3}));
        // Text goes out in the window's code page.
        QCOMPARE(Send(QStringLiteral("温度"), false, false, 0), Bytes({0xCE, 0xC2, 0xB6, 0xC8}));
        QCOMPARE(SentPanel(), QStringLiteral("S:30"));
        // "\x" without two digits leaves nothing to send.
        QCOMPARE(Send("\\x4", false, false, 0), std::string());
        QCOMPARE(SentPanel(), QStringLiteral("S:30"));
        QVERIFY(prompts_.messages.isEmpty());
    }

    void packetModeEchoesWhatWasSent() {
        Open();
        TForm1::SetChecked(form_->timeoutCRLF, true);
        Send("ab", false, false, 0);
        static const QRegularExpression zh(
            QStringLiteral("\n\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]发→◇ab□$"));
        QVERIFY2(zh.match(form_->Memo->toPlainText()).hasMatch(),
                 qPrintable(form_->Memo->toPlainText()));
        EnglishUI = 1;
        TForm1::SetChecked(form_->CheckBox5, true);
        Send("61 00", true, false, 0);
        QVERIFY(form_->Memo->toPlainText().endsWith(QStringLiteral("]OUT→◇61 00 □")));
        // The echo is window text only: nothing was received.
        QCOMPARE(form_->Rx.rxCount, int64_t{0});
        QVERIFY(form_->Rx.rxHexAll.empty());
    }

    void rejectedLinesSendNothingAndStopAutomaticSends() {
        Open();
        for (const char* line : {"12 G0", "12 0G", "12,00"}) {
            form_->Edit1->setText(QStringLiteral("100000"));
            TForm1::SetChecked(form_->CheckBox3, true);
            form_->Send_N_StringTimer->start(100000);
            StopFlag = 0;
            QCOMPARE(Send(line, true, false, 0), std::string());
            QCOMPARE(prompts_.messages.takeLast(), Msg(MsgId::InvalidHexSend, false));
            QVERIFY(!form_->CheckBox3->isChecked());
            QVERIFY(!form_->SendStringTimer->isActive());
            QVERIFY(!form_->Send_N_StringTimer->isActive());
            QCOMPARE(StopFlag, uint8_t{1});
        }
        // Spaces only with a checksum: no lone checksum byte goes out.
        QCOMPARE(Send("   ", true, false, 3), std::string());
        QCOMPARE(prompts_.messages.takeLast(), Msg(MsgId::EmptyPayloadChecksum, false));
        QCOMPARE(SentPanel(), QStringLiteral("S:0"));
        // An empty line does nothing at all.
        QCOMPARE(Send("", true, false, 3), std::string());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void typingIntoTheReceiveWindowSendsTheVisibleLine() {
        Open();
        form_->Memo->setFocus();
        QTest::keyClicks(form_->Memo, "ab");
        QTest::keyClick(form_->Memo, Qt::Key_Return);
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 4), std::string("ab\r\n"));
        QCOMPARE(SentPanel(), QStringLiteral("S:4"));
        // Backspace removes from the line what it removes from the window.
        QTest::keyClicks(form_->Memo, "xyz");
        QTest::keyClick(form_->Memo, Qt::Key_Backspace);
        QTest::keyClick(form_->Memo, Qt::Key_Return);
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 4), std::string("xy\r\n"));
        QVERIFY(form_->Memo->toPlainText().endsWith(QStringLiteral("ab\nxy\n")));
        // While closed the line keeps growing and goes out at the next Enter.
        QTest::mouseClick(form_->Button_Open, Qt::LeftButton);
        QTest::keyClicks(form_->Memo, "1");
        QTest::keyClick(form_->Memo, Qt::Key_Return);
        Open();
        QTest::keyClicks(form_->Memo, "2");
        QTest::keyClick(form_->Memo, Qt::Key_Return);
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 6), std::string("1\r2\r\n"));
        QVERIFY(form_->rs_->typedLine.text().empty());
    }

    void keyFiltersOfTheSendLineAndTheNumberBoxes() {
        TForm1::SetChecked(form_->CheckBox4, true);
        form_->Edit_Data->clear();
        form_->Edit_Data->setFocus();
        QTest::keyClicks(form_->Edit_Data, "1g F");
        QCOMPARE(form_->Edit_Data->text(), QStringLiteral("1 F"));
        QCOMPARE(prompts_.messages, QStringList{Msg(MsgId::InvalidHexKey, false)});
        QTest::keyClick(form_->Edit_Data, Qt::Key_Backspace);
        QTest::keyClick(form_->Edit_Data, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY(form_->Edit_Data->hasFocus());
        TForm1::SetChecked(form_->CheckBox4, false);
        QTest::keyClicks(form_->Edit_Data, "g!");
        QCOMPARE(form_->Edit_Data->text(), QStringLiteral("abcdefgg!"));
        QCOMPARE(prompts_.messages.size(), 1);

        for (QLineEdit* box : {form_->Edit1, form_->timeoutText}) {
            box->setText(QStringLiteral("2"));
            box->setFocus();
            box->end(false);
            QTest::keyClicks(box, "5a-0");
            QCOMPARE(box->text(), QStringLiteral("250"));
            // An empty box takes a "1" before the key.
            box->clear();
            QTest::keyClicks(box, "x");
            QCOMPARE(box->text(), QStringLiteral("1"));
        }
    }

    // Tab and Shift+Tab move the focus out of every filtered edit; none takes them as typing.
    void tabMovesTheFocusOutOfFilteredEdits() {
        TForm1::SetChecked(form_->CheckBox4, true);
        prompts_.messages.clear();
        for (QLineEdit* box : {form_->Edit_Data, form_->Edit1, form_->timeoutText}) {
            box->setText(QStringLiteral("1000"));
            for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
                box->setFocus();
                QVERIFY(box->hasFocus());
                QTest::keyClick(box, key,
                                key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
                QVERIFY2(!box->hasFocus(), qPrintable(box->objectName()));
                QCOMPARE(box->text(), QStringLiteral("1000"));
            }
        }
        QVERIFY(prompts_.messages.isEmpty());
    }

    void timeoutLongerThanTheIntervalLeavesANote() {
        EnglishUI = 1;
        form_->Edit1->setText(QStringLiteral("10"));
        form_->timeoutText->setText(QStringLiteral("20"));
        emit form_->timeoutText->editingFinished();
        QVERIFY(form_->Memo->toPlainText().endsWith(
            zenta::Msg(MsgId::PacketTimeoutNote, true).remove(QLatin1Char('\r'))));
        QCOMPARE(form_->timeoutText->text(), QStringLiteral("20"));
        memo::Clear(form_->Memo);
        form_->Edit1->setText(QStringLiteral("20"));
        emit form_->timeoutText->editingFinished();
        QCOMPARE(form_->Memo->documentLength(), qsizetype{0});
    }

    void hexSwitchKeepsOneLinePerMode() {
        form_->Edit_Data->setText(QStringLiteral("hello"));
        QTest::mouseClick(form_->CheckBox4, Qt::LeftButton);
        QCOMPARE(form_->Edit_Data->text(), QStringLiteral("12 FF 00 30"));
        QVERIFY(!form_->NewLine_CB->isEnabled());
        form_->Edit_Data->setText(QStringLiteral("AA"));
        QTest::mouseClick(form_->CheckBox4, Qt::LeftButton);
        QCOMPARE(form_->Edit_Data->text(), QStringLiteral("hello"));
        QVERIFY(form_->NewLine_CB->isEnabled());
        TForm1::SetChecked(form_->CheckBox4, true);
        QCOMPARE(form_->Edit_Data->text(), QStringLiteral("AA"));
    }

    void timedSendIntervalRulesAndClosedPort() {
        EnglishUI = 1;
        form_->Edit1->clear();
        QTest::mouseClick(form_->CheckBox3, Qt::LeftButton);
        QCOMPARE(prompts_.messages.takeLast(), QStringLiteral("Set interVal!"));
        QVERIFY(!form_->CheckBox3->isChecked());
        QVERIFY(form_->Edit1->isEnabled());
        form_->Edit1->setText(QStringLiteral("0"));
        QTest::mouseClick(form_->CheckBox3, Qt::LeftButton);
        QCOMPARE(prompts_.messages.takeLast(), QStringLiteral("Please enter a number"));
        QVERIFY(!form_->CheckBox3->isChecked());
        QVERIFY(!form_->SendStringTimer->isActive());

        // Closed port: ticks pass without opening it or sending.
        TForm1::PortEntrySource = [this] { return std::vector<std::string>{pty_->SlavePath()}; };
        form_->Label23Click(nullptr);
        form_->Edit1->setText(QStringLiteral("5"));
        QTest::mouseClick(form_->CheckBox3, Qt::LeftButton);
        QVERIFY(form_->SendStringTimer->isActive());
        QCOMPARE(form_->SendStringTimer->interval(), 5);
        QVERIFY(!form_->Edit1->isEnabled());
        QTest::qWait(60);
        QVERIFY(!form_->ComPort.Connected());
        QCOMPARE(form_->Memo->documentLength(), qsizetype{0});

        // Open: the line repeats.
        form_->Edit_Data->setText(QStringLiteral("t"));
        Open();
        std::string got;
        QVERIFY(e2e::WaitFor(
            [&] {
                got += ReadUntilQuiet(pty_->Master(), 64, 0);
                return got.size() >= 3;
            },
            10000));
        QVERIFY2(got.find_first_not_of('t') == std::string::npos, got.c_str());
        QTest::mouseClick(form_->CheckBox3, Qt::LeftButton);
        QVERIFY(!form_->SendStringTimer->isActive());
        QVERIFY(form_->Edit1->isEnabled());
    }

    void sendOnAClosedPortOpensItFirst() {
        TForm1::PortEntrySource = [this] { return std::vector<std::string>{pty_->SlavePath()}; };
        form_->Label23Click(nullptr);
        QVERIFY(!form_->ComPort.Connected());
        QCOMPARE(Send("Hi", false, false, 0), std::string("Hi"));
        QVERIFY(form_->ComPort.Connected());
        QVERIFY(form_->Memo->toPlainText().startsWith(QStringLiteral("\n正在打开串口...\n")));
    }

    void failedWriteReopensThePort() {
        Open();
        // The device end vanishes: the write fails and the re-open cannot succeed.
        pty_->CloseMaster();
        Send("abc", false, false, 0);
        QVERIFY(form_->Memo->toPlainText().endsWith(QStringLiteral(
            "\n串口号故障!自动修复中...\n关闭串口...\n打开串口...\n\n无法打开串口,请检查!\n")));
        QVERIFY(!form_->Button_Send->isEnabled());
        QVERIFY(!form_->Button4->isEnabled());
        QCOMPARE(SentPanel(), QStringLiteral("S:0"));
        // The port stays marked open, waiting for the device; the button gives up.
        QVERIFY(form_->WaitingForDevice());
        QCOMPARE(form_->Button_Open->text(), QStringLiteral("关闭串口"));
        TForm1::InvokeClick(form_->Button_Open);

        // A device that is still there comes back at once: both buttons usable again.
        pty_ = std::make_unique<TPty>();
        Open();
        memo::Clear(form_->Memo);
        form_->ComPort.Close();
        form_->Button_Send->setEnabled(false);
        form_->Edit_Data->setText(QStringLiteral("x"));
        // Closed behind the window's back: the open action runs first, then the write.
        form_->Button_SendClick(nullptr);
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 1), std::string("x"));
        QVERIFY(form_->Button_Send->isEnabled());
    }
};

QTEST_MAIN(SendLineTest)
#include "tst_send_line.moc"
