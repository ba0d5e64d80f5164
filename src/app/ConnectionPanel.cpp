// Opening and closing the port, line parameters, modem lines and the port list.
#include <grp.h>
#include <sys/stat.h>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cerrno>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/FormWidgets.h"
#include "app/PortNames.h"
#include "app/PortWatcher.h"
#include "app/UiPrompts.h"
#include "text/Gb18030.h"
#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"
#include "datapath/SettingsValues.h"
#include "serial/CPort.h"
#include "serial/ctl/CPortCtl.h"

using zenta::Msg;
using zenta::MsgId;

namespace {

// The group that owns a device node, "dialout" when it cannot be told.
QString DeviceGroup(const std::string& path) {
    struct stat st {};
    if (!path.empty() && ::stat(path.c_str(), &st) == 0) {
        if (const group* g = ::getgrgid(st.st_gid); g && g->gr_name && g->gr_gid != 0) {
            return QString::fromLocal8Bit(g->gr_name);
        }
    }
    return QStringLiteral("dialout");
}

// Why the system refused the open, as one more line of the open error; empty when the
// cause is none of the two a user can fix.
QString OpenFailureCause(int err, const std::string& path, bool english) {
    if (err == EBUSY || err == EAGAIN || err == EWOULDBLOCK) {
        return english ? QStringLiteral("The port is in use by another program.")
                       : QStringLiteral("该串口正被其他程序占用。");
    }
    if (err == EACCES || err == EPERM) {
        const QString group = DeviceGroup(path);
        return english ? QStringLiteral(
                             "Permission denied: your user is not in the group "
                             "\"%1\" of the device. Run: sudo usermod -aG %1 $USER "
                             "and then log in again.")
                             .arg(group)
                       : QStringLiteral(
                             "没有权限: 当前用户不在该设备所属的用户组 \"%1\" 中。"
                             "请执行: sudo usermod -aG %1 $USER ,然后重新登录。")
                             .arg(group);
    }
    return {};
}

void ReportUncaught(const std::exception& e) {
    Prompts().ShowMessage(QString::fromUtf8(e.what()));
}

}  // namespace

// ---- open and close

void TForm1::Button_OpenClick(QObject* /*Sender*/) {
    try {
        if (PortMarkedOpen()) {
            StopFlag = 1;
            if (waitingForDevice_) {
                // Giving up on a device that went away: nothing is held any more.
                StopWaitingForDevice();
                ComPortClose(this);
            }
            ComPort.Close();
            Button4->setEnabled(false);
            Button_Send->setEnabled(false);
            CheckBox1->setEnabled(false);
            CheckBox2->setEnabled(false);
            return;
        }
        const std::string name = NormalizePortName(ComComboBox1->currentText().toStdString());
        ComPort.SetPort(name);
        if (!name.empty()) {
            ComPort.Open();
        }
        if (ComPort.Connected()) {
            ComPort.SetDTR(CheckBox1->isChecked());
            if (ComPort.Connected()) {
                ComPort.SetRTS(CheckBox2->isChecked());
            }
        }
        Button4->setEnabled(true);
        Button_Send->setEnabled(true);
        Panel1->setEnabled(true);
        CheckBox1->setEnabled(true);
        CheckBox2->setEnabled(true);
    } catch (const EComPort& e) {
        ReportOpenError(&e);
        RecoverFromPortError();
    } catch (const std::exception&) {
        ReportOpenError(nullptr);
        RecoverFromPortError();
    }
}

void TForm1::ReportOpenError(const EComPort* error) {
    QString text = Msg(MsgId::OpenError, EnglishUI == 1);
    if (error) {
        const QString cause =
            OpenFailureCause(error->SystemErrorCode(), ComPort.Port(), EnglishUI == 1);
        if (!cause.isEmpty()) {
            text += QStringLiteral("\r\n") + cause;
        }
    }
    Prompts().ShowMessage(text);
}

// Leaves the window safe after a port error: port closed, automatic sends off.
void TForm1::RecoverFromPortError() {
    StopWaitingForDevice();
    SetChecked(CheckBox6, false);
    Send_N_StringTimer->stop();
    SetChecked(CheckBox3, false);
    SendStringTimer->stop();
    StopFlag = 1;
    try {
        ComPort.Close();
    } catch (const std::exception&) {
    }
    Button4->setEnabled(false);
    Button_Send->setEnabled(false);
}

