// The port whose device went away: the handle is released at once, the port stays marked
// open, and it is reopened with the same settings when the device comes back.
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "app/ConnectionPanel.h"
#include "app/DeviceMonitor.h"
#include "app/PortNames.h"
#include "app/PortWatcher.h"
#include "app/WindowLinks.h"
#include "app/WindowState.h"
#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"
#include "serial/CPort.h"
#include "serial/ctl/CPortCtl.h"

namespace {

// Folder events cover links and nodes; this look once a second covers what they miss
// (a node that appears before it may be opened, a folder that cannot be watched).
constexpr int kReplugPollMs = 1000;
// What the engine still holds when the loss is reported is read in slices of this size.
constexpr int kDrainSlice = 64 * 1024;

// A device that was open and went away, or a port that has not been there yet.
QString WaitingWord(bool gone, bool english) {
    if (!gone) {
        return english ? QStringLiteral(" waiting for the port to appear  ")
                       : QStringLiteral(" 等待串口出现  ");
    }
    return english ? QStringLiteral(" Device gone, waiting for it  ")
                   : QStringLiteral(" 设备已断开,等待重新接入  ");
}

}  // namespace

void ConnectionPanel::ConnectReplug() {
    replugTimer = new QTimer(this);
    replugTimer->setInterval(kReplugPollMs);
    connect(replugTimer, &QTimer::timeout, this, [this] { ReopenMarkedPort(); });
    deviceMonitor_ = std::make_unique<TDeviceMonitor>();
    deviceMonitor_->OnChange = [this](DeviceChange change) { onDeviceChange(change); };
    // A device that went away reports an I/O error: its handle is released at once.
    Port().OnError = [this](TCustomComPort*, TComErrors errors) {
        if (errors.Contains(ceIO) && Port().Connected()) {
            ReleaseLostDevice();
        }
    };
}

void ConnectionPanel::SelectStartPort() {
    std::vector<std::string> names;
    if (PortEntrySource) {
        names = PortEntrySource();
    } else {
        for (int i = 0; i < portBox->count(); ++i) {
            names.push_back(portBox->itemText(i).toStdString());
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
    portBox->SetItems(items, 0);
    Port().SetPort(names.front());
}

void ConnectionPanel::ChooseStoredPort(const QString& name) {
    try {
        Port().SetPort(name.toStdString());
    } catch (const std::exception&) {
        // The name is kept even if a reopen under it failed; nothing is open at load.
    }
    const QString stored = QString::fromStdString(Port().Port());
    for (int i = 0; i < portBox->count(); ++i) {
        if (QString::fromStdString(NormalizePortName(portBox->itemText(i).toStdString())) ==
            stored) {
            portBox->setCurrentIndex(i);
            storedChoice_ = portChosen_ = true;
            return;
        }
    }
    // Not listed now (unplugged, or a published link): shown as typed, so the open at
    // start-up and every refresh keep it.
    portBox->setEditText(stored);
    storedChoice_ = portChosen_ = true;
}

void ConnectionPanel::OpenAtStart() {
    const std::string name = NormalizePortName(portBox->currentText().toStdString());
    if (storedChoice_ && !name.empty() && name[0] == '/' &&
        !QFile::exists(QString::fromStdString(name))) {
        try {
            Port().SetPort(name);
        } catch (const std::exception&) {
            // Nothing is open yet; the wait below takes the name as it is.
        }
        markedIdentity_.clear();
        markedSince_ = 0;
        deviceGone_ = false;  // never seen in this run: nothing went away
        window_.SetSendingEnabled(false);
        WaitForMarkedPort();
        return;
    }
    onOpenClicked();
}

bool ConnectionPanel::PortMarkedOpen() const {
    return Port().Connected() || waitingForDevice_;
}

QString ConnectionPanel::StatusText() const {
    const bool english = EnglishUI == 1;
    const TComPort& port = Port();
    const QString state = waitingForDevice_
                              ? WaitingWord(deviceGone_, english)
                              : zenta::Msg(port.Connected() ? zenta::MsgId::PortOpenedState
                                                            : zenta::MsgId::PortClosedState,
                                           english);
    const int baud =
        baudBox->currentIndex() == 0 ? port.CustomBaudRate() : BaudRateValue(port.BaudRate());
    return QString::fromStdString(port.Port()) + state + QString::number(baud) +
           QStringLiteral("bps,") + DataBitsNames.value(port.DataBits()) + "," +
           StopBitsNames.value(port.StopBits()) + "," + ParityNames.value(port.Parity().Bits()) +
           "," + FlowNames.value(port.FlowControl().FlowControl());
}

// An unplugged adapter whose node is still held comes back under a new number, so the
// handle goes now, not when the user notices.
void ConnectionPanel::ReleaseLostDevice() {
    if (waitingForDevice_) {
        return;  // already letting go: a delivery served by the close below
    }
    waitingForDevice_ = true;
    deviceGone_ = true;
    // Bytes that came in just before the loss are still queued in the engine.
    bool first = true;
    for (;;) {
        int waiting = 0;
        try {
            waiting = Port().InputCount();
        } catch (const EComPort&) {
            break;  // nothing more can be read from a port the engine gave up
        }
        if (waiting <= 0 || window_.ReceiveNow(std::min(waiting, kDrainSlice), first) <= 0) {
            break;
        }
        first = false;
    }
    // As after any port error: automatic sends stop and sending waits for the device.
    window_.StopAutomaticSends();
    try {
        Port().Close();
    } catch (const std::exception&) {
        // Closing a gone device can only fail at the purge; the handle is released anyway.
    }
    if (Port().Connected()) {
        // A close handler reopened it: nothing to wait for.
        waitingForDevice_ = false;
        return;
    }
    window_.SetSendingEnabled(false);
    WaitForMarkedPort();
}

void ConnectionPanel::WaitForMarkedPort() {
    waitingForDevice_ = true;
    openButton->setText(zenta::ButtonOpenCaption(true, EnglishUI == 1));
    if (deviceMonitor_) {
        deviceMonitor_->WatchFolder(zenta::LinkFolder(Port().Port()));
    }
    replugTimer->start();
}

void ConnectionPanel::StopWaitingForDevice() {
    waitingForDevice_ = false;
    if (replugTimer) {
        replugTimer->stop();
    }
}

bool ConnectionPanel::ReopenMarkedPort() {
    if (!waitingForDevice_) {
        return Port().Connected();
    }
    const std::string target =
        zenta::ReturnedPort(Port().Port(), markedIdentity_, SerialByIdFolder, markedSince_);
    if (target.empty()) {
        return false;
    }
    try {
        Port().SetPort(target);
        Port().Open();
        ApplyModemLines();
    } catch (const std::exception&) {
        // Not usable yet (busy, permissions not set yet): the next notice or tick retries.
        try {
            Port().Close();
        } catch (const std::exception&) {
            // Released either way; the wait goes on.
        }
    }
    if (!Port().Connected()) {
        // The open handler ended the wait; it goes on until the device can be used.
        WaitForMarkedPort();
        return false;
    }
    window_.SetSendingEnabled(true);
    dtrCheck->setEnabled(true);
    rtsCheck->setEnabled(true);
    RefreshPortList();
    return true;
}
