// The main window: construction, start-up, shutdown and the window-level handlers.
#include "app/ComMainForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <limits>

#include "app/DeviceMonitor.h"
#include "app/FormState.h"
#include "app/FormWidgets.h"
#include "app/HelpText.h"
#include "app/PortNames.h"
#include "app/Splitter.h"
#include "app/StartOptions.h"
#include "app/StatusPanels.h"
#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"
#include "serial/ctl/CPortCtl.h"
#include "serial/ctl/CPortSetup.h"
#include "serial/ctl/QtDispatcher.h"
#include "update/UpdateConfig.h"
#include "update/UpdatePage.h"

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    QFont uiFont = font();
    uiFont.setFamilies({QStringLiteral("Noto Sans CJK SC"), uiFont.family()});
    uiFont.setPointSize(9);
    setFont(uiFont);
    InstallSetupDialog();
    dispatcher_ = std::make_unique<TQtDispatcher>();
    BuildLayout();
    BindPort();
    Form1 = this;
    FormCreate(this);
}

TForm1::~TForm1() {
    // The controls still emit signals and events while the base class destroys them
    // (closing the window moves the focus, which finishes edits), after this object has
    // stopped being a TForm1: nothing of theirs may call back into the form from here on.
    delete findChild<QObject*>(QStringLiteral("prepEditEvents"), Qt::FindDirectChildrenOnly);
    for (QObject* child : findChildren<QObject*>()) {
        QObject::disconnect(child, nullptr, this, nullptr);
    }
    Refresh100msTimer->stop();
    SendStringTimer->stop();
    Send_N_StringTimer->stop();
    // The controls drop their weak bindings when the port member goes after them, but
    // handlers must not run into half-destroyed widgets.
    ComPort.OnAfterOpen = nullptr;
    ComPort.OnAfterClose = nullptr;
    ComPort.OnRxChar = nullptr;
    ComPort.OnCTSChange = nullptr;
    ComPort.OnDSRChange = nullptr;
    ComPort.OnRLSDChange = nullptr;
    ComPort.OnRing = nullptr;
    ComPort.OnError = nullptr;
    // The port's event thread hands its events to dispatcher_, which is destroyed before
    // the port member: the thread must be gone before the members go.
    try {
        ComPort.Close();
    } catch (...) {
        // A destructor must not throw; the device is released either way.
    }
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

// Design values of the port and the bindings of the controls to it.
void TForm1::BindPort() {
    ComPort.SetName("ComPort");
    ComPort.SetDispatcher(dispatcher_.get());
    ComPort.SetPort("COM1");
    ComPort.SetBaudRate(br115200);
    ComPort.SetDataBits(dbEight);
    ComPort.SetStopBits(sbOneStopBit);
    ComPort.Parity().SetBits(prNone);
    ComPort.FlowControl().SetFlowControl(fcNone);
    ComPort.FlowControl().SetControlDTR(dtrDisable);
    ComPort.FlowControl().SetControlRTS(rtsDisable);
    ComPort.Buffer().SetInputSize(4096);
    ComPort.SetEvents(AllComEvents);

    ComPort.OnAfterOpen = [this](TCustomComPort*) { ComPortOpen(this); };
    ComPort.OnAfterClose = [this](TCustomComPort*) { ComPortClose(this); };
    ComPort.OnRxChar = [this](TCustomComPort*, int count) { ComPortRxChar(this, count); };
    ComPort.OnRing = [this](TCustomComPort*) { ComPortRing(this); };
    ComPort.OnCTSChange = [this](TCustomComPort*, bool on) { ComPortCTSChange(this, on); };
    ComPort.OnDSRChange = [this](TCustomComPort*, bool on) { ComPortDSRChange(this, on); };
    ComPort.OnRLSDChange = [this](TCustomComPort*, bool on) { ComPortRLSDChange(this, on); };

    ComComboBox1->SetComProperty(cpPort);
    ComComboBox1->SetComPort(&ComPort);
    ComComboBox2->SetComProperty(cpBaudRate);
    ComComboBox2->SetComPort(&ComPort);
    ComComboBox3->SetComProperty(cpDataBits);
    ComComboBox3->SetComPort(&ComPort);
    ComComboBox4->SetComProperty(cpStopBits);
    ComComboBox4->SetComPort(&ComPort);
    ComComboBox5->SetComProperty(cpParity);
    ComComboBox5->SetComPort(&ComPort);
    ComComboBox6->SetComProperty(cpFlowControl);
    ComComboBox6->SetComPort(&ComPort);
    // A device path can be typed into the port box.
    ComComboBox1->setEditable(true);
    ComComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComLed1->SetLedSignal(lsConn);
    ComLed1->SetKind(lkRedLight);
    ComLed1->SetComPort(&ComPort);

    ComComboBox1->OnChange = [this](QObject*) { ComComboBox1Change(ComComboBox1); };
    ComComboBox2->OnChange = [this](QObject*) { ComComboBox2Change(ComComboBox2); };
    ComComboBox3->OnChange = [this](QObject*) { ComComboBox3Change(ComComboBox3); };
    ComComboBox4->OnChange = [this](QObject*) { ComComboBox4Change(ComComboBox4); };
    ComComboBox5->OnChange = [this](QObject*) { ComComboBox5Change(ComComboBox5); };
    ComComboBox6->OnChange = [this](QObject*) { ComComboBox6Change(ComComboBox6); };

    connect(Button_Open, &QPushButton::clicked, this, [this] { Button_OpenClick(Button_Open); });
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(CheckBox1); });
    connect(CheckBox2, &QCheckBox::clicked, this, [this] { CheckBox2Click(CheckBox2); });
    connect(Label23, &TClickLabel::clicked, this, [this] { Label23Click(Label23); });
    connect(Image2, &TClickLabel::clicked, this, [this] { Label23Click(Image2); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(BitBtn4); });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(Button5); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(Button6); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(Button2); });
    connect(saveconfig, &QPushButton::clicked, this, [this] { saveconfigClick(saveconfig); });
    connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(Button7); });
    connect(CheckBox18, &QCheckBox::clicked, this, [this] { languageChange(CheckBox18); });
    Splitter1->OnMoved = [this](QObject* sender) { Splitter1Moved(sender); };

    TClickLabel* links[] = {H1, H2, H3, H4, H5};
    for (int i = 0; i < 5; ++i) {
        connect(links[i], &TClickLabel::clicked, this, [this, i] { HeaderClick(i); });
        links[i]->installEventFilter(this);
    }
    Panel1->installEventFilter(this);
    Panel4->installEventFilter(this);
    Panel5->installEventFilter(this);

    connect(Refresh100msTimer, &QTimer::timeout, this,
            [this] { Rfreues100msTimer(Refresh100msTimer); });
    connect(getNEWSTimer, &QTimer::timeout, this, [this] { getNEWSTimerTimer(getNEWSTimer); });
    connect(cacelGetnewsTimer, &QTimer::timeout, this,
            [this] { cacelGetnewsTimerTimer(cacelGetnewsTimer); });
    Refresh100msTimer->start();

    deviceMonitor_ = std::make_unique<TDeviceMonitor>();
    deviceMonitor_->OnChange = [this](const TDeviceChange& msg) { WMDeviceChange(msg); };
    ConnectReplug();

    ConnectReceiveSendHandlers();
    ConnectSettingsHandlers();
    ConnectFileChartHandlers();
    ConnectIspHandlers();
}

