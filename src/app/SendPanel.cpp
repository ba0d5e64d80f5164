// The send line: one send, timed send, HEX/text switch, key filters, typing into the
// receive window and the automatic re-open after a failed write.
#include "app/SendPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/Clock.h"
#include "app/PanelWidgets.h"
#include "app/SendKeyFilter.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/WindowLinks.h"
#include "app/WindowState.h"
#include "app/core/Messages.h"
#include "datapath/HexInput.h"
#include "datapath/PacketHeader.h"
#include "datapath/ReceiveState.h"
#include "datapath/SendEncoding.h"
#include "datapath/SettingsValues.h"
#include "datapath/qt/ReceiveView.h"
#include "datapath/qt/TextStream.h"
#include "serial/CPort.h"

using panel_widgets::SetChecked;
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

SendPanel::SendPanel(QWidget* host, WindowLinks& window) : QObject(host), window_(window) {
    BuildControls(host);
    timedSendTimer = panel_widgets::Named(new QTimer(this), "timedSendTimer");
    timedSendTimer->setInterval(1000);
    connect(sendButton, &QPushButton::clicked, this, &SendPanel::onSendClicked);
    connect(hexSendCheck, &QCheckBox::clicked, this, &SendPanel::onHexSendClicked);
    connect(timedSendCheck, &QCheckBox::clicked, this, &SendPanel::onTimedSendClicked);
    connect(crLfCheck, &QCheckBox::clicked, this, &SendPanel::onCrLfClicked);
    connect(timedSendTimer, &QTimer::timeout, this, &SendPanel::onTimedSendTick);
    lineEdit->installEventFilter(
        new TKeyPressFilter(lineEdit, [this](QChar& key) { onLineKey(key); }));
    intervalEdit->installEventFilter(
        new TKeyPressFilter(intervalEdit, [this](QChar& key) { onIntervalKey(key); }));
    connect(intervalEdit, &QLineEdit::editingFinished, this, [this] {
        if (intervalEdit->text().isEmpty()) {
            intervalEdit->setText(QStringLiteral("1"));
        }
    });
    // Direct, so the typed key is taken before the view inserts it.
    connect(
        window_.View(), &zenta::ReceiveView::keyTyped, this,
        [this](int, const QString& text, bool*) { onReceiveViewKey(text); }, Qt::DirectConnection);
    connect(
        window_.View(), &zenta::ReceiveView::pasteTyped, this,
        [this](const QString& text, bool*) { onReceiveViewPaste(text); }, Qt::DirectConnection);
    lineEdit->setText(savedTextLine);
}

void SendPanel::BuildControls(QWidget* p) {
    using namespace panel_widgets;
    optionsBox = Named(new PanelFrame(p), "sendOptions");
    Place(optionsBox, 474, 2, 196, 80);
    hexSendCheck = Check(optionsBox, "hexSendCheck", QStringLiteral("HEX发送   "));
    Place(hexSendCheck, 2, 3, 84, 20);
    crLfCheck = Check(optionsBox, "crLfCheck", QStringLiteral("加回车换行"));
    crLfCheck->setToolTip(QStringLiteral("加回车换行"));
    Place(crLfCheck, 88, 3, 104, 20);
    timedSendCheck = Check(optionsBox, "timedSendCheck", QStringLiteral("定时发送:  "));
    Place(timedSendCheck, 2, 29, 86, 20);
    intervalEdit = Edit(optionsBox, "timedIntervalEdit", QStringLiteral("1000"));
    Place(intervalEdit, 88, 28, 50, 21);
    intervalUnitLabel = Label(optionsBox, "intervalUnitLabel", QStringLiteral("ms/次  "));
    Place(intervalUnitLabel, 141, 31, 52, 16);
    checksumLabel = Label(optionsBox, "checksumLabel", QStringLiteral("末尾加校验:"));
    Place(checksumLabel, 2, 57, 76, 16);
    checksumLabel->setAutoFillBackground(true);
    checksumBox = Named(new QComboBox(optionsBox), "checksumBox");
    Place(checksumBox, 80, 54, 112, 23);
    checksumBox->addItems({QStringLiteral("None"), QStringLiteral("modbusCRC16"),
                           QStringLiteral("ADD"), QStringLiteral("XOR")});
    checksumBox->setCurrentIndex(0);

    lineEdit = Edit(p, "sendLineEdit", QString());
    Place(lineEdit, 238, 86, 356, 25);
    sendButton = Button(p, "sendButton", QStringLiteral("发  送"));
    Place(sendButton, 598, 84, 72, 28);
}

