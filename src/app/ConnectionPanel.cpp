// The connection: opening and closing the port, line parameters, modem lines, the port
// list and the setup dialog.
#include "app/ConnectionPanel.h"

#include <grp.h>
#include <sys/stat.h>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <cerrno>

#include "app/PanelWidgets.h"
#include "app/PortNames.h"
#include "app/PortWatcher.h"
#include "app/UiPrompts.h"
#include "app/WindowLinks.h"
#include "app/WindowState.h"
#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"
#include "datapath/SettingsValues.h"
#include "serial/CPort.h"
#include "serial/ctl/CPortCtl.h"
#include "text/Gb18030.h"

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

// A circular-arrow icon for the refresh image.
QPixmap RefreshIcon() {
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1a, 0x7f, 0x2e), 2.2));
    p.drawArc(QRect(3, 3, 12, 12), 60 * 16, 280 * 16);
    QPolygonF head;
    head << QPointF(11, 0.5) << QPointF(16.5, 3.5) << QPointF(11, 7.5);
    p.setBrush(QColor(0x1a, 0x7f, 0x2e));
    p.setPen(Qt::NoPen);
    p.drawPolygon(head);
    return pm;
}

}  // namespace

ConnectionPanel::ConnectionPanel(QWidget* host, QWidget* parameterPage, WindowLinks& window)
    : QObject(host), window_(window) {
    BuildControls(host, parameterPage);
    BindPort();
}

ConnectionPanel::~ConnectionPanel() = default;

TComPort& ConnectionPanel::Port() const {
    return window_.Port();
}

void ConnectionPanel::BuildControls(QWidget* p, QWidget* parameterPage) {
    using namespace panel_widgets;
    // The port column; the port label and box lie on the panel above it.
    box = Named(new PanelFrame(p), "connectionBox");
    Place(box, 2, 2, 232, 110);
    refreshIcon = Named(new ClickLabel(QString(), box), "refreshPortsIcon");
    refreshIcon->setPixmap(RefreshIcon());
    refreshIcon->setToolTip(QStringLiteral("刷新"));
    refreshIcon->setCursor(Qt::PointingHandCursor);
    Place(refreshIcon, 208, 3, 20, 20);
    baudLabel = Label(box, "baudLabel", QStringLiteral("波特率 "));
    Place(baudLabel, 2, 31, 52, 20);
    baudBox = Named(new TComComboBox(box), "baudBox");
    Place(baudBox, 54, 29, 150, 23);
    moreSettingsButton = Button(box, "moreSettingsButton", QStringLiteral("更多串口设置"));
    Place(moreSettingsButton, 0, 56, 112, 24);
    dtrCheck = Check(box, "dtrCheck", QStringLiteral("DTR"));
    Place(dtrCheck, 122, 58, 50, 20);
    rtsCheck = Check(box, "rtsCheck", QStringLiteral("RTS"));
    Place(rtsCheck, 174, 58, 52, 20);
    dtrCheck->setEnabled(false);
    rtsCheck->setEnabled(false);

    portLabel = Named(new ClickLabel(QStringLiteral("串口号 "), p), "portLabel");
    portLabel->setToolTip(QStringLiteral("点击刷新串口"));
    portLabel->setCursor(Qt::PointingHandCursor);
    Place(portLabel, 4, 7, 50, 20);
    portBox = Named(new TComComboBox(p), "portBox");
    Place(portBox, 56, 5, 150, 23);
    portLabel->raise();
    portBox->raise();

    customBaudEdit = Edit(p, "customBaudEdit", QStringLiteral("2000000"));
    customBaudEdit->setToolTip(QStringLiteral("输入自定义波特率"));
    customBaudEdit->setStyleSheet(
        QStringLiteral("QLineEdit { background: #FFFF00; color: black; }"));
    customBaudEdit->setEnabled(false);
    customBaudEdit->setReadOnly(true);
    Place(customBaudEdit, 58, 33, 100, 19);
    customBaudEdit->hide();

    openButton = Button(p, "openButton", QStringLiteral("打开串口"));
    Place(openButton, 2, 84, 112, 28);
    led = Named(new TComLed(p), "portLed");
    Place(led, 124, 86, 25, 25);

    const char* labelNames[] = {"dataBitsLabel", "stopBitsLabel", "parityLabel", "flowLabel"};
    const QString labelTexts[] = {QStringLiteral("数据位"), QStringLiteral("停止位"),
                                  QStringLiteral("校验位"), QStringLiteral("流  控")};
    const char* boxNames[] = {"dataBitsBox", "stopBitsBox", "parityBox", "flowBox"};
    QLabel** labels[] = {&dataBitsLabel, &stopBitsLabel, &parityLabel, &flowLabel};
    TComComboBox** boxes[] = {&dataBitsBox, &stopBitsBox, &parityBox, &flowBox};
    for (int i = 0; i < 4; ++i) {
        *labels[i] = Label(parameterPage, labelNames[i], labelTexts[i]);
        Place(*labels[i], 4, 60 + 26 * i, 50, 20);
        *boxes[i] = Named(new TComComboBox(parameterPage), boxNames[i]);
        Place(*boxes[i], 56, 58 + 26 * i, 100, 23);
    }
}