// Signal wiring of the receive window, the send line and their option boxes.
void TForm1::ConnectReceiveSendHandlers() {
    ConnectReceivePath();
    ConnectSendLine();
}

// Signal wiring of the settings file, the prepared-string page and the language box.
void TForm1::ConnectSettingsHandlers() {
    // The 150 row controls do not exist yet; CreatePrepRows wires them.
    connect(SpeedButton3, &QPushButton::clicked, this, [this] { SpeedButton3Click(SpeedButton3); });
    connect(SpeedButton4, &QPushButton::clicked, this, [this] { SpeedButton4Click(SpeedButton4); });
    connect(CheckBox6, &QCheckBox::clicked, this, [this] { CheckBox6Click(CheckBox6); });
    connect(Send_N_StringTimer, &QTimer::timeout, this,
            [this] { Send_N_StringTimerTimer(Send_N_StringTimer); });
}

void TForm1::FormCreate(QObject* /*Sender*/) {
    CtsText.clear();
    DsrText.clear();
    RlsdText.clear();
    StopFlag = 0;

    // The system language first; the settings file has the last word.
    ApplySystemLanguage();
    setWindowTitle(QStringLiteral("ZENTA V") + VersionText + QStringLiteral(" 串口数据调试器"));
    setGeometry(250, 180, 850, 600);
    verifyBox->clear();
    verifyBox->addItems({QStringLiteral("None"), QStringLiteral("modbusCRC16"),
                         QStringLiteral("ADD"), QStringLiteral("XOR")});
    verifyBox->setCurrentIndex(0);
    CreatePrepRows();
    // Qt's line edits stop at 32,767 characters; payloads and stored values must not be
    // cut, neither when typed nor when loaded and saved back.
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        edit->setMaxLength(std::numeric_limits<int>::max());
    }
    Panel3->setFocusPolicy(Qt::StrongFocus);
    Edit_Data->setText(savedTextLine);
    Panel2->hide();
    Splitter1->hide();
    ProgressBar1->hide();
    // The port box's entry names the port.
    SelectStartPort();
    LoadSettingsFile();
    ApplyStartOptions(*this);
    languageChange(this);
    SetStatusBarWidths();
    StatusBar1->SetPanelText(0, HomePanelText());
    // Proxy, then the start-up tick that opens the port.
    InvokeClick(Button7);
    getNEWSTimer->start();
}