// ---- one send

void SendPanel::onSendClicked() {
    const QString line = lineEdit->text();
    if (line.isEmpty()) {
        return;
    }
    const bool english = EnglishUI == 1;
    // While the device is waited for the port stays marked open: the write reports it.
    if (!window_.PortMarkedOpen()) {
        window_.Print(Msg(MsgId::OpeningPort, english));
        window_.OpenAction();
    }
    const QByteArray lineBytes = zenta::EncodeText(line, encoding_);
    const zenta::SendPayload payload = zenta::BuildSendPayload(
        std::string_view(lineBytes.constData(), static_cast<std::size_t>(lineBytes.size())),
        hexSendCheck->isChecked(), crLfCheck->isChecked(),
        zenta::ChecksumKindFromIndex(checksumBox->currentIndex()), encoding_,
        zenta::LineEndBytes(window_.SendLineEnd()));
    switch (payload.error) {
        case zenta::SendError::None:
            break;
        case zenta::SendError::EmptyLine:
            return;
        case zenta::SendError::InvalidHex:
            window_.StopAutomaticSends();
            Prompts().ShowMessage(Msg(MsgId::InvalidHexSend, english));
            return;
        case zenta::SendError::EmptyPayloadChecksum:
            // Stopped like an invalid line, or a timed send would raise this every tick.
            window_.StopAutomaticSends();
            Prompts().ShowMessage(Msg(MsgId::EmptyPayloadChecksum, english));
            return;
    }
    WriteGuarded(payload.bytes, true);
}

void SendPanel::WriteGuarded(const std::string& bytes, bool echo) {
    try {
        const int written = window_.Port().WriteStr(bytes);
        window_.Received().txCount += written;
        if (echo && window_.PacketSplit()) {
            const std::string text =
                zenta::SendEcho(bytes, window_.HexDisplay(), Now(), EnglishUI == 1, encoding_);
            // The echo carries its own time: the whole of it is a header, never stamped.
            window_.View()->appendReceived(
                QByteArrayView(text.data(), static_cast<qsizetype>(text.size())),
                static_cast<qsizetype>(text.size()), false);
        }
    } catch (const EComPort&) {
        RepairAfterWriteFailure();
    }
}

void SendPanel::StopTimedSend() {
    SetChecked(timedSendCheck, false);
    timedSendTimer->stop();
}

void SendPanel::RepairAfterWriteFailure() {
    const bool english = EnglishUI == 1;
    window_.StopAutomaticSends();
    window_.Print(Msg(MsgId::AutoRepair, english));
    window_.Print(Msg(MsgId::ClosingPort, english));
    try {
        window_.Port().Close();
    } catch (const std::exception&) {
    }
    window_.Print(Msg(MsgId::ReopeningPort, english));
    bool reopened = false;
    try {
        window_.Port().Open();
        reopened = window_.Port().Connected();
    } catch (const std::exception&) {
    }
    if (!reopened) {
        window_.Print(Msg(MsgId::ReopenFailed, english));
        // The device went away: the port stays marked open and is reopened when it is back.
        window_.WaitForDevice();
    }
    window_.SetSendingEnabled(reopened);
}

// ---- line options

void SendPanel::onHexSendClicked() {
    if (hexSendCheck->isChecked()) {
        savedTextLine = lineEdit->text();
        lineEdit->setText(savedHexLine);
        crLfCheck->setEnabled(false);
    } else {
        savedHexLine = lineEdit->text();
        lineEdit->setText(savedTextLine);
        crLfCheck->setEnabled(true);
    }
}

