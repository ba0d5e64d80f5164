// The send line: one send, timed send, HEX/text switch, key filters, typing into the
// receive window and the automatic re-open after a failed write.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <QTimer>

#include "app/Clock.h"
#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/ReceiveSendState.h"
#include "app/SendKeyFilter.h"
#include "app/UiPrompts.h"
#include "text/Gb18030.h"
#include "app/core/Messages.h"
#include "datapath/HexInput.h"
#include "datapath/PacketHeader.h"
#include "datapath/SendEncoding.h"
#include "datapath/SettingsValues.h"

using zenta::Msg;
using zenta::MsgId;
using zenta::Now;

namespace {

bool IsDigitKey(QChar key) {
    return key >= QLatin1Char('0') && key <= QLatin1Char('9');
}

// Keys a HEX send line accepts besides the digits: backspace and the editing keys
// Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+Z.
bool IsHexEditKey(QChar key) {
    const char16_t c = key.unicode();
    if (c == 0x08 || c == 0x03 || c == 0x16 || c == 0x18 || c == 0x1A) {
        return true;
    }
    return c < 0x80 && zenta::IsHexInputChar(static_cast<char>(c));
}

}  // namespace

void TForm1::ConnectSendLine() {
    connect(Button_Send, &QPushButton::clicked, this, [this] { Button_SendClick(Button_Send); });
    connect(CheckBox4, &QCheckBox::clicked, this, [this] { CheckBox4Click(CheckBox4); });
    connect(CheckBox3, &QCheckBox::clicked, this, [this] { CheckBox3Click(CheckBox3); });
    connect(NewLine_CB, &QCheckBox::clicked, this, [this] { NewLine_CBClick(NewLine_CB); });
    connect(SendStringTimer, &QTimer::timeout, this,
            [this] { SendStringTimerTimer(SendStringTimer); });
    Edit_Data->installEventFilter(
        new TKeyPressFilter(Edit_Data, [this](QChar& key) { Edit_DataKeyPress(Edit_Data, key); }));
    Edit1->installEventFilter(
        new TKeyPressFilter(Edit1, [this](QChar& key) { Edit1KeyPress(Edit1, key); }));
    // Direct, so the typed key is taken before the view inserts it.
    connect(
        Memo, &TMemoWidget::keyTyped, this,
        [this](int, const QString& text, bool*) { MemoKeyPress(Memo, text); },
        Qt::DirectConnection);
}

// ---- one send

void TForm1::Button_SendClick(QObject* /*Sender*/) {
    const QString line = Edit_Data->text();
    if (line.isEmpty()) {
        return;
    }
    const bool english = EnglishUI == 1;
    // While the device is waited for the port stays marked open: the write reports it.
    if (!PortMarkedOpen()) {
        winprint(Msg(MsgId::OpeningPort, english));
        InvokeClick(Button_Open);
    }
    const QByteArray lineBytes = zenta::ToGb18030(line);
    const zenta::SendPayload payload = zenta::BuildSendPayload(
        std::string_view(lineBytes.constData(), static_cast<std::size_t>(lineBytes.size())),
        CheckBox4->isChecked(), NewLine_CB->isChecked(),
        zenta::ChecksumKindFromIndex(verifyBox->currentIndex()));
    switch (payload.error) {
        case zenta::SendError::None:
            break;
        case zenta::SendError::EmptyLine:
            return;
        case zenta::SendError::InvalidHex:
            StopAutomaticSends();
            Prompts().ShowMessage(Msg(MsgId::InvalidHexSend, english));
            return;
        case zenta::SendError::EmptyPayloadChecksum:
            // Stopped like an invalid line, or a timed send would raise this every tick.
            StopAutomaticSends();
            Prompts().ShowMessage(Msg(MsgId::EmptyPayloadChecksum, english));
            return;
    }
    WriteGuarded(payload.bytes, true);
}