QString TForm1::HomePanelText() {
    const QString home = QString::fromStdString(zenta::ConfiguredHomeUrl());
    return home.isEmpty() ? QStringLiteral("zenta") : home;
}

void TForm1::SetStatusBarWidths() {
    const int b = StatusBar1->height();
    StatusBar1->SetPanelWidth(0, 5 * b);
    StatusBar1->SetPanelWidth(1, 4 * b);
    StatusBar1->SetPanelWidth(2, 4 * b);
    StatusBar1->SetPanelWidth(3, 13 * b);
    StatusBar1->SetPanelWidth(4, 50);
    QFont f = StatusBar1->font();
    f.setPointSize(9);
    StatusBar1->setFont(f);
}

void TForm1::FormClose(QObject* /*Sender*/) {
    InvokeClick(saveconfig);
    AbortUpdateCheck();
    if (ComPort.Connected()) {
        try {
            ComPort.Close();
        } catch (...) {
            // The window closes whatever the device says; its handle is released anyway.
        }
    }
}

void TForm1::closeEvent(QCloseEvent* e) {
    if (!closing_) {
        closing_ = true;
        FormClose(this);
    }
    e->accept();
}

void TForm1::Button5Click(QObject* /*Sender*/) {
    if (Panel2->isVisible()) {
        Panel2->hide();
        Splitter1->hide();
        Button5->setText(zenta::Button5Caption(false, EnglishUI == 1));
    } else {
        Splitter1->Fit();
        Panel2->show();
        Splitter1->show();
        Button5->setText(zenta::Button5Caption(true, EnglishUI == 1));
    }
    Memo->setFocus();
}

void TForm1::Button6Click(QObject* /*Sender*/) {
    if (Panel1->isVisible()) {
        Panel1->hide();
        Button6->setText(QStringLiteral("■"));
    } else {
        // The layout keeps the file row above the control panel either way.
        Panel5->hide();
        Panel1->show();
        Panel5->show();
        Button6->setText(QStringLiteral("━"));
    }
    Memo->setFocus();
}

void TForm1::Button2Click(QObject* /*Sender*/) {
    memo::SetText(Memo, zenta::HelpText());
    Memo->setFocus();
}

void TForm1::HeaderMouseMove(TClickLabel* over) {
    for (TClickLabel* l : {H1, H2, H3, H4, H5}) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, l == over ? QColor(0, 0, 0xFF) : QColor(Qt::black));
        l->setPalette(pal);
    }
}

void TForm1::HeaderClick(int index) {
    const QString link = HeaderLinks.at(index);
    // Links may come from the network: only web addresses reach the browser.
    if (zenta::IsWebLink(link.toStdString())) {
        QDesktopServices::openUrl(QUrl::fromUserInput(link));
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseMove || e->type() == QEvent::Enter) {
        if (watched == Panel1 || watched == Panel4 || watched == Panel5) {
            HeaderMouseMove(nullptr);
        } else if (auto* l = qobject_cast<TClickLabel*>(watched)) {
            HeaderMouseMove(l);
        }
    } else if (e->type() == QEvent::Resize && watched == Panel1) {
        LayoutControlPanel();
    } else if (e->type() == QEvent::Resize && watched == Panel5) {
        LayoutFileRow();
    }
    return QWidget::eventFilter(watched, e);
}

void TForm1::winprint(const QString& text) {
    memo::Append(Memo, text);
}

void TForm1::SetChecked(QCheckBox* box, bool on) {
    if (box->isChecked() == on) {
        return;
    }
    box->setChecked(on);
    emit box->clicked(on);
}

void TForm1::InvokeClick(QAbstractButton* button) {
    emit button->clicked(button->isChecked());
}