// Binds the controls to the port and wires their handlers.
void ConnectionPanel::BindPort() {
    TComPort& port = Port();
    const std::pair<TComComboBox*, TComProperty> bound[] = {
        {portBox, cpPort},         {baudBox, cpBaudRate}, {dataBitsBox, cpDataBits},
        {stopBitsBox, cpStopBits}, {parityBox, cpParity}, {flowBox, cpFlowControl}};
    for (const auto& [b, property] : bound) {
        b->SetComProperty(property);
        b->SetComPort(&port);
    }
    // A device path can be typed into the port box.
    portBox->setEditable(true);
    portBox->setInsertPolicy(QComboBox::NoInsert);
    led->SetLedSignal(lsConn);
    led->SetKind(lkRedLight);
    led->SetComPort(&port);

    portBox->OnChange = [this](QObject*) { onPortChanged(); };
    baudBox->OnChange = [this](QObject*) { onBaudChanged(); };
    dataBitsBox->OnChange = [this](QObject*) { onDataBitsChanged(); };
    stopBitsBox->OnChange = [this](QObject*) { onStopBitsChanged(); };
    parityBox->OnChange = [this](QObject*) { onParityChanged(); };
    flowBox->OnChange = [this](QObject*) { onFlowChanged(); };
    connect(openButton, &QPushButton::clicked, this, &ConnectionPanel::onOpenClicked);
    connect(dtrCheck, &QCheckBox::clicked, this, &ConnectionPanel::onDtrClicked);
    connect(rtsCheck, &QCheckBox::clicked, this, &ConnectionPanel::onRtsClicked);
    connect(portLabel, &ClickLabel::clicked, this, &ConnectionPanel::RefreshPortList);
    connect(refreshIcon, &ClickLabel::clicked, this, &ConnectionPanel::RefreshPortList);
    connect(moreSettingsButton, &QPushButton::clicked, this,
            &ConnectionPanel::onMoreSettingsClicked);

    port.OnAfterOpen = [this](TCustomComPort*) { OnPortOpened(); };
    port.OnAfterClose = [this](TCustomComPort*) { OnPortClosed(); };
    port.OnCTSChange = [this](TCustomComPort*, bool on) { ctsText_ = zenta::CtsText(on); };
    port.OnDSRChange = [this](TCustomComPort*, bool on) { dsrText_ = zenta::DsrText(on); };
    port.OnRLSDChange = [this](TCustomComPort*, bool on) { rlsdText_ = zenta::RlsdText(on); };
    ConnectReplug();
}

void ConnectionPanel::SetEnglish(bool english) {
    openButton->setText(zenta::ButtonOpenCaption(PortMarkedOpen(), english));
}

// ---- open and close

// ---- open and close

void ConnectionPanel::onOpenClicked() {
    try {
        if (PortMarkedOpen()) {
            StopFlag = 1;
            if (waitingForDevice_) {
                // Giving up on a device that went away: nothing is held any more.
                StopWaitingForDevice();
                OnPortClosed();
            }
            Port().Close();
            window_.SetSendingEnabled(false);
            dtrCheck->setEnabled(false);
            rtsCheck->setEnabled(false);
            return;
        }
        const std::string name = NormalizePortName(portBox->currentText().toStdString());
        Port().SetPort(name);
        if (!name.empty()) {
            Port().Open();
        }
        ApplyModemLines();
        window_.SetSendingEnabled(true);
        dtrCheck->setEnabled(true);
        rtsCheck->setEnabled(true);
        ReportLineInForce();
    } catch (const EComPort& e) {
        ReportOpenError(&e);
        RecoverFromPortError();
    } catch (const std::exception&) {
        ReportOpenError(nullptr);
        RecoverFromPortError();
    }
}