void TForm1::ComPortOpen(QObject* /*Sender*/) {
    StopWaitingForDevice();
    // Taken now: once the device is gone its by-id link goes with it.
    markedDevice_ = zenta::DeviceNumber(ComPort.Port());
    markedSince_ = zenta::FileClockNs();
    markedIdentity_ = zenta::SerialIdentity(ComPort.Port(), SerialByIdFolder);
    Button_Open->setText(zenta::ButtonOpenCaption(true, EnglishUI == 1));
}

void TForm1::ComPortClose(QObject* /*Sender*/) {
    Button_Open->setText(zenta::ButtonOpenCaption(PortMarkedOpen(), EnglishUI == 1));
}

// ---- line parameters

void TForm1::ComComboBox1Change(QObject* /*Sender*/) {
    try {
        ComPort.SetPort(NormalizePortName(ComComboBox1->currentText().toStdString()));
    } catch (const std::exception& e) {
        // A reopen under the new name failed; nothing else handles it.
        ReportUncaught(e);
    }
    if (waitingForDevice_) {
        // Another port chosen while waiting: that one is marked open now, as it is.
        markedIdentity_.clear();
        markedSince_ = 0;
        ReopenMarkedPort();
    }
}

void TForm1::ComComboBox2Change(QObject* /*Sender*/) {
    const int index = ComComboBox2->currentIndex();
    if (index >= 1 && index <= 25) {
        CustomBaudInput->hide();
        try {
            ComPort.SetBaudRate(static_cast<TBaudRate>(index));
        } catch (const std::exception&) {
            ComComboBox2->setCurrentIndex(br115200);
            try {
                ComPort.SetBaudRate(br115200);
            } catch (const std::exception&) {
            }
        }
    } else if (index == 0) {
        const std::optional<QString> answer = Prompts().InputQuery(
            Msg(MsgId::CustomBaudCaption, false), Msg(MsgId::CustomBaudPrompt, false), QString());
        QString text;
        std::optional<int> number;
        if (answer) {
            text = *answer;
            number = zenta::ParseInteger(text.toStdString());
            if (!number) {
                Prompts().ShowMessage(Msg(MsgId::CustomBaudNotANumber, false));
                return;
            }
            CustomBaudInput->setText(text);
        }
        if (text.isEmpty() || !number) {
            Prompts().ShowMessage(Msg(MsgId::CustomBaudNone, false));
            return;
        }
        int v = *number;
        if (v > 50000000) {
            v = 50000000;
            CustomBaudInput->setText(QStringLiteral("50000000"));
            Prompts().ShowMessage(Msg(MsgId::CustomBaudTooHigh, false));
        }
        if (v < 110) {
            v = 110;
            CustomBaudInput->setText(QStringLiteral("110"));
            Prompts().ShowMessage(Msg(MsgId::CustomBaudTooLow, false));
        }
        CustomBaudInput->show();
        try {
            ComPort.SetBaudRate(brCustom);
            ComPort.SetCustomBaudRate(v);
        } catch (const std::exception&) {
            Prompts().ShowMessage(Msg(MsgId::CustomBaudUnsupported, false));
            ComComboBox2->setCurrentIndex(br115200);
            try {
                ComPort.SetBaudRate(br115200);
            } catch (const std::exception&) {
            }
            CustomBaudInput->hide();
        }
    } else {
        return;
    }
    InvokeClick(saveconfig);
}

namespace {

// Sets a parameter from the box; a refused value falls back to a safe entry, silently.
template <class Apply>
void ApplyWithFallback(QComboBox* box, int fallback, Apply apply) {
    try {
        apply(box->currentIndex());
    } catch (const std::exception&) {
        box->setCurrentIndex(fallback);
        try {
            apply(fallback);
        } catch (const std::exception&) {
        }
    }
}

}  // namespace

void TForm1::ComComboBox3Change(QObject* /*Sender*/) {
    ApplyWithFallback(ComComboBox3, dbEight,
                      [this](int i) { ComPort.SetDataBits(static_cast<TDataBits>(i)); });
}

void TForm1::ComComboBox4Change(QObject* /*Sender*/) {
    ApplyWithFallback(ComComboBox4, sbOneStopBit,
                      [this](int i) { ComPort.SetStopBits(static_cast<TStopBits>(i)); });
}

void TForm1::ComComboBox5Change(QObject* /*Sender*/) {
    ApplyWithFallback(ComComboBox5, prNone,
                      [this](int i) { ComPort.Parity().SetBits(static_cast<TParityBits>(i)); });
}

void TForm1::ComComboBox6Change(QObject* /*Sender*/) {
    ApplyWithFallback(ComComboBox6, fcNone, [this](int i) {
        ComPort.FlowControl().SetFlowControl(static_cast<TFlowControl>(i));
    });
}

// ---- DTR and RTS

