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
#include "app/core/Messages.h"
#include "app/support/E2eDriver.h"
#include "datapath/qt/ReceiveView.h"
#include "serial/ctl/CPortCtl.h"
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
    std::unique_ptr<MainWindow> form_;
    std::unique_ptr<TPty> pty_;

    void Open() {
        QVERIFY(e2e::OpenThroughWindow(*form_, QString::fromStdString(pty_->SlavePath())));
    }
    // One press of the send button with the given line and options; what went out.
    std::string Send(const QString& line, bool hex, bool crlf, int checksum) {
        panel_widgets::SetChecked(form_->send->hexSendCheck, hex);
        form_->send->crLfCheck->setChecked(crlf);
        form_->send->checksumBox->setCurrentIndex(checksum);
        form_->send->lineEdit->setText(line);
        QTest::mouseClick(form_->send->sendButton, Qt::LeftButton);
        return ReadUntilQuiet(pty_->Master(), 64);
    }
    QString SentPanel() {
        form_->onRefreshTick();
        return form_->statusBar->PanelText(1);
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_ = RecordingPrompts();
        pty_ = std::make_unique<TPty>();
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
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
        panel_widgets::SetChecked(form_->receive->packetCheck, true);
        Send("ab", false, false, 0);
        static const QRegularExpression zh(
            QStringLiteral("\n\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]发→◇ab□$"));
        QVERIFY2(zh.match(form_->receive->view->toPlainText()).hasMatch(),
                 qPrintable(form_->receive->view->toPlainText()));
        EnglishUI = 1;
        panel_widgets::SetChecked(form_->receive->hexDisplayCheck, true);
        Send("61 00", true, false, 0);
        QVERIFY(form_->receive->view->toPlainText().endsWith(QStringLiteral("]OUT→◇61 00 □")));
        // The echo is window text only: nothing was received.
        QCOMPARE(form_->received.rxCount, int64_t{0});
        QVERIFY(form_->received.HexAll().empty());
    }

    void rejectedLinesSendNothingAndStopAutomaticSends() {
        Open();
        for (const char* line : {"12 G0", "12 0G", "12,00"}) {
            form_->send->intervalEdit->setText(QStringLiteral("100000"));
            panel_widgets::SetChecked(form_->send->timedSendCheck, true);
            form_->prepared->loopTimer->start(100000);
            StopFlag = 0;
            QCOMPARE(Send(line, true, false, 0), std::string());
            QCOMPARE(prompts_.messages.takeLast(), Msg(MsgId::InvalidHexSend, false));
            QVERIFY(!form_->send->timedSendCheck->isChecked());
            QVERIFY(!form_->send->timedSendTimer->isActive());
            QVERIFY(!form_->prepared->loopTimer->isActive());
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
        form_->receive->view->setFocus();
        QTest::keyClicks(form_->receive->view, "ab");
        QTest::keyClick(form_->receive->view, Qt::Key_Return);
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 4), std::string("ab\r\n"));
        QCOMPARE(SentPanel(), QStringLiteral("S:4"));
        // Backspace removes from the line what it removes from the window.
        QTest::keyClicks(form_->receive->view, "xyz");
        QTest::keyClick(form_->receive->view, Qt::Key_Backspace);
        QTest::keyClick(form_->receive->view, Qt::Key_Return);
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 4), std::string("xy\r\n"));
        QVERIFY(form_->receive->view->toPlainText().endsWith(QStringLiteral("ab\nxy\n")));
        // While closed the line keeps growing and goes out at the next Enter.
        QTest::mouseClick(form_->connection->openButton, Qt::LeftButton);
        QTest::keyClicks(form_->receive->view, "1");
        QTest::keyClick(form_->receive->view, Qt::Key_Return);
        Open();
        QTest::keyClicks(form_->receive->view, "2");
        QTest::keyClick(form_->receive->view, Qt::Key_Return);
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 6), std::string("1\r2\r\n"));
        QVERIFY(form_->send->TypedText().empty());
    }

    void keyFiltersOfTheSendLineAndTheNumberBoxes() {
        panel_widgets::SetChecked(form_->send->hexSendCheck, true);
        form_->send->lineEdit->clear();
        form_->send->lineEdit->setFocus();
        QTest::keyClicks(form_->send->lineEdit, "1g F");
        QCOMPARE(form_->send->lineEdit->text(), QStringLiteral("1 F"));
        QCOMPARE(prompts_.messages, QStringList{Msg(MsgId::InvalidHexKey, false)});
        QTest::keyClick(form_->send->lineEdit, Qt::Key_Backspace);
        QTest::keyClick(form_->send->lineEdit, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY(form_->send->lineEdit->hasFocus());
        panel_widgets::SetChecked(form_->send->hexSendCheck, false);
        QTest::keyClicks(form_->send->lineEdit, "g!");
        QCOMPARE(form_->send->lineEdit->text(), QStringLiteral("abcdefgg!"));
        QCOMPARE(prompts_.messages.size(), 1);

        for (QLineEdit* box : {form_->send->intervalEdit, form_->receive->timeoutEdit}) {
            box->setText(QStringLiteral("2"));
            box->setFocus();
            box->end(false);
            QTest::keyClicks(box, "5a-0");
            QCOMPARE(box->text(), QStringLiteral("250"));
            // An emptied box takes the first digit typed: 10 stays 10, not 110.
            box->clear();
            QTest::keyClicks(box, "10");
            QCOMPARE(box->text(), QStringLiteral("10"));
            // It gets "1" only when it is left empty.
            box->clear();
            QTest::keyClicks(box, "x");
            QCOMPARE(box->text(), QString());
            form_->send->lineEdit->setFocus();
            QCOMPARE(box->text(), QStringLiteral("1"));
        }
    }

    // Ctrl+A selects the whole line in every filtered edit, so what is typed next replaces
    // it instead of landing inside the old frame.
    void selectAllReplacesTheLineInFilteredEdits() {
        panel_widgets::SetChecked(form_->send->hexSendCheck, true);
        prompts_.messages.clear();
        const std::pair<QLineEdit*, const char*> cases[] = {
            {form_->send->lineEdit, "AB"},
            {form_->send->intervalEdit, "75"},
            {form_->receive->timeoutEdit, "75"},
        };
        for (const auto& [box, typed] : cases) {
            box->setText(QStringLiteral("01 02 03"));
            box->setFocus();
            box->setCursorPosition(2);
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
            QVERIFY2(box->hasSelectedText(), qPrintable(box->objectName()));
            QCOMPARE(box->selectedText(), QStringLiteral("01 02 03"));
            QTest::keyClicks(box, typed);
            QCOMPARE(box->text(), QString::fromLatin1(typed));
        }
        QVERIFY(prompts_.messages.isEmpty());
    }

    // Tab and Shift+Tab move the focus out of every filtered edit; none takes them as typing.
    void tabMovesTheFocusOutOfFilteredEdits() {
        panel_widgets::SetChecked(form_->send->hexSendCheck, true);
        prompts_.messages.clear();
        for (QLineEdit* box :
             {form_->send->lineEdit, form_->send->intervalEdit, form_->receive->timeoutEdit}) {
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
        form_->send->intervalEdit->setText(QStringLiteral("10"));
        form_->receive->timeoutEdit->setText(QStringLiteral("20"));
        emit form_->receive->timeoutEdit->editingFinished();
        QVERIFY(form_->receive->view->toPlainText().endsWith(
            zenta::Msg(MsgId::PacketTimeoutNote, true).remove(QLatin1Char('\r'))));
        QCOMPARE(form_->receive->timeoutEdit->text(), QStringLiteral("20"));
        form_->receive->view->clear();
        form_->send->intervalEdit->setText(QStringLiteral("20"));
        emit form_->receive->timeoutEdit->editingFinished();
        QCOMPARE(form_->receive->view->documentLength(), qsizetype{0});
    }

    void hexSwitchKeepsOneLinePerMode() {
        form_->send->lineEdit->setText(QStringLiteral("hello"));
        QTest::mouseClick(form_->send->hexSendCheck, Qt::LeftButton);
        QCOMPARE(form_->send->lineEdit->text(), QStringLiteral("12 FF 00 30"));
        QVERIFY(!form_->send->crLfCheck->isEnabled());
        form_->send->lineEdit->setText(QStringLiteral("AA"));
        QTest::mouseClick(form_->send->hexSendCheck, Qt::LeftButton);
        QCOMPARE(form_->send->lineEdit->text(), QStringLiteral("hello"));
        QVERIFY(form_->send->crLfCheck->isEnabled());
        panel_widgets::SetChecked(form_->send->hexSendCheck, true);
        QCOMPARE(form_->send->lineEdit->text(), QStringLiteral("AA"));
    }

    void timedSendIntervalRulesAndClosedPort() {
        EnglishUI = 1;
        form_->send->intervalEdit->clear();
        QTest::mouseClick(form_->send->timedSendCheck, Qt::LeftButton);
        QCOMPARE(prompts_.messages.takeLast(), QStringLiteral("Set interVal!"));
        QVERIFY(!form_->send->timedSendCheck->isChecked());
        QVERIFY(form_->send->intervalEdit->isEnabled());
        form_->send->intervalEdit->setText(QStringLiteral("0"));
        QTest::mouseClick(form_->send->timedSendCheck, Qt::LeftButton);
        QCOMPARE(prompts_.messages.takeLast(), QStringLiteral("Please enter a number"));
        QVERIFY(!form_->send->timedSendCheck->isChecked());
        QVERIFY(!form_->send->timedSendTimer->isActive());

        // Closed port: ticks pass without opening it or sending.
        ConnectionPanel::PortEntrySource = [this] {
            return std::vector<std::string>{pty_->SlavePath()};
        };
        form_->connection->RefreshPortList();
        form_->send->intervalEdit->setText(QStringLiteral("5"));
        QTest::mouseClick(form_->send->timedSendCheck, Qt::LeftButton);
        QVERIFY(form_->send->timedSendTimer->isActive());
        QCOMPARE(form_->send->timedSendTimer->interval(), 5);
        QVERIFY(!form_->send->intervalEdit->isEnabled());
        QTest::qWait(60);
        QVERIFY(!form_->port.Connected());
        QCOMPARE(form_->receive->view->documentLength(), qsizetype{0});

        // Open: the line repeats.
        form_->send->lineEdit->setText(QStringLiteral("t"));
        Open();
        std::string got;
        QVERIFY(e2e::WaitFor(
            [&] {
                got += ReadUntilQuiet(pty_->Master(), 64, 0);
                return got.size() >= 3;
            },
            10000));
        QVERIFY2(got.find_first_not_of('t') == std::string::npos, got.c_str());
        QTest::mouseClick(form_->send->timedSendCheck, Qt::LeftButton);
        QVERIFY(!form_->send->timedSendTimer->isActive());
        QVERIFY(form_->send->intervalEdit->isEnabled());
    }

    void sendOnAClosedPortOpensItFirst() {
        ConnectionPanel::PortEntrySource = [this] {
            return std::vector<std::string>{pty_->SlavePath()};
        };
        form_->connection->RefreshPortList();
        QVERIFY(!form_->port.Connected());
        QCOMPARE(Send("Hi", false, false, 0), std::string("Hi"));
        QVERIFY(form_->port.Connected());
        QVERIFY(
            form_->receive->view->toPlainText().startsWith(QStringLiteral("\n正在打开串口...\n")));
    }

    void failedWriteReopensThePort() {
        Open();
        // The device end vanishes: the write fails and the re-open cannot succeed.
        pty_->CloseMaster();
        Send("abc", false, false, 0);
        QVERIFY(form_->receive->view->toPlainText().endsWith(QStringLiteral(
            "\n串口号故障!自动修复中...\n关闭串口...\n打开串口...\n\n无法打开串口,请检查!\n")));
        QVERIFY(!form_->send->sendButton->isEnabled());
        QVERIFY(!form_->files->sendFileButton->isEnabled());
        QCOMPARE(SentPanel(), QStringLiteral("S:0"));
        // The port stays marked open, waiting for the device; the button gives up.
        QVERIFY(form_->connection->WaitingForDevice());
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("关闭串口"));
        panel_widgets::InvokeClick(form_->connection->openButton);

        // Another device is plugged in: the box keeps the lost one until the user picks
        // the new one; then it opens at once and both buttons are usable again.
        pty_ = std::make_unique<TPty>();
        const QString fresh = QString::fromStdString(pty_->SlavePath());
        ConnectionPanel::PortEntrySource = [this] {
            return std::vector<std::string>{pty_->SlavePath()};
        };
        form_->connection->RefreshPortList();
        TComComboBox* box = form_->connection->portBox;
        QVERIFY(box->findText(fresh) >= 0);
        box->SelectByUser(box->findText(fresh));
        Open();
        form_->receive->view->clear();
        form_->port.Close();
        form_->send->sendButton->setEnabled(false);
        form_->send->lineEdit->setText(QStringLiteral("x"));
        // Closed behind the window's back: the open action runs first, then the write.
        form_->send->onSendClicked();
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 1), std::string("x"));
        QVERIFY(form_->send->sendButton->isEnabled());
    }
};

QTEST_MAIN(SendLineTest)
#include "tst_send_line.moc"
