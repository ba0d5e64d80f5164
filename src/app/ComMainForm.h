#pragma once

#include <QList>
#include <QWidget>
#include <memory>

#include "app/MemoAdapter.h"
#include "datapath/ReceiveState.h"
#include "serial/CPort.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QChartView;
class QLineSeries;
class TClickLabel;
class TComComboBox;
class TComLed;
class TIspSchematic;
class TMainThreadDispatcher;
class TPanel;
class TSplitter;
class TStatusPanels;
class TDeviceMonitor;

// A device-change notice: event code and device type of its header.
struct TDeviceChange {
    static constexpr uint32_t DeviceArrival = 0x8000;
    static constexpr uint32_t DeviceRemoveComplete = 0x8004;
    static constexpr uint32_t TypeVolume = 2;
    static constexpr uint32_t TypePort = 3;
    uint32_t Event = 0;
    uint32_t DeviceType = 0;
};

// The main window: every control of the serial terminal and the handlers behind them.
class TForm1 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- the port
    TComPort ComPort;

    // ---- regions
    TMemoWidget* Memo = nullptr;
    TSplitter* Splitter1 = nullptr;
    TPanel* Panel2 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    TPanel* Panel5 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    TPanel* Panel1 = nullptr;
    TPanel* Panel4 = nullptr;
    TStatusPanels* StatusBar1 = nullptr;

    // ---- file row
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button8 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QCheckBox* CheckBox14 = nullptr;
    QCheckBox* CheckBox13 = nullptr;
    QCheckBox* CheckBox18 = nullptr;
    QPushButton* saveconfig = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;

    // ---- control panel
    TClickLabel* Label23 = nullptr;
    TComComboBox* ComComboBox1 = nullptr;
    TPanel* Panel6 = nullptr;
    TClickLabel* Image2 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QLabel* Label18 = nullptr;
    TComComboBox* ComComboBox2 = nullptr;
    QPushButton* Button_Open = nullptr;
    TComLed* ComLed1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QLineEdit* CustomBaudInput = nullptr;
    TPanel* Panel7 = nullptr;
    QPushButton* SpeedButton2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button42 = nullptr;
    QCheckBox* CheckBox19 = nullptr;
    TPanel* Panel8 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
    QCheckBox* timeoutCRLF = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* timeoutText = nullptr;
    QLabel* Label9 = nullptr;
    TPanel* Panel9 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label2 = nullptr;
    QCheckBox* NewLine_CB = nullptr;
    QLabel* Label10 = nullptr;
    QComboBox* verifyBox = nullptr;
    QPushButton* Button_Send = nullptr;
    QLineEdit* Edit_Data = nullptr;
    TPanel* Panel10 = nullptr;
    QChartView* Chart1 = nullptr;
    QLineSeries* Series1 = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QCheckBox* CheckBox9 = nullptr;
    QCheckBox* CheckBox10 = nullptr;
    QCheckBox* CheckBox11 = nullptr;
    QCheckBox* CheckBox12 = nullptr;
    QCheckBox* CheckBox7 = nullptr;
    QCheckBox* CheckBox15 = nullptr;
    QCheckBox* CheckBox16 = nullptr;
    QCheckBox* CheckBox17 = nullptr;

    // ---- link bar
    TClickLabel* H1 = nullptr;
    TClickLabel* H2 = nullptr;
    TClickLabel* H3 = nullptr;
    TClickLabel* H4 = nullptr;
    TClickLabel* H5 = nullptr;

    // ---- prepared-string page
    QLabel* Labe4 = nullptr;
    QLabel* Label24 = nullptr;
    QLabel* Label25 = nullptr;
    QLabel* Label5 = nullptr;
    TPanel* Panel3 = nullptr;
    QCheckBox* CheckBox6 = nullptr;
    QLineEdit* Edit35 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* SpeedButton3 = nullptr;
    QPushButton* SpeedButton4 = nullptr;
    TComComboBox* ComComboBox3 = nullptr;
    TComComboBox* ComComboBox4 = nullptr;
    TComComboBox* ComComboBox5 = nullptr;
    TComComboBox* ComComboBox6 = nullptr;
    QLabel* Label19 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label8 = nullptr;

    // ---- programmer page
    QPushButton* isp255_stm32 = nullptr;
    QRadioButton* writelow = nullptr;
    QRadioButton* writemiddle = nullptr;
    QRadioButton* writefast = nullptr;
    QPlainTextEdit* Memo_stm32help = nullptr;
    TIspSchematic* Image1 = nullptr;

    // ---- hidden proxy controls and the stray label
    QCheckBox* CheckBox8 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QPushButton* Button7 = nullptr;
    QLabel* Label6 = nullptr;

    // ---- timers
    QTimer* Refresh100msTimer = nullptr;
    QTimer* SendStringTimer = nullptr;
    QTimer* Send_N_StringTimer = nullptr;
    QTimer* getNEWSTimer = nullptr;
    QTimer* cacelGetnewsTimer = nullptr;

    // The 150 prepared-string controls: check boxes 0..49, edits 50..99, buttons 100..149.
    QList<QWidget*> NList;

    // Receive accumulators and counters.
    zenta::ReceiveState Rx;

    // ---- start-up and shutdown
    void FormCreate(QObject* Sender);
    void FormClose(QObject* Sender);

    // ---- window handlers
    void Button5Click(QObject* Sender);
    void Button6Click(QObject* Sender);
    void Splitter1Moved(QObject* Sender);
    void Button2Click(QObject* Sender);
    void HeaderMouseMove(TClickLabel* over);
    void HeaderClick(int index);
    void SetStatusBarWidths();

    // ---- connection control
    void Button_OpenClick(QObject* Sender);
    void ComPortOpen(QObject* Sender);
    void ComPortClose(QObject* Sender);
    void ComComboBox1Change(QObject* Sender);
    void ComComboBox2Change(QObject* Sender);
    void ComComboBox3Change(QObject* Sender);
    void ComComboBox4Change(QObject* Sender);
    void ComComboBox5Change(QObject* Sender);
    void ComComboBox6Change(QObject* Sender);
    void CheckBox1Click(QObject* Sender);
    void CheckBox2Click(QObject* Sender);
    void ComPortCTSChange(QObject* Sender, bool OnOff);
    void ComPortDSRChange(QObject* Sender, bool OnOff);
    void ComPortRLSDChange(QObject* Sender, bool OnOff);
    void ComPortRing(QObject* Sender);
    void Label23Click(QObject* Sender);
    void BitBtn4Click(QObject* Sender);
    void WMDeviceChange(const TDeviceChange& msg);

    // ---- receive window and status
    void ComPortRxChar(QObject* Sender, int Count);
    void Rfreues100msTimer(QObject* Sender);
    void winprint(const QString& text);

    // ==== receive path and send line
    void ConnectReceiveSendHandlers();

    // ---- receive window options
    void CheckBox5Click(QObject* Sender);
    void Button1Click(QObject* Sender);
    void SpeedButton2Click(QObject* Sender);
    void timeoutCRLFClick(QObject* Sender);
    // Key = 0 discards the key (as do the other key filters below).
    void timeoutTextKeyPress(QObject* Sender, QChar& Key);
    void timeoutTextExit(QObject* Sender);
    // Chart redraw, run once a second by the refresh tick while the real-time box is on.
    void BitBtn1Click(QObject* Sender);

    // ---- send line
    void Button_SendClick(QObject* Sender);
    void CheckBox4Click(QObject* Sender);
    void Edit_DataKeyPress(QObject* Sender, QChar& Key);
    void CheckBox3Click(QObject* Sender);
    void SendStringTimerTimer(QObject* Sender);
    void Edit1KeyPress(QObject* Sender, QChar& Key);
    void NewLine_CBClick(QObject* Sender);
    // Text of one key typed into the receive window (Enter "\r", Backspace "\b").
    void MemoKeyPress(QObject* Sender, const QString& Key);

    // Receive-to-file capture target; appended to while CheckBox19 is checked.
    QString captureFileName;
    // Millisecond tick of the packet split (wraps like a system tick count); tests
    // replace it to place bursts without sleeping.
    std::function<uint32_t()> RxTickSource;

    // Capture file, typed line and key filters, kept out of this header.
    struct ReceiveSendState;
    struct ReceiveSendStateDeleter {
        void operator()(ReceiveSendState* s) const;
    };
    std::unique_ptr<ReceiveSendState, ReceiveSendStateDeleter> rs_;

  private:
    void ConnectReceivePath();
    void ConnectSendLine();
    void ReceiveWaiting(int count, bool newEvent);
    int ReceiveChunk(int count, bool packetDecision);
    void CaptureChunk(const std::string& chunk);
    void HoldMemoPaint();
    void ScheduleReceiveRest();
    void ShowProgress(int event, int percent);
    // Writes under the failure guard: a port error runs the automatic re-open.
    void WriteGuarded(const std::string& bytes, bool echo);
    void RepairAfterWriteFailure();
    void StopAutomaticSends();

  public:
    // ==== end receive path and send line

    // ==== settings, prepared strings, language
    void ConnectSettingsHandlers();

    // Folder of the settings file; empty = $ZENTA_CONFIG_DIR, else the program's folder.
    static inline QString SettingsFolder;
    // System language identifier (0x0404, 0x0409, 0x0809, ...); unset = the locale's.
    static inline std::function<int()> SystemLanguageSource;

    // The font the font dialog holds; the receive window takes it over whole.
    QFont FontDialog1Font;
    // The settings save failed and said so; quiet until a save works again.
    bool iniErrorShown = false;

    // Prepared strings: row i's HEX box, data edit and send button.
    QCheckBox* RowHexBox(int i) const;
    QLineEdit* RowEdit(int i) const;
    QPushButton* RowButton(int i) const;
    void NsendOnclick(QObject* Sender);
    void NdataOnDblclick(QObject* Sender);
    void NCheckBoxMouseUp(QObject* Sender);
    void NEditKeyUp(QObject* Sender);
    void SpeedButton3Click(QObject* Sender);
    void SpeedButton4Click(QObject* Sender);
    void CheckBox6Click(QObject* Sender);
    void Send_N_StringTimerTimer(QObject* Sender);
    // Start-up: the system language's interface hint.
    void ApplySystemLanguage();
    // Loop send: number of the entry taken last, and empty entries skipped in a row.
    int loopPosition = 0;
    int loopEmptyCount = 0;
    // ==== end settings, prepared strings, language

    // ==== programmer
    void ConnectIspHandlers();
    void isp255_stm32Click(QObject* Sender);
    // True while a programming run holds the port: a file send must not start meanwhile.
    bool ispRunning = false;
    // Answers whether a file is being sent: a run does not start meanwhile.
    std::function<bool()> IspFileSendRunning;
    // Image buffers, the wake-up timer of the run's waits and test hooks.
    struct IspState;
    struct IspStateDeleter {
        void operator()(IspState* s) const;
    };
    std::unique_ptr<IspState, IspStateDeleter> isp_;
    // ==== end programmer

    // ---- hooks filled in by later work
    void saveconfigClick(QObject* Sender);
    void languageChange(QObject* Sender);
    void Button7Click(QObject* Sender);
    void getNEWSTimerTimer(QObject* Sender);
    void cacelGetnewsTimerTimer(QObject* Sender);
    void LoadSettingsFile();
    void StartUpdateCheck();
    void AbortUpdateCheck();

    // ---- helpers
    // Sets a check box from code; a change runs its click handler as a user's click would.
    static void SetChecked(QCheckBox* box, bool on);
    // Runs a button's click handler from code, also while the button is disabled.
    static void InvokeClick(QAbstractButton* button);
    // Port list entries of the running system: device path + friendly name.
    static std::vector<std::string> SystemPortEntries();
    // Replaceable source of port entries (tests list pseudo-terminals).
    static inline std::function<std::vector<std::string>()> PortEntrySource;

    // Row height and first row top of the prepared-string page.
    int RowHeight() const;
    int RowTop() const;

  protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void BuildLayout();
    void BuildFileRow();
    void BuildControlPanel();
    void BuildLinkBar();
    void BuildSidePanel();
    void BuildHiddenControls();
    void BuildTimers();
    void BindPort();
    void CreatePrepRows();
    void LayoutCaptions();
    void LayoutControlPanel();
    void ReportOpenError(const EComPort* error);
    void RecoverFromPortError();

    std::unique_ptr<TMainThreadDispatcher> dispatcher_;
    std::unique_ptr<TDeviceMonitor> deviceMonitor_;
    int refreshTick_ = 0;
    bool closing_ = false;
};

// The one window of the program.
inline TForm1* Form1 = nullptr;
