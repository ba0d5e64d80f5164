#pragma once

#include <QList>
#include <QWidget>
#include <memory>
#include <string_view>

#include "app/MemoAdapter.h"
#include "app/core/SettingsFile.h"
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
    TComPort ComPort;  // the serial port the window drives

    // ---- regions
    TMemoWidget* Memo = nullptr;           // receive window; typing into it sends
    TSplitter* Splitter1 = nullptr;        // bar between receive window and side panel
    TPanel* Panel2 = nullptr;              // side panel: prepared strings, programmer
    QTabWidget* PageControl1 = nullptr;    // side panel pages
    QWidget* TabSheet1 = nullptr;          // "多条字符串发送": the 50 prepared strings
    QWidget* TabSheet2 = nullptr;          // "stm32ISP": the programmer page
    TPanel* Panel5 = nullptr;              // file row
    QProgressBar* ProgressBar1 = nullptr;  // file send and programming progress
    TPanel* Panel1 = nullptr;              // control panel: port, receive and send options, chart
    TPanel* Panel4 = nullptr;              // link bar
    TStatusPanels* StatusBar1 = nullptr;   // status: home link, S:, R:, port state, modem lines

    // ---- file row
    QLineEdit* Edit2 = nullptr;         // path of the file to send
    QPushButton* Button3 = nullptr;     // "打开文件": choose the file
    QPushButton* Button4 = nullptr;     // "发送文件": send the file
    QPushButton* Button8 = nullptr;     // "停止": stop a file send or programming run
    QPushButton* Button2 = nullptr;     // "帮助": help text into the receive window
    QPushButton* BitBtn1 = nullptr;     // "显示图表": draw the chart from received bytes
    QCheckBox* CheckBox14 = nullptr;    // "实时刷新": redraw the chart every second
    QCheckBox* CheckBox13 = nullptr;    // "带符号数": chart bytes as signed
    QCheckBox* CheckBox18 = nullptr;    // "English": interface language (N100)
    QPushButton* saveconfig = nullptr;  // "保存参数": save the settings file
    QPushButton* Button5 = nullptr;     // "扩展"/"隐藏": show or hide the side panel
    QPushButton* Button6 = nullptr;     // "━"/"■": show or hide the control panel

    // ---- control panel
    TClickLabel* Label23 = nullptr;        // "串口号": click refreshes the port list
    TComComboBox* ComComboBox1 = nullptr;  // port list; a device path can be typed
    TPanel* Panel6 = nullptr;              // port column under the port label and box
    TClickLabel* Image2 = nullptr;         // refresh icon of the port list
    QPushButton* BitBtn4 = nullptr;        // "更多串口设置": the setup dialog
    QLabel* Label18 = nullptr;             // "波特率"
    TComComboBox* ComComboBox2 = nullptr;  // bit rate; "Custom" asks for a rate
    QPushButton* Button_Open = nullptr;    // "打开串口"/"关闭串口"
    TComLed* ComLed1 = nullptr;            // lamp lit while the port is open
    QCheckBox* CheckBox1 = nullptr;        // "DTR" line
    QCheckBox* CheckBox2 = nullptr;        // "RTS" line
    QLineEdit* CustomBaudInput = nullptr;  // custom rate shown over the bit rate box
    TPanel* Panel7 = nullptr;              // receive buttons
    QPushButton* SpeedButton2 = nullptr;   // "字体": receive window font
    QPushButton* Button1 = nullptr;        // "清除窗口": clear the receive window and counters
    QPushButton* Button42 = nullptr;       // "保存窗口和数据": save received data to a file
    QCheckBox* CheckBox19 = nullptr;   // "接收数据到文件": capture received bytes to a file
    TPanel* Panel8 = nullptr;          // receive display options
    QCheckBox* CheckBox5 = nullptr;    // "HEX显示": receive window in HEX
    QCheckBox* timeoutCRLF = nullptr;  // "分包显示": split packets by a pause
    QLabel* Label1 = nullptr;          // "超时"
    QLineEdit* timeoutText = nullptr;  // packet pause in ms (N65)
    QLabel* Label9 = nullptr;          // "ms"
    TPanel* Panel9 = nullptr;          // send options
    QCheckBox* CheckBox4 = nullptr;    // "HEX发送": send line is HEX
    QCheckBox* CheckBox3 = nullptr;    // "定时发送": timed send on
    QLineEdit* Edit1 = nullptr;        // timed send interval in ms (N56)
    QLabel* Label2 = nullptr;          // "ms/次"
    QCheckBox* NewLine_CB = nullptr;   // "加回车换行": append CR LF to a send
    QLabel* Label10 = nullptr;         // "末尾加校验:"
    QComboBox* verifyBox = nullptr;    // checksum appended to a send (N60)
    QPushButton* Button_Send = nullptr;   // "发  送": send the send line
    QLineEdit* Edit_Data = nullptr;       // send line
    TPanel* Panel10 = nullptr;            // chart panel
    QChartView* Chart1 = nullptr;         // chart of received bytes
    QLineSeries* Series1 = nullptr;       // the chart's line
    QPushButton* SpeedButton1 = nullptr;  // "0-0": chart range shown
    QPushButton* BitBtn2 = nullptr;       // "<500": chart page back
    QPushButton* BitBtn3 = nullptr;       // "500>": chart page forward
    QCheckBox* CheckBox9 = nullptr;       // chart series colour box 1, hidden
    QCheckBox* CheckBox10 = nullptr;      // chart series colour box 2, hidden
    QCheckBox* CheckBox11 = nullptr;      // chart series colour box 3, hidden
    QCheckBox* CheckBox12 = nullptr;      // chart series colour box 4, hidden
    QCheckBox* CheckBox7 = nullptr;       // chart series colour box 5, hidden
    QCheckBox* CheckBox15 = nullptr;      // chart series colour box 6, hidden
    QCheckBox* CheckBox16 = nullptr;      // chart series colour box 7, hidden
    QCheckBox* CheckBox17 = nullptr;      // chart series colour box 8, hidden

    // ---- link bar
    TClickLabel* H1 = nullptr;  // "zenta 串口调试助手" link
    TClickLabel* H2 = nullptr;  // "zenta 开发者" link
    TClickLabel* H3 = nullptr;  // "使用说明" link
    TClickLabel* H4 = nullptr;  // "下载最新版本" link
    TClickLabel* H5 = nullptr;  // "联系与反馈" link

    // ---- prepared-string page
    QLabel* Labe4 = nullptr;               // "HEX" column title
    QLabel* Label24 = nullptr;             // "字符串(双击注释)" column title
    QLabel* Label25 = nullptr;             // "点击发送" column title
    QLabel* Label5 = nullptr;              // "←拖动分割线" hint
    TPanel* Panel3 = nullptr;              // loop send row
    QCheckBox* CheckBox6 = nullptr;        // "自动循环发送, 间隔:": loop send on
    QLineEdit* Edit35 = nullptr;           // loop send interval in ms (N58)
    QLabel* Label3 = nullptr;              // "ms"
    QPushButton* SpeedButton3 = nullptr;   // "<": previous rows
    QPushButton* SpeedButton4 = nullptr;   // ">": next rows
    TComComboBox* ComComboBox3 = nullptr;  // data bits, under the rows
    TComComboBox* ComComboBox4 = nullptr;  // stop bits, under the rows
    TComComboBox* ComComboBox5 = nullptr;  // parity, under the rows
    TComComboBox* ComComboBox6 = nullptr;  // flow control, under the rows
    QLabel* Label19 = nullptr;             // "数据位"
    QLabel* Label20 = nullptr;             // "停止位"
    QLabel* Label4 = nullptr;              // "校验位"
    QLabel* Label8 = nullptr;              // "流  控"

    // ---- programmer page
    QPushButton* isp255_stm32 = nullptr;       // "开始下载STM32": start programming
    QRadioButton* writelow = nullptr;          // "烧64K字节约10秒": slow programming rate
    QRadioButton* writemiddle = nullptr;       // "烧64K字节约5.3秒": middle rate (default)
    QRadioButton* writefast = nullptr;         // "最快": fastest rate
    QPlainTextEdit* Memo_stm32help = nullptr;  // programmer help text
    TIspSchematic* Image1 = nullptr;           // wiring diagram of the download cable

    // ---- hidden proxy controls and the stray label
    QCheckBox* CheckBox8 = nullptr;  // "通过代理": use the proxy, hidden
    QLineEdit* Edit3 = nullptr;      // proxy host, hidden
    QLineEdit* Edit4 = nullptr;      // proxy port, hidden
    QPushButton* Button7 = nullptr;  // "检查代理": read the system proxy, hidden
    QLabel* Label6 = nullptr;        // stray "停止位" label, hidden

    // ---- timers
    QTimer* Refresh100msTimer = nullptr;   // 100 ms: status bar and chart refresh
    QTimer* SendStringTimer = nullptr;     // timed send of the send line
    QTimer* Send_N_StringTimer = nullptr;  // loop send of the prepared strings
    QTimer* getNEWSTimer = nullptr;  // 300 ms start-up tick: opens the port, checks for updates
    QTimer* cacelGetnewsTimer = nullptr;  // gives up a slow update check

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

    // ==== replug: the device of the marked port went away and is waited for
    void ConnectReplug();
    // Start-up: the first entry of the port list names the port when none is selected.
    void SelectStartPort();
    // A device that went away reports an I/O error: its handle is released at once.
    void ComPortError(QObject* Sender, TComErrors Errors);
    // Open, or released after its device went away and waited for ("CloseCom" shown).
    bool PortMarkedOpen() const;
    bool WaitingForDevice() const { return waitingForDevice_; }
    // The open/closed word of status panel 3.
    QString PortStateWord() const;
    // Reopens the marked port where its device is back; true when open again.
    bool ReopenMarkedPort();
    // The port, closed, stays marked open until its device can be opened again.
    void WaitForMarkedPort();
    QTimer* replugTimer = nullptr;
    // Where stable device names are found (tests use a prepared folder).
    static inline std::string SerialByIdFolder = "/dev/serial/by-id";

  private:
    void ReleaseLostDevice();
    void StopWaitingForDevice();
    bool waitingForDevice_ = false;
    std::string markedIdentity_;  // /dev/serial/by-id name of the open port's device
    uint64_t markedDevice_ = 0;   // device number of the open port
    int64_t markedSince_ = 0;     // file clock when it was opened

  public:
    // ==== end replug

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
    zenta::SaveFailureLatch iniSaveLatch;

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

    // ==== update notice
    // Update page address; unset = the one configured at build time (empty = no request).
    static inline std::function<QString()> UpdateUrlSource;
    // Fallback address of header label 0..4; unset = the configured home/download pages.
    static inline std::function<QString(int)> DefaultLinkSource;
    // How long the update request may run before it is cancelled.
    static inline int UpdateCancelMs = 5000;
    // HTTP client and proxy query of the update check, kept out of this header.
    struct UpdateState;
    struct UpdateStateDeleter {
        void operator()(UpdateState* s) const;
    };
    std::unique_ptr<UpdateState, UpdateStateDeleter> update_;

  private:
    UpdateState& Update();
    void SendUpdateRequest();
    void FinishUpdateCheck(bool ok, const QByteArray& body);
    void ShowUpdatePage(const QByteArray& body);

  public:
    // ==== end update notice
    // ==== files and chart
    void ConnectFileChartHandlers();
    void Button3Click(QObject* Sender);
    void Button4Click(QObject* Sender);
    void Button8Click(QObject* Sender);
    void Button42Click(QObject* Sender);
    void CheckBox19Click(QObject* Sender);
    void BitBtn2Click(QObject* Sender);
    void BitBtn3Click(QObject* Sender);
    void CheckBox13Click(QObject* Sender);
    void CheckBox14Click(QObject* Sender);
    // A file send is running: nothing else may take over the port meanwhile.
    bool FileSendRunning() const { return fileSendRunning_; }
    // Folder for saved and captured data: the program's folder when writable, else
    // documents/zenta (created on demand).
    static QString DataFolder();
    // Stands in for the executable's folder when set (tests).
    static inline QString ProgramFolder;
    // Page of the chart while real-time refresh is off.
    int64_t chartPage = 0;

    // One block of a file send; the bytes the port took, -1 when it failed.
    int64_t WriteFileBlock(std::string_view bytes);

  private:
    void FileSendFailed();
    bool fileSendRunning_ = false;

  public:
    // ==== end files and chart

    // ==== programmer
    void ConnectIspHandlers();
    void isp255_stm32Click(QObject* Sender);
    // True while a programming run holds the port: a file send must not start meanwhile.
    bool ispRunning = false;
    // Image buffers, the wake-up timer of the run's waits and test hooks.
    struct IspState;
    struct IspStateDeleter {
        void operator()(IspState* s) const;
    };
    std::unique_ptr<IspState, IspStateDeleter> isp_;
    // ==== end programmer

    // ---- settings file, language switch, proxy and update check
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
    // Status panel 0 at rest: the configured home page, else the program's name.
    static QString HomePanelText();
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
    void LayoutFileRow();
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
