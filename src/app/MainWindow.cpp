// The main window: construction, start-up, shutdown, the refresh tick and the few
// requests panels make of one another.
#include "app/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
#include "app/ConsoleBar.h"
#include "app/FileRowPanel.h"
#include "app/HelpText.h"
#include "app/LinkBar.h"
#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/ProgrammerPage.h"
#include "app/ReceivePanel.h"
#include "app/SaveFolder.h"
#include "app/SendPanel.h"
#include "app/SettingsBinding.h"
#include "app/Splitter.h"
#include "app/StartOptions.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/UpdateCheck.h"
#include "app/WindowState.h"
#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"
#include "app/core/ScreenFit.h"
#include "datapath/qt/ReceiveView.h"
#include "plot/qt/PlotWindow.h"
#include "serial/ctl/CPortCtl.h"
#include "serial/ctl/CPortSetup.h"
#include "serial/ctl/QtDispatcher.h"

using panel_widgets::InvokeClick;
using panel_widgets::SetChecked;

namespace {

// Ticks in a row with nothing going on before the refresh timer stops.
constexpr int kQuietTicks = 5;

// Every port event (data, modem lines, errors) is served through here, so each one
// wakes the refresh tick after it has been served.
class WakingDispatcher : public TQtDispatcher {
  public:
    explicit WakingDispatcher(std::function<void()> woken) : woken_(std::move(woken)) {}
    void Wake(std::function<void()> serve) override {
        TQtDispatcher::Wake([this, serve = std::move(serve)] {
            serve();
            woken_();
        });
    }

  private:
    std::function<void()> woken_;
};

bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::InputMethod:
        case QEvent::Drop:
        case QEvent::Shortcut:
            return true;
        default:
            return false;
    }
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowIcon(AppIcon());
    QFont uiFont = font();
    uiFont.setFamilies({QStringLiteral("Noto Sans CJK SC"), uiFont.family()});
    uiFont.setPointSize(9);
    setFont(uiFont);
    InstallSetupDialog();
    dispatcher_ = std::make_unique<WakingDispatcher>([this] { RefreshAfterDelivery(); });
    BindPort();
    BuildRegions();
    // What the user does may change what the tick shows (a box ticked, a send).
    qApp->installEventFilter(this);
    Start();
}

MainWindow::~MainWindow() {
    // The controls still emit signals and events while the base class destroys them
    // (closing the window moves the focus, which finishes edits), after this object has
    // stopped being a MainWindow: nothing of theirs may call back into the panels.
    for (QObject* child : findChildren<QObject*>()) {
        child->removeEventFilter(prepared);
        QObject::disconnect(child, nullptr, this, nullptr);
        for (QObject* panel : std::initializer_list<QObject*>{
                 connection, receive, send, files, chart, prepared, programmer, links, update}) {
            QObject::disconnect(child, nullptr, panel, nullptr);
        }
    }
    tearingDown_ = true;
    refreshTimer->stop();
    send->StopTimedSend();
    prepared->loopTimer->stop();
    // Handlers must not run into half-destroyed widgets.
    port.OnAfterOpen = nullptr;
    port.OnAfterClose = nullptr;
    port.OnRxChar = nullptr;
    port.OnCTSChange = nullptr;
    port.OnDSRChange = nullptr;
    port.OnRLSDChange = nullptr;
    port.OnRing = nullptr;
    port.OnError = nullptr;
    // The port's event thread hands its events to dispatcher_, which is destroyed before
    // the port member: the thread must be gone before the members go.
    try {
        port.Close();
    } catch (...) {
        // A destructor must not throw; the device is released either way.
    }
}

// Design values of the port; the panels bind their controls and handlers to it.
void MainWindow::BindPort() {
    port.SetName("ComPort");
    port.SetDispatcher(dispatcher_.get());
    port.SetPort("COM1");
    port.SetBaudRate(br115200);
    port.SetDataBits(dbEight);
    port.SetStopBits(sbOneStopBit);
    port.Parity().SetBits(prNone);
    port.FlowControl().SetFlowControl(fcNone);
    port.FlowControl().SetControlDTR(dtrDisable);
    port.FlowControl().SetControlRTS(rtsDisable);
    port.Buffer().SetInputSize(4096);
    port.SetEvents(AllComEvents);
}

