#include "app/ConsoleBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringEncoder>

#include "app/PanelWidgets.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/WindowLinks.h"
#include "datapath/ReceiveState.h"
#include "datapath/qt/ReceiveView.h"
#include "datapath/qt/TextStream.h"
#include "serial/CPort.h"

namespace {

constexpr zenta::LineEnd kLineEnds[] = {zenta::LineEnd::CrLf, zenta::LineEnd::Cr,
                                        zenta::LineEnd::Lf, zenta::LineEnd::None};

}  // namespace

ConsoleBar::ConsoleBar(QWidget* parent, WindowLinks& window) : QObject(parent), window_(window) {
    using namespace panel_widgets;
    bar = Named(new QWidget(parent), "consoleBar");
    charModeCheck = Check(bar, "charModeCheck", QString());
    enterLabel = Label(bar, "enterLabel", QString());
    lineEndBox = Named(new QComboBox(bar), "lineEndBox");
    lineEndBox->addItems(
        {QStringLiteral("CR LF"), QStringLiteral("CR"), QStringLiteral("LF"), QString()});
    echoCheck = Check(bar, "echoCheck", QString());
    breakButton = Button(bar, "breakButton", QStringLiteral("Break"));
    // However narrow the window, the row never widens it: what does not fit is cut.
    bar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 1, 4, 1);
    row->setSpacing(8);
    row->addWidget(charModeCheck);
    row->addWidget(echoCheck);
    row->addSpacing(8);
    row->addWidget(enterLabel);
    row->addWidget(lineEndBox);
    row->addWidget(breakButton);
    row->addStretch(1);
    SetEnglish(false);

    connect(charModeCheck, &QCheckBox::toggled, this, [this](bool on) {
        options_.charMode = on;
        window_.View()->setCharacterMode(on);
        echoCheck->setEnabled(on);
    });
    connect(echoCheck, &QCheckBox::toggled, this, [this](bool on) {
        options_.localEcho = on;
    });
    connect(lineEndBox, &QComboBox::currentIndexChanged, this, [this](int i) {
        options_.lineEnd = kLineEnds[std::clamp(i, 0, 3)];
    });
    connect(breakButton, &QPushButton::clicked, this, &ConsoleBar::onBreakClicked);
    breakTimer_.setSingleShot(true);
    connect(&breakTimer_, &QTimer::timeout, this, [this] {
        try {
            window_.Port().SetBreak(false);
        } catch (const EComPort&) {
        }
        window_.Status()->SetPanelText(0, HomePanelText());
    });
    connect(&pasteTimer_, &QTimer::timeout, this, &ConsoleBar::onPasteTick);
    // Direct: the key is taken before the view would act on it.
    connect(window_.View(), &zenta::ReceiveView::keyTyped, this, &ConsoleBar::onKey,
            Qt::DirectConnection);
    connect(window_.View(), &zenta::ReceiveView::pasteTyped, this, &ConsoleBar::onPaste,
            Qt::DirectConnection);
}

void ConsoleBar::SetEnglish(bool english) {
    english_ = english;
    charModeCheck->setText(english ? QStringLiteral("Character mode") : QStringLiteral("字符模式"));
    charModeCheck->setToolTip(english ? QStringLiteral("Every key goes to the device at once, "
                                                       "as in a terminal (Ctrl+Shift+C/V/F: "
                                                       "copy, paste, find)")
                                      : QStringLiteral("每个按键立即发送到设备，如同终端"
                                                       "（Ctrl+Shift+C/V/F：复制、粘贴、查找）"));
    echoCheck->setText(english ? QStringLiteral("Local echo") : QStringLiteral("本地回显"));
    enterLabel->setText(english ? QStringLiteral("Enter sends") : QStringLiteral("回车发送"));
    lineEndBox->setItemText(3, english ? QStringLiteral("nothing") : QStringLiteral("无"));
    breakButton->setToolTip(
        english ? QStringLiteral("Holds the line in BREAK for %1 ms").arg(options_.breakMs)
                : QStringLiteral("发送 %1 ms 的 BREAK").arg(options_.breakMs));
}

void ConsoleBar::ApplyOptions(const zenta::ConsoleOptions& options) {
    options_ = options;
    const QSignalBlocker a(charModeCheck);
    const QSignalBlocker b(echoCheck);
    const QSignalBlocker c(lineEndBox);
    charModeCheck->setChecked(options.charMode);
    echoCheck->setChecked(options.localEcho);
    echoCheck->setEnabled(options.charMode);
    lineEndBox->setCurrentIndex(static_cast<int>(options.lineEnd));
    window_.View()->setCharacterMode(options.charMode);
}

