#pragma once
// The main window: builds the regions and the panels, wires the few things they share
// (the port, the receive state, the language, the settings file) and runs start-up,
// the refresh tick and shutdown. Each panel owns its controls and handlers.

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/ExtSettings.h"
#include "app/SettingsKeeper.h"
#include "app/WindowLinks.h"
#include "app/core/SettingsFile.h"
#include "datapath/ReceiveState.h"
#include "serial/CPort.h"

class QCheckBox;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QTabWidget;
class QTimer;
class ChartPanel;
class ConnectionPanel;
class FileRowPanel;
class LinkBar;
class PanelFrame;
class PreparedPanel;
class ProgrammerPage;
class ReceivePanel;
class SendPanel;
class ConsoleBar;
class TMainThreadDispatcher;
class TSplitter;
class TStatusPanels;
class UpdateCheck;
namespace zenta::plot {
class PlotWindow;
}

class MainWindow : public QWidget, public WindowLinks {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The serial port the window drives; declared first so that it outlives the panels.
    TComPort port;
    // Receive accumulators and counters.
    zenta::ReceiveState received;

    // ---- panels
    ConnectionPanel* connection = nullptr;
    ReceivePanel* receive = nullptr;
    SendPanel* send = nullptr;
    ConsoleBar* console = nullptr;
    FileRowPanel* files = nullptr;
    ChartPanel* chart = nullptr;
    PreparedPanel* prepared = nullptr;
    ProgrammerPage* programmer = nullptr;
    LinkBar* links = nullptr;
    UpdateCheck* update = nullptr;
    // Plot of the numbers in received lines: a window of its own, fed all the time.
    zenta::plot::PlotWindow* plot = nullptr;

    // ---- regions
    TSplitter* sideSplitter = nullptr;  // bar between receive window and side panel
    PanelFrame* sidePanel = nullptr;    // prepared strings, programmer
    QTabWidget* sidePages = nullptr;
    PanelFrame* fileRow = nullptr;
    QProgressBar* progressBar = nullptr;  // file send and programming progress
    PanelFrame* controlPanel = nullptr;   // port, receive and send options, chart
    QScrollArea* controlArea = nullptr;   // scrolls the control panel in a narrow window
    TStatusPanels* statusBar = nullptr;   // home link, S:, R:, port state, modem lines

    // ---- the window's own controls in the file row
    QPushButton* helpButton = nullptr;          // "帮助": help text into the receive window
    QPushButton* plotButton = nullptr;          // "绘图": the plot window
    QPushButton* optionsButton = nullptr;       // "选项": encoding, colours, time stamps
    QCheckBox* englishCheck = nullptr;          // "English": interface language (N100)
    QPushButton* saveSettingsButton = nullptr;  // "保存参数"
    QPushButton* sidePanelButton = nullptr;     // "扩展"/"隐藏": side panel
    QPushButton* controlPanelButton = nullptr;  // "━"/"■": control panel

    // ---- timers
    // 100 ms: status bar, highlights, real-time chart. It runs while something happens
    // (port events, input, sends, a run) and stops when the window has been quiet a while.
    QTimer* refreshTimer = nullptr;
    QTimer* startTimer = nullptr;  // 300 ms start-up tick: opens the port, checks for updates

    // ---- handlers
    void onHelpClicked();
    void onPlotClicked();
    void onOptionsClicked();
    void onSidePanelClicked();
    void onControlPanelClicked();
    void onSaveSettingsClicked();
    void onLanguageChanged();
    void onRefreshTick();
    // The refresh timer's tick: the refresh, then a stop once nothing is going on. It
    // also runs in the wake of a delivery while data flows; each run emits refreshed().
    void onRefreshTimer();
    // Something may have changed what the tick shows: the tick runs again.
    void WakeRefresh();
    void onStartTick();

    // Lays out the control panel and the file row after a caption change.
    void LayoutCaptions();
    void LayoutFileRow();
    void LayoutControlPanel();
    void FitControlArea();
    void PlaceProgressBar();
    // Reads the settings file into the controls, running their handlers.
    void LoadSettingsFile();

    // Folder of the settings file; empty = $ZENTA_CONFIG_DIR, else the program's folder.
    static inline QString SettingsFolder;
    // The area the window is fitted into at start; unset = the available area of the
    // screen that shows most of the window.
    static inline std::function<QRect()> ScreenAreaSource;
    // System language identifier (0x0404, 0x0409, 0x0809, ...); unset = the locale's.
    static inline std::function<int()> SystemLanguageSource;

    // The font the font dialog holds; the receive window takes it over whole.
    QFont fontDialogFont;
    // The settings save failed and said so; quiet until a save works again.
    zenta::SaveFailureLatch iniSaveLatch;
    // Writes the settings within a second of a change; holds the settings folder.
    zenta::SettingsKeeper* settingsKeeper = nullptr;

    // ---- WindowLinks
    TComPort& Port() override { return port; }
    zenta::ReceiveState& Received() override { return received; }
    zenta::ReceiveView* View() override;
    QProgressBar* Progress() override { return progressBar; }
    TStatusPanels* Status() override { return statusBar; }
    QTimer* RefreshTick() override { return refreshTimer; }
    void Print(const QString& text) override;
    void DeferReceiveDisplay(bool on) override;
    void SaveSettings() override;
    bool Closing() const override { return closing_; }
    void OpenAction() override;
    bool PortMarkedOpen() const override;
    void RecoverFromPortError() override;
    void WaitForDevice() override;
    void SetOpenEnabled(bool on) override;
    void SetSendEnabled(bool on) override;
    void SetSendFileEnabled(bool on) override;
    void StopAutomaticSends() override;
    bool HexDisplay() const override;
    bool PacketSplit() const override;
    void SetPacketSplit(bool on) override;
    int ReceiveNow(int count, bool packetDecision) override;
    void UsePreparedLine(bool hex, const QString& text, bool sendIt) override;
    void SetLoopSendActive(bool on) override;
    bool FileSendRunning() const override;
    bool ProgrammerRunning() const override;
    QString FilePath() const override;
    zenta::LineEnd SendLineEnd() const override;

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  signals:
    void refreshed();

  private:
    void BuildRegions();
    void BuildWindowControls();
    void KeepTabOrder();
    void BindPort();
    void Start();
    void SaveAndRelease();
    void ApplySystemLanguage();
    void SetStatusBarWidths();
    // The second settings file: display options and the plot window's state.
    void LoadExtSettings();
    void SaveExtSettings();
    void SaveExtInto(QSettings& ext);
    void KeepSettings();
    void ApplyDisplayOptions(const zenta::DisplayOptions& options);
    void FitIntoScreen();
    // Work that changes the status bar on its own: the tick must keep running.
    bool RefreshNeeded() const;

    void RefreshAfterDelivery();

    static constexpr int kRefreshMs = 100;
    std::unique_ptr<TMainThreadDispatcher> dispatcher_;
    int refreshTick_ = 0;
    QElapsedTimer sinceRefresh_;
    // Ticks in a row with nothing going on; start-up gets a few seconds of ticks.
    int quietTicks_ = -30;
    // Receive count the real-time chart last showed.
    int64_t chartShownRx_ = -1;
    bool tearingDown_ = false;
    bool closing_ = false;
    bool shown_ = false;
};