void MainWindow::Start() {
    StopFlag = 0;
    KeepSettings();
    // The system language first; the settings file has the last word.
    ApplySystemLanguage();
    setWindowTitle(QStringLiteral("ZENTA V") + VersionText + QStringLiteral(" 串口数据调试器"));
    setGeometry(250, 180, 850, 600);
    // Qt's line edits stop at 32,767 characters; payloads and stored values must not be
    // cut, neither when typed nor when loaded and saved back.
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        edit->setMaxLength(std::numeric_limits<int>::max());
    }
    sidePanel->hide();
    sideSplitter->hide();
    progressBar->hide();
    // The port box's entry names the port.
    connection->SelectStartPort();
    LoadSettingsFile();
    LoadExtSettings();
    ApplyStartOptions(*this);
    onLanguageChanged();
    FitIntoScreen();
    SetStatusBarWidths();
    statusBar->SetPanelText(0, HomePanelText());
    settingsKeeper->Start();
    if (!settingsKeeper->Writer()) {
        Prompts().ShowMessage(zenta::Msg(zenta::MsgId::SettingsInUse, EnglishUI == 1)
                                  .arg(QDir::toNativeSeparators(
                                      QFileInfo(zenta::WindowSettingsPath()).absolutePath())));
    }
    // Proxy, then the start-up tick that opens the port.
    update->ReadSystemProxy();
    startTimer->start();
}

// A stored or default geometry may be larger than the screen (a smaller monitor, a scale
// factor: 850x600 at 2x needs 1700x1200) or off every screen (a monitor since unplugged, a
// file written by hand): the window is fitted into the available area of the screen that
// shows most of it, so the control panel and the title bar stay in reach.
void MainWindow::FitIntoScreen() {
    const QRect g = geometry();
    QRect area;
    if (ScreenAreaSource) {
        area = ScreenAreaSource();
    } else {
        long long shown = 0;
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QRect seen = screen->availableGeometry().intersected(g);
            const long long size = seen.isEmpty() ? 0 : 1LL * seen.width() * seen.height();
            if (size > shown) {
                shown = size;
                area = screen->availableGeometry();
            }
        }
        if (area.isEmpty() && QGuiApplication::primaryScreen() != nullptr) {
            area = QGuiApplication::primaryScreen()->availableGeometry();
        }
    }
    // The frame (title bar, borders) is known once the window is shown; it must fit too.
    const QRect frame = frameGeometry();
    const QMargins margins(g.left() - frame.left(), g.top() - frame.top(),
                           frame.right() - g.right(), frame.bottom() - g.bottom());
    const QSize extra(margins.left() + margins.right(), margins.top() + margins.bottom());
    const QRect fitted = zenta::FitIntoArea(frame, area, minimumSizeHint() + extra) - margins;
    if (fitted != g) {
        setGeometry(fitted);
    }
    // The side panel keeps some of the narrower window for the receive window.
    sideSplitter->Fit();
}

void MainWindow::SetStatusBarWidths() {
    const int b = statusBar->height();
    statusBar->SetPanelWidth(0, 5 * b);
    statusBar->SetPanelWidth(1, 4 * b);
    statusBar->SetPanelWidth(2, 4 * b);
    statusBar->SetPanelWidth(3, 13 * b);
    statusBar->SetPanelWidth(4, 50);
    QFont f = statusBar->font();
    f.setPointSize(9);
    statusBar->setFont(f);
}

void MainWindow::onStartTick() {
    startTimer->stop();
    connection->OpenAtStart();
    connection->RefreshPortList();
    update->Start();
}

void MainWindow::SaveAndRelease() {
    SaveSettings();
    SaveExtSettings();
    settingsKeeper->Release();
    update->Abort();
    if (port.Connected()) {
        try {
            port.Close();
        } catch (...) {
            // The window closes whatever the device says; its handle is released anyway.
        }
    }
}

void MainWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!shown_) {
        shown_ = true;
        // Fitted again with the frame the window got.
        QTimer::singleShot(0, this, [this] { FitIntoScreen(); });
    }
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (!closing_) {
        closing_ = true;
        SaveAndRelease();
    }
    e->accept();
}

void MainWindow::onSidePanelClicked() {
    if (sidePanel->isVisible()) {
        sidePanel->hide();
        sideSplitter->hide();
        sidePanelButton->setText(zenta::Button5Caption(false, EnglishUI == 1));
    } else {
        sideSplitter->Fit();
        sidePanel->show();
        sideSplitter->show();
        sidePanelButton->setText(zenta::Button5Caption(true, EnglishUI == 1));
    }
    View()->setFocus();
}

void MainWindow::onControlPanelClicked() {
    if (controlArea->isVisible()) {
        controlArea->hide();
        controlPanelButton->setText(QStringLiteral("■"));
    } else {
        // The layout keeps the file row above the control panel either way.
        fileRow->hide();
        controlArea->show();
        fileRow->show();
        controlPanelButton->setText(QStringLiteral("━"));
    }
    View()->setFocus();
}

void MainWindow::onPlotClicked() {
    plot->setExportFolder(zenta::SaveFolder());
    plot->show();
    plot->raise();
    plot->activateWindow();
}

void MainWindow::onOptionsClicked() {
    const std::optional<zenta::DisplayOptions> chosen =
        Prompts().ChooseDisplayOptions(receive->Display(), EnglishUI == 1);
    if (!chosen || *chosen == receive->Display()) {
        return;
    }
    ApplyDisplayOptions(*chosen);
    SaveExtSettings();
}

void MainWindow::ApplyDisplayOptions(const zenta::DisplayOptions& options) {
    receive->ApplyDisplayOptions(options);
    send->SetEncoding(options.encoding);
    console->SetEncoding(options.encoding);
    // Names in the plot follow the receive window's encoding; Latin-1 names are ASCII.
    plot->setEncoding(options.encoding == zenta::TextEncoding::Gb18030
                          ? zenta::plot::PlotWindow::Encoding::Gb18030
                          : zenta::plot::PlotWindow::Encoding::Utf8);
}

void MainWindow::LoadExtSettings() {
    const std::unique_ptr<QSettings> ext = zenta::OpenExtSettings();
    zenta::DisplayOptions options;
    options.Load(*ext);
    ApplyDisplayOptions(options);
    receive->LoadHighlights(*ext);
    zenta::ConsoleOptions consoleOptions;
    consoleOptions.Load(*ext);
    console->ApplyOptions(consoleOptions);
    plot->restoreState(*ext);
    programmer->LoadOptions(*ext);
}

// zenta5.ini keeps the original program's keys only; the rest goes here.
void MainWindow::SaveExtSettings() {
    if (settingsKeeper && !settingsKeeper->Writer()) {
        return;  // another window holds the folder
    }
    const std::unique_ptr<QSettings> ext = zenta::OpenExtSettings();
    SaveExtInto(*ext);
    ext->sync();
    if (settingsKeeper) {
        settingsKeeper->NoteExtWritten();
    }
}

void MainWindow::SaveExtInto(QSettings& ext) {
    receive->Display().Save(ext);
    receive->SaveHighlights(ext);
    console->Options().Save(ext);
    plot->saveState(ext);
    programmer->SaveOptions(ext);
}

void MainWindow::KeepSettings() {
    settingsKeeper = new zenta::SettingsKeeper(
        this,
        [this] {
            send->StoreShownLine();
            return zenta::BuildSettingsFile(zenta::SnapshotOfWindow(*this));
        },
        [this](QSettings& ext) { SaveExtInto(ext); });
    settingsKeeper->saveIni = [this] { SaveSettings(); };
    settingsKeeper->saveExt = [this] { SaveExtSettings(); };
    settingsKeeper->TakeFolder(QFileInfo(zenta::WindowSettingsPath()).absolutePath());
}