void TForm1::WriteGuarded(const std::string& bytes, bool echo) {
    try {
        const int written = ComPort.WriteStr(bytes);
        Rx.txCount += written;
        if (echo && timeoutCRLF->isChecked()) {
            const std::string text =
                zenta::SendEcho(bytes, CheckBox5->isChecked(), Now(), EnglishUI == 1);
            memo::AppendBytes(Memo,
                              QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
        }
    } catch (const EComPort&) {
        RepairAfterWriteFailure();
    }
}

void TForm1::StopAutomaticSends() {
    SetChecked(CheckBox6, false);
    Send_N_StringTimer->stop();
    SetChecked(CheckBox3, false);
    SendStringTimer->stop();
    StopFlag = 1;
}

void TForm1::RepairAfterWriteFailure() {
    const bool english = EnglishUI == 1;
    StopAutomaticSends();
    winprint(Msg(MsgId::AutoRepair, english));
    winprint(Msg(MsgId::ClosingPort, english));
    try {
        ComPort.Close();
    } catch (const std::exception&) {
    }
    winprint(Msg(MsgId::ReopeningPort, english));
    bool reopened = false;
    try {
        ComPort.Open();
        reopened = ComPort.Connected();
    } catch (const std::exception&) {
    }
    if (!reopened) {
        winprint(Msg(MsgId::ReopenFailed, english));
        // The device went away: the port stays marked open and is reopened when it is back.
        WaitForMarkedPort();
    }
    Button4->setEnabled(reopened);
    Button_Send->setEnabled(reopened);
}

// ---- line options

void TForm1::CheckBox4Click(QObject* /*Sender*/) {
    if (CheckBox4->isChecked()) {
        savedTextLine = Edit_Data->text();
        Edit_Data->setText(savedHexLine);
        NewLine_CB->setEnabled(false);
    } else {
        savedHexLine = Edit_Data->text();
        Edit_Data->setText(savedTextLine);
        NewLine_CB->setEnabled(true);
    }
}

void TForm1::Edit_DataKeyPress(QObject* /*Sender*/, QChar& Key) {
    if (CheckBox4->isChecked() && !IsHexEditKey(Key)) {
        Key = QChar(0);
        Prompts().ShowMessage(Msg(MsgId::InvalidHexKey, EnglishUI == 1));
    }
    Edit_Data->setFocus();
}

void TForm1::NewLine_CBClick(QObject* /*Sender*/) {
    InvokeClick(saveconfig);
}

// ---- timed send

void TForm1::CheckBox3Click(QObject* /*Sender*/) {
    const bool on = CheckBox3->isChecked();
    Edit1->setEnabled(!on);
    if (!on) {
        SendStringTimer->stop();
        return;
    }
    const bool english = EnglishUI == 1;
    if (Edit1->text().isEmpty()) {
        Prompts().ShowMessage(Msg(MsgId::TimedIntervalEmpty, english));
        SetChecked(CheckBox3, false);
        SendStringTimer->stop();
        return;
    }
    const int interval = zenta::ParseIntegerOr(Edit1->text().toStdString(), 1);
    // A negative value (only reachable through the settings file) is no interval either.
    if (interval <= 0) {
        Prompts().ShowMessage(Msg(MsgId::TimedIntervalZero, english));
        SetChecked(CheckBox3, false);
        SendStringTimer->stop();
        return;
    }
    SendStringTimer->setInterval(interval);
    SendStringTimer->start();
}

void TForm1::SendStringTimerTimer(QObject* /*Sender*/) {
    // Timed send never opens the port.
    if (ComPort.Connected()) {
        Button_SendClick(SendStringTimer);
    }
}

void TForm1::Edit1KeyPress(QObject* /*Sender*/, QChar& Key) {
    if (Edit1->text().isEmpty()) {
        Edit1->setText(QStringLiteral("1"));
    }
    if (!IsDigitKey(Key) && Key != QChar(0x08)) {
        Key = QChar(0);
    }
}

// ---- typing into the receive window

void TForm1::MemoKeyPress(QObject* /*Sender*/, const QString& Key) {
    const QByteArray bytes = zenta::ToGb18030(Key);
    const std::optional<std::string> line = rs_->typedLine.OnKey(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        ComPort.Connected());
    if (line) {
        WriteGuarded(*line, false);
    }
}
