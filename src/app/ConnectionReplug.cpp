// The port whose device went away: the handle is released at once, the port stays marked
// open, and it is reopened with the same settings when the device comes back.
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "app/ComMainForm.h"
#include "app/DeviceMonitor.h"
#include "app/FormState.h"
#include "app/PortNames.h"
#include "app/PortWatcher.h"
#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"
#include "serial/ctl/CPortCtl.h"

namespace {

// Folder events cover links and nodes; this look once a second covers what they miss
// (a node that appears before it may be opened, a folder that cannot be watched).
constexpr int kReplugPollMs = 1000;
// What the engine still holds when the loss is reported is read in slices of this size.
constexpr int kDrainSlice = 64 * 1024;

QString WaitingWord(bool english) {
    return english ? QStringLiteral(" Device gone, waiting for it  ")
                   : QStringLiteral(" 设备已断开,等待重新接入  ");
}

}  // namespace

void TForm1::ConnectReplug() {
    replugTimer = new QTimer(this);
    replugTimer->setInterval(kReplugPollMs);
    connect(replugTimer, &QTimer::timeout, this, [this] { ReopenMarkedPort(); });
    auto earlier = ComPort.OnError;
    ComPort.OnError = [this, earlier](TCustomComPort* port, TComErrors errors) {
        if (earlier) {
            earlier(port, errors);
        }
        ComPortError(this, errors);
    };
}

void TForm1::SelectStartPort() {
    std::vector<std::string> names;
    if (PortEntrySource) {
        names = PortEntrySource();
    } else {
        for (int i = 0; i < ComComboBox1->count(); ++i) {
            names.push_back(ComComboBox1->itemText(i).toStdString());
        }
    }
    // Plain names, as the settings loader finds the stored port by its name.
    for (std::string& n : names) {
        n = NormalizePortName(n);
    }
    std::erase(names, std::string());
    if (names.empty()) {
        return;
    }
    std::stable_sort(names.begin(), names.end(), zenta::PortOrderLess);
    QStringList items;
    for (const std::string& n : names) {
        items << QString::fromStdString(n);
    }
    ComComboBox1->SetItems(items, 0);
    ComPort.SetPort(names.front());
}

bool TForm1::PortMarkedOpen() const {
    return ComPort.Connected() || waitingForDevice_;
}

QString TForm1::PortStateWord() const {
    const bool english = EnglishUI == 1;
    if (waitingForDevice_) {
        return WaitingWord(english);
    }
    return zenta::Msg(
        ComPort.Connected() ? zenta::MsgId::PortOpenedState : zenta::MsgId::PortClosedState,
        english);
}

void TForm1::ComPortError(QObject* /*Sender*/, TComErrors Errors) {
    if (Errors.Contains(ceIO) && ComPort.Connected()) {
        ReleaseLostDevice();
    }
}

// An unplugged adapter whose node is still held comes back under a new number, so the
// handle goes now, not when the user notices.
void TForm1::ReleaseLostDevice() {
    if (waitingForDevice_) {
        return;  // already letting go: a delivery served by the close below
    }
    waitingForDevice_ = true;
    // Bytes that came in just before the loss are still queued in the engine.
    bool first = true;
    for (;;) {
        int waiting = 0;
        try {
            waiting = ComPort.InputCount();
        } catch (const EComPort&) {
            break;  // nothing more can be read from a port the engine gave up
        }
        if (waiting <= 0 || ReceiveChunk(std::min(waiting, kDrainSlice), first) <= 0) {
            break;
        }
        first = false;
    }
    // As after any port error: automatic sends stop and sending waits for the device.
    StopAutomaticSends();
    try {
        ComPort.Close();
    } catch (const std::exception&) {
        // Closing a gone device can only fail at the purge; the handle is released anyway.
    }
    if (ComPort.Connected()) {
        // A close handler reopened it: nothing to wait for.
        waitingForDevice_ = false;
        return;
    }
    Button4->setEnabled(false);
    Button_Send->setEnabled(false);
    WaitForMarkedPort();
}

void TForm1::WaitForMarkedPort() {
    waitingForDevice_ = true;
    Button_Open->setText(zenta::ButtonOpenCaption(true, EnglishUI == 1));
    if (deviceMonitor_) {
        deviceMonitor_->WatchFolder(zenta::LinkFolder(ComPort.Port()));
    }
    replugTimer->start();
}

void TForm1::StopWaitingForDevice() {
    waitingForDevice_ = false;
    if (replugTimer) {
        replugTimer->stop();
    }
}

bool TForm1::ReopenMarkedPort() {
    if (!waitingForDevice_) {
        return ComPort.Connected();
    }
    const std::string target =
        zenta::ReturnedPort(ComPort.Port(), markedIdentity_, SerialByIdFolder, markedSince_);
    if (target.empty()) {
        return false;
    }
    try {
        ComPort.SetPort(target);
        ComPort.Open();
        if (ComPort.Connected()) {
            ComPort.SetDTR(CheckBox1->isChecked());
            if (ComPort.Connected()) {
                ComPort.SetRTS(CheckBox2->isChecked());
            }
        }
    } catch (const std::exception&) {
        // Not usable yet (busy, permissions not set yet): the next notice or tick retries.
        try {
            ComPort.Close();
        } catch (const std::exception&) {
            // Released either way; the wait goes on.
        }
    }
    if (!ComPort.Connected()) {
        // The open handler ended the wait; it goes on until the device can be used.
        WaitForMarkedPort();
        return false;
    }
    Button4->setEnabled(true);
    Button_Send->setEnabled(true);
    CheckBox1->setEnabled(true);
    CheckBox2->setEnabled(true);
    Label23Click(this);
    return true;
}