void MainWindow::onHelpClicked() {
    View()->setPlainText(zenta::HelpText());
    View()->setFocus();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    if (IsInput(e->type())) {
        WakeRefresh();
    }
    if (e->type() == QEvent::MouseMove || e->type() == QEvent::Enter) {
        if (watched == controlPanel || watched == links->bar || watched == fileRow) {
            links->Highlight(nullptr);
        }
    } else if ((e->type() == QEvent::Resize || e->type() == QEvent::Move) &&
               watched == receive->view) {
        PlaceProgressBar();
    } else if (e->type() == QEvent::Resize && watched == controlPanel) {
        LayoutControlPanel();
    } else if (e->type() == QEvent::Resize && watched == controlArea) {
        FitControlArea();
    } else if (e->type() == QEvent::Resize && watched == fileRow) {
        LayoutFileRow();
    }
    return QWidget::eventFilter(watched, e);
}

namespace {

void Highlight(QWidget* w, bool on) {
    const QString sheet = on ? QStringLiteral("background: #FFFF00;") : QString();
    if (w->styleSheet() != sheet) {
        w->setStyleSheet(sheet);
    }
}

QColor LoadColor(int64_t rxCount) {
    // Deeper warm tones as the receive buffer fills.
    if (rxCount > 2000000) {
        return QColor(0xFF, 0x63, 0x47);
    }
    if (rxCount > 1000000) {
        return QColor(0xFF, 0xA0, 0x7A);
    }
    if (rxCount > 500000) {
        return QColor(0xFF, 0xDA, 0xB9);
    }
    if (rxCount > 200000) {
        return QColor(0xFF, 0xEB, 0xCD);
    }
    return QColor();
}

}  // namespace

void MainWindow::WakeRefresh() {
    quietTicks_ = std::min(quietTicks_, 0);
    if (!refreshTimer->isActive() && !tearingDown_) {
        refreshTimer->start();
    }
}

// While data flows, the tick runs in the wake of the delivery that brought it, so the
// window repaints the received text and the counts at once instead of twice a period.
// The timer then waits longer than the port holds received bytes (up to 200 ms), and
// takes over when the deliveries stop.
void MainWindow::RefreshAfterDelivery() {
    // A programming run follows the timer's own ticks.
    if (tearingDown_ || ProgrammerRunning()) {
        WakeRefresh();
        return;
    }
    quietTicks_ = std::min(quietTicks_, 0);
    constexpr qint64 kFollowMs = kRefreshMs * 5 / 2;
    const qint64 since = sinceRefresh_.isValid() ? sinceRefresh_.elapsed() : kFollowMs;
    if (refreshTimer->isActive() && since < kRefreshMs * 3 / 4) {
        // Just refreshed by the timer: the next delivery takes over from it.
        refreshTimer->start(static_cast<int>(kFollowMs - since));
        return;
    }
    onRefreshTimer();
    refreshTimer->start(static_cast<int>(kFollowMs));
}

bool MainWindow::RefreshNeeded() const {
    // A device being waited for comes back from a poll, not from an event.
    const bool waitingForDevice = connection->PortMarkedOpen() && !port.Connected();
    return send->timedSendTimer->isActive() || prepared->loopTimer->isActive() ||
           FileSendRunning() || ProgrammerRunning() || waitingForDevice ||
           (chart->realTimeCheck->isChecked() && chartShownRx_ != received.rxCount);
}

void MainWindow::onRefreshTimer() {
    sinceRefresh_.start();
    refreshTimer->setInterval(kRefreshMs);
    onRefreshTick();
    emit refreshed();
    if (RefreshNeeded()) {
        quietTicks_ = std::min(quietTicks_, 0);
    } else if (++quietTicks_ >= kQuietTicks) {
        refreshTimer->stop();
    }
}