void SendPanel::UseLine(bool hex, const QString& text, bool send) {
    SetChecked(hexSendCheck, hex);
    lineEdit->setText(text);
    if (send) {
        onSendClicked();
    }
}

void SendPanel::SetEncoding(zenta::TextEncoding encoding) {
    encoding_ = encoding;
    typedLine_.setEncoding(encoding);
}

void SendPanel::StoreShownLine() {
    (hexSendCheck->isChecked() ? savedHexLine : savedTextLine) = lineEdit->text();
}

void SendPanel::onLineKey(QChar& key) {
    if (hexSendCheck->isChecked() && !IsHexEditKey(key)) {
        key = QChar(0);
        Prompts().ShowMessage(Msg(MsgId::InvalidHexKey, EnglishUI == 1));
    }
    lineEdit->setFocus();
}

void SendPanel::onCrLfClicked() {
    window_.SaveSettings();
}

// ---- timed send

void SendPanel::onTimedSendClicked() {
    const bool on = timedSendCheck->isChecked();
    intervalEdit->setEnabled(!on);
    if (!on) {
        timedSendTimer->stop();
        return;
    }
    const bool english = EnglishUI == 1;
    if (intervalEdit->text().isEmpty()) {
        Prompts().ShowMessage(Msg(MsgId::TimedIntervalEmpty, english));
        StopTimedSend();
        return;
    }
    const int interval = zenta::ParseIntegerOr(intervalEdit->text().toStdString(), 1);
    // A negative value (only reachable through the settings file) is no interval either.
    if (interval <= 0) {
        Prompts().ShowMessage(Msg(MsgId::TimedIntervalZero, english));
        StopTimedSend();
        return;
    }
    timedSendTimer->setInterval(interval);
    timedSendTimer->start();
}

void SendPanel::onTimedSendTick() {
    // Timed send never opens the port.
    if (window_.Port().Connected()) {
        onSendClicked();
    }
}

// An emptied box takes the first digit typed; it gets "1" only when it is left empty.
void SendPanel::onIntervalKey(QChar& key) {
    if (!IsDigitKey(key) && key != QChar(0x08)) {
        key = QChar(0);
    }
}

void SendPanel::SetLoopSendActive(bool on) {
    if (on) {
        timedSendTimer->stop();
        SetChecked(hexSendCheck, false);
        hexSendCheck->setEnabled(false);
        timedSendCheck->setEnabled(false);
        intervalEdit->setEnabled(false);
        intervalUnitLabel->setEnabled(false);
    } else {
        hexSendCheck->setEnabled(true);
        timedSendCheck->setEnabled(true);
    }
}

// ---- typing into the receive window

void SendPanel::onReceiveViewKey(const QString& key) {
    // Character mode sends keys itself.
    if (window_.View()->characterMode()) {
        return;
    }
    typedLine_.setLineEnd(window_.SendLineEnd());
    const QByteArray bytes = zenta::EncodeText(key, encoding_);
    const std::optional<std::string> line = typedLine_.OnKey(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        window_.Port().Connected());
    if (line) {
        WriteGuarded(*line, false);
    }
    if (typedLine_.refused()) {
        window_.Status()->SetPanelText(
            0, EnglishUI == 1 ? QStringLiteral("Control keys are sent in character mode")
                              : QStringLiteral("控制键请在字符模式下发送"));
    }
}

void SendPanel::onReceiveViewPaste(const QString& text) {
    if (window_.View()->characterMode()) {
        return;
    }
    // A paste joins the typed line; its line breaks send it as Enter would.
    QChar last;
    for (const QChar c : text) {
        if (c == u'\n' && last == u'\r') {
            last = c;
            continue;
        }
        last = c;
        onReceiveViewKey(c == u'\n' ? QStringLiteral("\r") : QString(c));
    }
}