void ConnectionPanel::ReportOpenError(const EComPort* error) {
    QString text = Msg(MsgId::OpenError, EnglishUI == 1);
    if (error) {
        const QString cause =
            OpenFailureCause(error->SystemErrorCode(), Port().Port(), EnglishUI == 1);
        if (!cause.isEmpty()) {
            text += QStringLiteral("\r\n") + cause;
        }
    }
    Prompts().ShowMessage(text);
}

// Leaves the window safe after a port error: port closed, automatic sends off.
void ConnectionPanel::RecoverFromPortError() {
    StopWaitingForDevice();
    window_.StopAutomaticSends();
    try {
        Port().Close();
    } catch (const std::exception&) {
    }
    window_.SetSendingEnabled(false);
}

// DTR and RTS follow their boxes once the port is open.
void ConnectionPanel::ApplyModemLines() {
    if (Port().Connected()) {
        Port().SetDTR(dtrCheck->isChecked());
        if (Port().Connected()) {
            Port().SetRTS(rtsCheck->isChecked());
        }
    }
}

void ConnectionPanel::OnPortOpened() {
    StopWaitingForDevice();
    portChosen_ = true;
    // Taken now: once the device is gone its by-id link goes with it.
    markedDevice_ = zenta::DeviceNumber(Port().Port());
    markedSince_ = zenta::FileClockNs();
    markedIdentity_ = zenta::SerialIdentity(Port().Port(), SerialByIdFolder);
    openButton->setText(zenta::ButtonOpenCaption(true, EnglishUI == 1));
}

void ConnectionPanel::OnPortClosed() {
    openButton->setText(zenta::ButtonOpenCaption(PortMarkedOpen(), EnglishUI == 1));
}

// ---- line parameters

void ConnectionPanel::onPortChanged() {
    try {
        Port().SetPort(NormalizePortName(portBox->currentText().toStdString()));
    } catch (const std::exception& e) {
        // A reopen under the new name failed; nothing else handles it.
        ReportUncaught(e);
    }
    if (waitingForDevice_) {
        // Another port chosen while waiting: that one is marked open now, as it is.
        markedIdentity_.clear();
        markedSince_ = 0;
        deviceGone_ = false;
        ReopenMarkedPort();
    }
}