void ConsoleBar::Say(const QString& text) {
    window_.Status()->SetPanelText(0, text);
}

bool ConsoleBar::MayWrite() {
    if (!window_.Port().Connected()) {
        Say(english_ ? QStringLiteral("The port is not open: keys are not sent")
                     : QStringLiteral("串口未打开，按键未发送"));
        return false;
    }
    // A programming run or a file send owns the port meanwhile.
    if (window_.ProgrammerRunning() || window_.FileSendRunning()) {
        Say(english_ ? QStringLiteral("The port is busy: keys are not sent")
                     : QStringLiteral("串口正忙，按键未发送"));
        return false;
    }
    return true;
}

void ConsoleBar::Write(const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        return;
    }
    try {
        const int written = window_.Port().WriteStr(
            std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        window_.Received().txCount += written;
    } catch (const EComPort&) {
        StopPaste();
        window_.RecoverFromPortError();
    }
}

bool ConsoleBar::Encode(const QString& text, QByteArray& out) {
    if (encoding_ == zenta::TextEncoding::Latin1) {
        for (QChar c : text) {
            if (c.unicode() > 0xFF) {
                Say(english_ ? QStringLiteral("'%1' has no Latin-1 form: not sent").arg(c)
                             : QStringLiteral("“%1”无法用 Latin-1 发送").arg(c));
                return false;
            }
        }
    }
    out = zenta::EncodeText(text, encoding_);
    return true;
}

void ConsoleBar::onKey(int key, const QString& text, bool* consumed) {
    if (!options_.charMode) {
        return;
    }
    *consumed = true;
    QByteArray bytes;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        const std::string_view end = zenta::LineEndBytes(options_.lineEnd);
        bytes = QByteArray(end.data(), static_cast<qsizetype>(end.size()));
    } else if (key == Qt::Key_Backspace) {
        bytes = options_.backspaceDel ? QByteArray("\x7f") : QByteArray("\b");
    } else if (!Encode(text, bytes)) {
        return;
    }
    if (!MayWrite()) {
        return;
    }
    Write(bytes);
    if (options_.localEcho) {
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        const bool printable = !text.isEmpty() && text.front().unicode() >= 0x20;
        if (enter || printable) {
            window_.View()->appendText(enter ? QStringLiteral("\n") : text);
        }
    }
}

void ConsoleBar::onPaste(const QString& text, bool* consumed) {
    if (!options_.charMode) {
        return;
    }
    *consumed = true;
    QByteArray bytes;
    if (!Encode(text, bytes) || !MayWrite()) {
        return;
    }
    if (bytes.size() > kAskAbovePaste &&
        !Prompts().Confirm(
            english_ ? QStringLiteral("Send %1 bytes from the clipboard?").arg(bytes.size())
                     : QStringLiteral("发送剪贴板中的 %1 字节？").arg(bytes.size()))) {
        return;
    }
    if (options_.pasteDelayMs <= 0) {
        Write(bytes);
        return;
    }
    // A slow bootloader takes one character at a time: the rest goes out on a timer.
    pasteRest_ += bytes;
    pasteTimer_.start(options_.pasteDelayMs);
    onPasteTick();
}

void ConsoleBar::onPasteTick() {
    if (pasteRest_.isEmpty() || !window_.Port().Connected()) {
        StopPaste();
        return;
    }
    Write(pasteRest_.left(1));
    pasteRest_.remove(0, 1);
    if (pasteRest_.isEmpty()) {
        pasteTimer_.stop();
    }
}

void ConsoleBar::StopPaste() {
    pasteTimer_.stop();
    pasteRest_.clear();
}

void ConsoleBar::onBreakClicked() {
    if (breakTimer_.isActive() || !MayWrite()) {
        return;
    }
    try {
        window_.Port().SetBreak(true);
    } catch (const EComPort&) {
        window_.RecoverFromPortError();
        return;
    }
    Say(english_ ? QStringLiteral("BREAK (%1 ms)").arg(options_.breakMs)
                 : QStringLiteral("正在发送 BREAK（%1 ms）").arg(options_.breakMs));
    breakTimer_.start(options_.breakMs);
}
