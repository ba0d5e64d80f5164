// The prepared-string page: click to send, notes, column width and loop send.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <array>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/UiPrompts.h"
#include "app/core/Messages.h"
#include "datapath/LoopSend.h"
#include "datapath/SettingsValues.h"

namespace {

int RowOf(QObject* sender) {
    return sender ? sender->property("tag").toInt() : -1;
}

bool ValidRow(int i) {
    return i >= 0 && i < 50;
}

}  // namespace

void TForm1::NsendOnclick(QObject* Sender) {
    const int i = RowOf(Sender);
    if (!ValidRow(i) || RowEdit(i)->text().isEmpty()) {
        return;
    }
    // The HEX box's own handler swaps the send line's two texts first.
    SetChecked(CheckBox4, RowHexBox(i)->isChecked());
    Edit_Data->setText(RowEdit(i)->text());
    InvokeClick(Button_Send);
}

void TForm1::NdataOnDblclick(QObject* Sender) {
    const int i = RowOf(Sender);
    if (!ValidRow(i)) {
        return;
    }
    const std::optional<QString> note = Prompts().InputQuery(
        QString::number(i + 1), zenta::Msg(zenta::MsgId::NotePrompt, false), RowEdit(i)->toolTip());
    if (!note) {
        return;
    }
    RowEdit(i)->setToolTip(*note);
    RowButton(i)->setText(*note);
    RowButton(i)->setToolTip(*note);
    InvokeClick(saveconfig);
}

void TForm1::NCheckBoxMouseUp(QObject* /*Sender*/) {
    InvokeClick(saveconfig);
}

void TForm1::NEditKeyUp(QObject* /*Sender*/) {
    InvokeClick(saveconfig);
}

namespace {

void WidenSendButtons(TForm1& f, int dx) {
    for (int i = 0; i < 50; ++i) {
        QPushButton* b = f.RowButton(i);
        b->resize(b->width() + dx, b->height());
    }
    f.Splitter1Moved(&f);
    f.InvokeClick(f.saveconfig);
}

}  // namespace

void TForm1::SpeedButton3Click(QObject* /*Sender*/) {
    WidenSendButtons(*this, 10);
}

void TForm1::SpeedButton4Click(QObject* /*Sender*/) {
    WidenSendButtons(*this, -10);
}

void TForm1::CheckBox6Click(QObject* /*Sender*/) {
    const bool on = CheckBox6->isChecked();
    Edit35->setEnabled(!on);
    if (on) {
        // Loop send and timed send never run together.
        SendStringTimer->stop();
        SetChecked(CheckBox4, false);
        CheckBox4->setEnabled(false);
        CheckBox3->setEnabled(false);
        Edit1->setEnabled(false);
        Label2->setEnabled(false);
        const QString text = Edit35->text();
        if (text.isEmpty()) {
            Prompts().ShowMessage(zenta::Msg(zenta::MsgId::LoopIntervalEmpty, EnglishUI == 1));
            SetChecked(CheckBox6, false);
            Send_N_StringTimer->stop();
        } else {
            const int interval = zenta::ParseIntegerOr(text.toStdString(), 1);
            // A negative interval would never tick; it is refused like zero.
            if (interval <= 0) {
                Prompts().ShowMessage(zenta::Msg(zenta::MsgId::LoopIntervalZero, EnglishUI == 1));
                SetChecked(CheckBox6, false);
                Send_N_StringTimer->stop();
            } else {
                Send_N_StringTimer->setInterval(interval);
            }
        }
    } else {
        CheckBox4->setEnabled(true);
        CheckBox3->setEnabled(true);
    }
    if (CheckBox6->isChecked()) {
        Send_N_StringTimer->start();
    } else {
        Send_N_StringTimer->stop();
    }
}

void TForm1::Send_N_StringTimerTimer(QObject* /*Sender*/) {
    std::array<bool, 50> empty{};
    for (int i = 0; i < 50; ++i) {
        empty[static_cast<std::size_t>(i)] = RowEdit(i)->text().isEmpty();
    }
    zenta::LoopSendState state{loopPosition, loopEmptyCount};
    const std::optional<int> row = zenta::LoopSendTick(state, ComPort.Connected(), empty);
    loopPosition = state.loopPosition;
    loopEmptyCount = state.loopEmptyCount;
    if (!row) {
        return;
    }
    SetChecked(CheckBox4, RowHexBox(*row)->isChecked());
    Edit_Data->setText(RowEdit(*row)->text());
    if (CheckBox6->isChecked()) {
        InvokeClick(Button_Send);
    }
}