void MainWindow::onRefreshTick() {
    if (++refreshTick_ >= 10) {
        refreshTick_ = 0;
        if (chart->realTimeCheck->isChecked()) {
            chart->onShowClicked();
            chartShownRx_ = received.rxCount;
        }
    }
    statusBar->SetPanelText(3, connection->StatusText());
    statusBar->SetPanelText(2, QStringLiteral("R:") + QString::number(received.rxCount));
    statusBar->SetPanelText(1, QStringLiteral("S:") + QString::number(received.txCount));
    statusBar->SetPanelText(4, connection->ModemText());
    // The colour says how full the window is, not how much the session received.
    statusBar->SetColor(LoadColor(static_cast<int64_t>(received.rxRawAll.size())));

    Highlight(send->hexSendCheck, send->hexSendCheck->isChecked());
    Highlight(send->timedSendCheck, send->timedSendCheck->isChecked());
    Highlight(receive->hexDisplayCheck, receive->hexDisplayCheck->isChecked());
    Highlight(receive->packetCheck, receive->packetCheck->isChecked());
    Highlight(receive->captureCheck, receive->captureCheck->isChecked());
    Highlight(send->crLfCheck, send->crLfCheck->isChecked() && !send->hexSendCheck->isChecked());
    const bool checksum = send->checksumBox->currentIndex() > 0;
    Highlight(send->checksumBox, checksum);
    Highlight(send->checksumLabel, checksum);
}

// ---- what the panels ask of one another

zenta::ReceiveView* MainWindow::View() {
    return receive->view;
}

// Through the save button, as every save goes.
void MainWindow::SaveSettings() {
    InvokeClick(saveSettingsButton);
}

void MainWindow::Print(const QString& text) {
    receive->Print(text);
}

void MainWindow::DeferReceiveDisplay(bool on) {
    receive->DeferDisplay(on);
}

void MainWindow::OpenAction() {
    InvokeClick(connection->openButton);
}

bool MainWindow::PortMarkedOpen() const {
    return connection->PortMarkedOpen();
}

void MainWindow::RecoverFromPortError() {
    connection->RecoverFromPortError();
}

void MainWindow::WaitForDevice() {
    connection->WaitForMarkedPort();
}

void MainWindow::SetOpenEnabled(bool on) {
    connection->openButton->setEnabled(on);
}

void MainWindow::SetSendEnabled(bool on) {
    send->sendButton->setEnabled(on);
}

void MainWindow::SetSendFileEnabled(bool on) {
    files->sendFileButton->setEnabled(on);
}

void MainWindow::StopAutomaticSends() {
    prepared->StopLoopSend();
    send->StopTimedSend();
    StopFlag = 1;
}

bool MainWindow::HexDisplay() const {
    return receive->hexDisplayCheck->isChecked();
}

bool MainWindow::PacketSplit() const {
    return receive->packetCheck->isChecked();
}

void MainWindow::SetPacketSplit(bool on) {
    SetChecked(receive->packetCheck, on);
}

int MainWindow::ReceiveNow(int count, bool packetDecision) {
    return receive->ReceiveChunk(count, packetDecision);
}

void MainWindow::UsePreparedLine(bool hex, const QString& text, bool sendIt) {
    send->UseLine(hex, text, sendIt);
}

void MainWindow::SetLoopSendActive(bool on) {
    send->SetLoopSendActive(on);
}

bool MainWindow::FileSendRunning() const {
    return files->SendRunning();
}

bool MainWindow::ProgrammerRunning() const {
    return programmer->Running();
}

void MainWindow::ShowLine(int baudOrdinal, int dataBits, int parity, int stopBits) {
    const auto show = [](auto* box, int index) {
        if (index >= 0) {
            box->setCurrentIndex(index);
        }
    };
    show(connection->baudBox, baudOrdinal);
    show(connection->dataBitsBox, dataBits);
    show(connection->parityBox, parity);
    show(connection->stopBitsBox, stopBits);
}

void MainWindow::ReleaseResetLines() {
    panel_widgets::SetChecked(connection->rtsCheck, false);
    panel_widgets::SetChecked(connection->dtrCheck, false);
}

void MainWindow::StopWaitingForDevice() {
    connection->StopWaiting();
}

QString MainWindow::FilePath() const {
    return files->pathEdit->text();
}

zenta::LineEnd MainWindow::SendLineEnd() const {
    return console->Options().lineEnd;
}