void TForm1::CheckBox1Click(QObject* /*Sender*/) {
    if (!ComPort.Connected()) {
        return;
    }
    try {
        ComPort.SetDTR(CheckBox1->isChecked());
    } catch (const std::exception&) {
        RecoverFromPortError();
        Prompts().ShowMessage(Msg(MsgId::DtrError, EnglishUI == 1));
        CheckBox1->setChecked(false);
    }
}

void TForm1::CheckBox2Click(QObject* /*Sender*/) {
    if (!ComPort.Connected()) {
        return;
    }
    try {
        ComPort.SetRTS(CheckBox2->isChecked());
    } catch (const std::exception&) {
        RecoverFromPortError();
        Prompts().ShowMessage(Msg(MsgId::RtsError, EnglishUI == 1));
        CheckBox2->setChecked(false);
    }
}

// ---- modem inputs

void TForm1::ComPortCTSChange(QObject* /*Sender*/, bool OnOff) {
    CtsText = zenta::CtsText(OnOff);
}

void TForm1::ComPortDSRChange(QObject* /*Sender*/, bool OnOff) {
    DsrText = zenta::DsrText(OnOff);
}

void TForm1::ComPortRLSDChange(QObject* /*Sender*/, bool OnOff) {
    RlsdText = zenta::RlsdText(OnOff);
}

void TForm1::ComPortRing(QObject* /*Sender*/) {}

// ---- port list

std::vector<std::string> TForm1::SystemPortEntries() {
    std::vector<std::string> devices;
    try {
        EnumComPorts(devices);
    } catch (const std::exception&) {
        devices.clear();
    }
    std::vector<PortCandidate> ports;
    ports.reserve(devices.size());
    for (const std::string& d : devices) {
        ports.push_back({d, zenta::FriendlyPortName(d)});
    }
    return BuildPortEntries(std::move(ports));
}

void TForm1::Label23Click(QObject* /*Sender*/) {
    const std::vector<std::string> entries =
        PortEntrySource ? PortEntrySource() : SystemPortEntries();
    QStringList items;
    std::vector<std::string> bytes;
    for (const std::string& e : entries) {
        const QString item = QString::fromStdString(e);
        items << item;
        bytes.push_back(zenta::ToGb18030(item).toStdString());
    }
    int pick = PickPortEntry(entries, ComPort.Port());
    // A device path typed into the box (as the command line does) that the enumeration does
    // not list, a pseudo-terminal say, stays chosen while it exists: a refresh for some other
    // device must not switch the port to the first entry.
    const std::string current = ComPort.Port();
    const QString shown = ComComboBox1->currentText();
    const bool typed =
        ComComboBox1->findText(shown) < 0 && NormalizePortName(shown.toStdString()) == current;
    const bool listed = std::any_of(entries.begin(), entries.end(), [&](const std::string& e) {
        return NormalizePortName(e) == current;
    });
    if (typed && !listed && !current.empty() && current[0] == '/' &&
        QFile::exists(QString::fromStdString(current))) {
        items << QString::fromStdString(current);
        bytes.push_back(current);
        pick = static_cast<int>(items.size()) - 1;
    }
    const int width = PortDropDownWidth(bytes);
    ComComboBox1->SetItems(items, pick);
    ComComboBox1->view()->setMinimumWidth(std::max(width, ComComboBox1->width()));
}

// ---- setup dialog

void TForm1::BitBtn4Click(QObject* /*Sender*/) {
    CustomBaudInput->hide();
    try {
        ComPort.ShowSetupDialog();
    } catch (const std::exception& e) {
        ReportUncaught(e);
    }
    ComComboBox2->setCurrentIndex(ComPort.BaudRate());
    ComComboBox2Change(ComComboBox2);
    for (int i = 0; i < ComComboBox1->count(); ++i) {
        if (NormalizePortName(ComComboBox1->itemText(i).toStdString()) == ComPort.Port()) {
            ComComboBox1->setCurrentIndex(i);
            break;
        }
    }
}

// ---- device arrival

void TForm1::WMDeviceChange(const TDeviceChange& msg) {
    if (msg.Event != TDeviceChange::DeviceArrival || msg.DeviceType != TDeviceChange::TypePort) {
        return;
    }
    Label23Click(this);
    // A port that still holds its device is left alone: reopening it would drop what is
    // on its way. When its path now names another device, or none, the old one is gone.
    if (ComPort.Connected() && zenta::DeviceNumber(ComPort.Port()) != markedDevice_) {
        ReleaseLostDevice();
    }
    if (waitingForDevice_) {
        ReopenMarkedPort();
    }
}