void ConnectionPanel::onBaudChanged() {
    const int index = baudBox->currentIndex();
    if (index >= 1 && index <= 25) {
        customBaudEdit->hide();
        try {
            Port().SetBaudRate(static_cast<TBaudRate>(index));
        } catch (const std::exception&) {
            baudBox->setCurrentIndex(br115200);
            try {
                Port().SetBaudRate(br115200);
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
            customBaudEdit->setText(text);
        }
        if (text.isEmpty() || !number) {
            Prompts().ShowMessage(Msg(MsgId::CustomBaudNone, false));
            return;
        }
        int v = *number;
        if (v > 50000000) {
            v = 50000000;
            customBaudEdit->setText(QStringLiteral("50000000"));
            Prompts().ShowMessage(Msg(MsgId::CustomBaudTooHigh, false));
        }
        if (v < 110) {
            v = 110;
            customBaudEdit->setText(QStringLiteral("110"));
            Prompts().ShowMessage(Msg(MsgId::CustomBaudTooLow, false));
        }
        customBaudEdit->show();
        try {
            Port().SetBaudRate(brCustom);
            Port().SetCustomBaudRate(v);
        } catch (const std::exception&) {
            Prompts().ShowMessage(Msg(MsgId::CustomBaudUnsupported, false));
            baudBox->setCurrentIndex(br115200);
            try {
                Port().SetBaudRate(br115200);
            } catch (const std::exception&) {
            }
            customBaudEdit->hide();
        }
    } else {
        return;
    }
    window_.SaveSettings();
}

void ConnectionPanel::onDataBitsChanged() {
    ApplyLineValue(
        [this] { Port().SetDataBits(static_cast<TDataBits>(dataBitsBox->currentIndex())); });
}

void ConnectionPanel::onStopBitsChanged() {
    ApplyLineValue(
        [this] { Port().SetStopBits(static_cast<TStopBits>(stopBitsBox->currentIndex())); });
}

void ConnectionPanel::onParityChanged() {
    ApplyLineValue(
        [this] { Port().Parity().SetBits(static_cast<TParityBits>(parityBox->currentIndex())); });
}

void ConnectionPanel::onFlowChanged() {
    ApplyLineValue([this] {
        Port().FlowControl().SetFlowControl(static_cast<TFlowControl>(flowBox->currentIndex()));
    });
}

// ---- DTR and RTS

void ConnectionPanel::onDtrClicked() {
    if (!Port().Connected()) {
        return;
    }
    try {
        Port().SetDTR(dtrCheck->isChecked());
    } catch (const std::exception&) {
        RecoverFromPortError();
        Prompts().ShowMessage(Msg(MsgId::DtrError, EnglishUI == 1));
        dtrCheck->setChecked(false);
    }
}

void ConnectionPanel::onRtsClicked() {
    if (!Port().Connected()) {
        return;
    }
    try {
        Port().SetRTS(rtsCheck->isChecked());
    } catch (const std::exception&) {
        RecoverFromPortError();
        Prompts().ShowMessage(Msg(MsgId::RtsError, EnglishUI == 1));
        rtsCheck->setChecked(false);
    }
}

// ---- port list

std::vector<std::string> ConnectionPanel::SystemPortEntries() {
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

void ConnectionPanel::RefreshPortList() {
    const std::vector<std::string> entries =
        PortEntrySource ? PortEntrySource() : SystemPortEntries();
    QStringList items;
    std::vector<std::string> bytes;
    for (const std::string& e : entries) {
        const QString item = QString::fromStdString(e);
        items << item;
        bytes.push_back(zenta::ToGb18030(item).toStdString());
    }
    int pick = PickPortEntry(entries, Port().Port());
    // The port the box shows stays chosen when the enumeration does not list it: a
    // pseudo-terminal typed or given on the command line, or the port that was opened, is
    // awaited or was stored, while its adapter is away. A refresh for some other device
    // must never make the next open drive a different board than the one the user picked.
    const std::string current = Port().Port();
    const QString shown = portBox->currentText();
    const bool shownIsPort = NormalizePortName(shown.toStdString()) == current;
    const bool listed = std::any_of(entries.begin(), entries.end(), [&](const std::string& e) {
        return NormalizePortName(e) == current;
    });
    const bool kept =
        portChosen_ || waitingForDevice_ || (portBox->findText(shown) < 0 && QFile::exists(shown));
    if (shownIsPort && kept && !listed && !current.empty() && current[0] == '/') {
        items << QString::fromStdString(current);
        bytes.push_back(current);
        pick = static_cast<int>(items.size()) - 1;
    }
    const int width = PortDropDownWidth(bytes);
    portBox->SetItems(items, pick);
    portBox->view()->setMinimumWidth(std::max(width, portBox->width()));
}

// ---- setup dialog

void ConnectionPanel::onMoreSettingsClicked() {
    customBaudEdit->hide();
    try {
        Port().ShowSetupDialog();
    } catch (const std::exception& e) {
        ReportUncaught(e);
    }
    baudBox->setCurrentIndex(Port().BaudRate());
    onBaudChanged();
    for (int i = 0; i < portBox->count(); ++i) {
        if (NormalizePortName(portBox->itemText(i).toStdString()) == Port().Port()) {
            portBox->setCurrentIndex(i);
            break;
        }
    }
}

// ---- device arrival

void ConnectionPanel::onDeviceChange(DeviceChange change) {
    if (change != DeviceChange::PortArrived) {
        return;
    }
    RefreshPortList();
    // A port that still holds its device is left alone: reopening it would drop what is
    // on its way. When its path now names another device, or none, the old one is gone.
    if (Port().Connected() && zenta::DeviceNumber(Port().Port()) != markedDevice_) {
        ReleaseLostDevice();
    }
    if (waitingForDevice_) {
        ReopenMarkedPort();
    }
}
