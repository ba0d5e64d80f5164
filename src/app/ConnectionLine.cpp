// The line parameter boxes against what the device holds: a driver may refuse a value or
// take it without an error and keep another one (a pseudo-terminal keeps 8 data bits and
// no parity; many USB adapters refuse 5 or 6 data bits, mark and space parity or one and a
// half stop bits). The port holds the values in force after every apply; the boxes follow
// it and the user is told what did not take.
#include <QLineEdit>
#include <QStringList>

#include "app/ConnectionPanel.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/WindowLinks.h"
#include "app/WindowState.h"
#include "app/core/Messages.h"
#include "serial/CPort.h"
#include "serial/ctl/CPortCtl.h"

namespace {

// "data bits 5 (kept: 8)" for a box that asked for another value than the port holds.
void NoteDifference(QStringList& notes, const TComComboBox* box, int held, const QString& name,
                    bool english) {
    const int asked = box->currentIndex();
    if (asked == held || asked < 0 || held < 0 || held >= box->count()) {
        return;
    }
    notes << (english ? QStringLiteral("%1 %2 (kept: %3)") : QStringLiteral("%1 %2（仍为 %3）"))
                 .arg(name, box->itemText(asked), box->itemText(held));
}

}  // namespace

void ConnectionPanel::ApplyLineValue(const std::function<void()>& apply) {
    try {
        apply();
    } catch (const std::exception&) {
        // The port went back to the values in force; the report below names the one refused.
    }
    ReportLineInForce();
}

void ConnectionPanel::ReportLineInForce() {
    const TComPort& port = Port();
    if (!port.Connected()) {
        return;
    }
    const bool english = EnglishUI == 1;
    QStringList notes;
    if (baudBox->currentIndex() != 0 || port.BaudRate() != brCustom) {
        NoteDifference(notes, baudBox, port.BaudRate(),
                       english ? QStringLiteral("bit rate") : QStringLiteral("波特率"), english);
    }
    NoteDifference(notes, dataBitsBox, port.DataBits(),
                   english ? QStringLiteral("data bits") : QStringLiteral("数据位"), english);
    NoteDifference(notes, stopBitsBox, port.StopBits(),
                   english ? QStringLiteral("stop bits") : QStringLiteral("停止位"), english);
    NoteDifference(notes, parityBox, port.Parity().Bits(),
                   english ? QStringLiteral("parity") : QStringLiteral("校验位"), english);
    for (TComComboBox* box : {baudBox, dataBitsBox, stopBitsBox, parityBox, flowBox}) {
        box->UpdateSettings();
    }
    if (port.BaudRate() == brCustom) {
        customBaudEdit->setText(QString::number(port.CustomBaudRate()));
        customBaudEdit->show();
    }
    window_.Status()->SetPanelText(3, StatusText());
    if (!notes.isEmpty()) {
        Prompts().ShowMessage(
            zenta::Msg(zenta::MsgId::LineNotTaken, english).arg(notes.join(", ")));
    }
}
