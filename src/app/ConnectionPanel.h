#pragma once
// The connection: port list, bit rate, open/close, DTR/RTS, the lamp, the setup dialog,
// the line parameter boxes, modem-line texts and the wait for a device that went away.
// Needs from outside: the port, the receive path (to drain what a lost device left)
// and the window's safe-state and sending switches, through WindowLinks.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/DeviceMonitor.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;
class ClickLabel;
class PanelFrame;
class TComComboBox;
class TComLed;
class EComPort;
class TComPort;
class WindowLinks;

class ConnectionPanel : public QObject {
    Q_OBJECT
  public:
    // Builds the port column inside `host` (the control panel) and the line parameter
    // boxes inside `parameterPage`.
    ConnectionPanel(QWidget* host, QWidget* parameterPage, WindowLinks& window);
    ~ConnectionPanel() override;

    // ---- controls
    PanelFrame* box = nullptr;                  // port column under the port label and box
    ClickLabel* portLabel = nullptr;            // "串口号": click refreshes the port list
    ClickLabel* refreshIcon = nullptr;          // refresh icon of the port list
    TComComboBox* portBox = nullptr;            // port list; a device path can be typed
    QLabel* baudLabel = nullptr;                // "波特率"
    TComComboBox* baudBox = nullptr;            // bit rate; "Custom" asks for a rate
    QLineEdit* customBaudEdit = nullptr;        // custom rate shown over the bit rate box
    QPushButton* moreSettingsButton = nullptr;  // "更多串口设置": the setup dialog
    QCheckBox* dtrCheck = nullptr;
    QCheckBox* rtsCheck = nullptr;
    QPushButton* openButton = nullptr;  // "打开串口"/"关闭串口"
    TComLed* led = nullptr;             // lit while the port is open
    // Line parameters, normally changed through the setup dialog; the prepared rows
    // lie over them.
    QLabel* dataBitsLabel = nullptr;
    TComComboBox* dataBitsBox = nullptr;
    QLabel* stopBitsLabel = nullptr;
    TComComboBox* stopBitsBox = nullptr;
    QLabel* parityLabel = nullptr;
    TComComboBox* parityBox = nullptr;
    QLabel* flowLabel = nullptr;
    TComComboBox* flowBox = nullptr;

    // ---- handlers
    void onOpenClicked();
    void onPortChanged();
    void onBaudChanged();
    void onDataBitsChanged();
    void onStopBitsChanged();
    void onParityChanged();
    void onFlowChanged();
    void onDtrClicked();
    void onRtsClicked();
    void onMoreSettingsClicked();
    // The port label and the refresh icon: the port list is read again.
    void RefreshPortList();
    void onDeviceChange(DeviceChange change);

    // ---- what the window asks
    // Start-up: the first entry of the port list names the port when none is stored.
    void SelectStartPort();
    // The settings file names the port: it stays the choice, listed or not.
    void ChooseStoredPort(const QString& name);
    // The start-up tick's open: a stored port whose device is absent is waited for as
    // after an unplug, never swapped for another device.
    void OpenAtStart();
    // Open, or released after its device went away and waited for ("CloseCom" shown).
    bool PortMarkedOpen() const;
    bool WaitingForDevice() const { return waitingForDevice_; }
    // Status panel 3: port, state word and line parameters as the device has them.
    QString StatusText() const;
    // Status panel 4: CTS, DSR and RLSD texts.
    QString ModemText() const { return ctsText_ + dsrText_ + rlsdText_; }
    void RecoverFromPortError();
    // Reopens the marked port where its device is back; true when open again.
    bool ReopenMarkedPort();
    // The port, closed, stays marked open until its device can be opened again.
    void WaitForMarkedPort();
    // Gives up waiting for a lost device (a programming run that opened the port itself).
    void StopWaiting() { StopWaitingForDevice(); }
    void SetEnglish(bool english);

    QTimer* replugTimer = nullptr;
    // Where stable device names are found (tests use a prepared folder).
    static inline std::string SerialByIdFolder = "/dev/serial/by-id";
    // Port list entries of the running system: device path + friendly name.
    static std::vector<std::string> SystemPortEntries();
    // Replaceable source of port entries (tests list pseudo-terminals).
    static inline std::function<std::vector<std::string>()> PortEntrySource;

  private:
    TComPort& Port() const;
    void BuildControls(QWidget* host, QWidget* parameterPage);
    void BindPort();
    void ConnectReplug();
    void OnPortOpened();
    void OnPortClosed();
    void ReportOpenError(const EComPort* error);
    void ReleaseLostDevice();
    void StopWaitingForDevice();
    void ApplyModemLines();
    // Applies one line value from its box, then shows what the device holds.
    void ApplyLineValue(const std::function<void()>& apply);
    // The line boxes take the values in force; the user is told which asked value the
    // device did not take.
    void ReportLineInForce();

    WindowLinks& window_;
    std::unique_ptr<TDeviceMonitor> deviceMonitor_;
    bool waitingForDevice_ = false;
    bool deviceGone_ = false;     // the wait is for a device that was open and went away
    bool storedChoice_ = false;   // the port was named by the settings file
    bool portChosen_ = false;     // ... or opened: the user's port, kept while it is away
    std::string markedIdentity_;  // /dev/serial/by-id name of the open port's device
    uint64_t markedDevice_ = 0;   // device number of the open port
    int64_t markedSince_ = 0;     // file clock when it was opened
    QString ctsText_;
    QString dsrText_;
    QString rlsdText_;
};
