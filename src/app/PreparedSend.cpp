// The prepared-string page: click to send, notes, column width and loop send.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <array>

#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/UiPrompts.h"
#include "app/WindowLinks.h"
#include "app/WindowState.h"
#include "app/core/Messages.h"
#include "app/core/PreparedNotes.h"
#include "datapath/LoopSend.h"
#include "datapath/SettingsValues.h"
#include "serial/CPort.h"

using panel_widgets::SetChecked;

namespace {

bool ValidRow(int i) {
    return i >= 0 && i < PreparedPanel::kRows;
}

}  // namespace

void PreparedPanel::onRowSendClicked(int i) {
    if (!ValidRow(i) || edit(i)->text().isEmpty()) {
        return;
    }
    window_.UsePreparedLine(hexBox(i)->isChecked(), edit(i)->text(), true);
}

void PreparedPanel::onRowNoteRequested(int i) {
    if (!ValidRow(i)) {
        return;
    }
    const bool english = EnglishUI == 1;
    const std::optional<QString> note =
        Prompts().InputQuery(QString::number(i + 1), zenta::Msg(zenta::MsgId::NotePrompt, english),
                             zenta::NoteToEdit(i, Note(i), english));
    if (!note) {
        return;
    }
    SetNote(i, *note);
    window_.SaveSettings();
}

QString PreparedPanel::Note(int i) const {
    return edit(i)->property("note").toString();
}

void PreparedPanel::SetNote(int i, const QString& note) {
    edit(i)->setProperty("note", note);
    // Until a note is loaded or written the send button's hint is its row's index.
    sendButton(i)->setProperty("noteHint", true);
    ShowNote(i);
}

void PreparedPanel::ShowNote(int i) {
    const bool english = EnglishUI == 1;
    const QString note = Note(i);
    const QString hint = zenta::NoteHint(i, note, english);
    edit(i)->setToolTip(hint);
    sendButton(i)->setText(zenta::NoteCaption(i, note, english));
    if (sendButton(i)->property("noteHint").toBool()) {
        sendButton(i)->setToolTip(hint);
    }
}

void PreparedPanel::ShowNotes() {
    for (int i = 0; i < kRows; ++i) {
        ShowNote(i);
    }
}

void PreparedPanel::WidenSendButtons(int dx) {
    for (QPushButton* b : sendButtons_) {
        b->resize(b->width() + dx, b->height());
    }
    LayoutRows();
    window_.SaveSettings();
}

void PreparedPanel::onWiderClicked() {
    WidenSendButtons(10);
}

void PreparedPanel::onNarrowerClicked() {
    WidenSendButtons(-10);
}

void PreparedPanel::StopLoopSend() {
    SetChecked(loopCheck, false);
    loopTimer->stop();
}

void PreparedPanel::onLoopClicked() {
    const bool on = loopCheck->isChecked();
    loopIntervalEdit->setEnabled(!on);
    // Loop send and timed send never run together.
    window_.SetLoopSendActive(on);
    if (on) {
        const QString text = loopIntervalEdit->text();
        if (text.isEmpty()) {
            Prompts().ShowMessage(zenta::Msg(zenta::MsgId::LoopIntervalEmpty, EnglishUI == 1));
            StopLoopSend();
        } else {
            const int interval = zenta::ParseIntegerOr(text.toStdString(), 1);
            // A negative interval would never tick; it is refused like zero.
            if (interval <= 0) {
                Prompts().ShowMessage(zenta::Msg(zenta::MsgId::LoopIntervalZero, EnglishUI == 1));
                StopLoopSend();
            } else {
                loopTimer->setInterval(interval);
            }
        }
    }
    if (loopCheck->isChecked()) {
        loopTimer->start();
    } else {
        loopTimer->stop();
    }
}

void PreparedPanel::onLoopTick() {
    std::array<bool, kRows> empty{};
    for (int i = 0; i < kRows; ++i) {
        empty[static_cast<std::size_t>(i)] = edit(i)->text().isEmpty();
    }
    zenta::LoopSendState state{loopPosition, loopEmptyCount};
    const std::optional<int> row = zenta::LoopSendTick(state, window_.Port().Connected(), empty);
    loopPosition = state.loopPosition;
    loopEmptyCount = state.loopEmptyCount;
    if (!row) {
        return;
    }
    window_.UsePreparedLine(hexBox(*row)->isChecked(), edit(*row)->text(), loopCheck->isChecked());
}
