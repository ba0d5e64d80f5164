#pragma once
// The receive side: the receive window, its font, clear, save and capture, the HEX and
// packet display options, and the receive path from the port to the window.
// Needs from outside: the port, the receive state, the progress bar and the settings
// save, through WindowLinks.

#include <QColor>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/ExtSettings.h"
#include "datapath/CaptureFile.h"
#include "datapath/text/Highlight.h"
#include "datapath/text/LineStamper.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class PanelFrame;
class WindowLinks;

namespace zenta {
class FindBar;
class ReceiveView;
}  // namespace zenta

class ReceivePanel : public QObject {
    Q_OBJECT
  public:
    // The receive window goes into `viewParent`; the option boxes into `host`.
    ReceivePanel(QWidget* viewParent, QWidget* host, WindowLinks& window);
    ~ReceivePanel() override;

    // ---- controls
    zenta::ReceiveView* view = nullptr;     // receive window; typing into it sends
    zenta::FindBar* findBar = nullptr;      // find, filter and highlight rules (Ctrl+F)
    PanelFrame* buttonsBox = nullptr;       // font, clear, save, capture
    QPushButton* fontButton = nullptr;      // "字体"
    QPushButton* clearButton = nullptr;     // "清除窗口": window and counters
    QPushButton* saveDataButton = nullptr;  // "保存窗口和数据"
    QCheckBox* captureCheck = nullptr;      // "接收数据到文件"
    PanelFrame* optionsBox = nullptr;       // display options
    QCheckBox* hexDisplayCheck = nullptr;   // "HEX显示"
    QCheckBox* packetCheck = nullptr;       // "分包显示": split packets by a pause
    QLabel* timeoutLabel = nullptr;         // "超时"
    QLineEdit* timeoutEdit = nullptr;       // packet pause in ms (N65)
    QLabel* timeoutUnitLabel = nullptr;     // "ms"

    // ---- handlers
    void onRxChar(int count);
    void onHexDisplayClicked();
    void onClearClicked();
    void onFontClicked();
    void onTimeoutKey(QChar& key);  // key = 0 discards it
    void onTimeoutEdited();
    void onSaveDataClicked();
    void onCaptureClicked();

    // Reads up to `count` bytes from the port through the receive path; the bytes taken.
    int ReceiveChunk(int count, bool packetDecision);
    // Shows waiting received bytes, then the text.
    void Print(const QString& text);
    // See WindowLinks::DeferReceiveDisplay.
    void DeferDisplay(bool on);
    // Encoding, colours and stamps of the receive window and the capture file.
    void ApplyDisplayOptions(const zenta::DisplayOptions& options);
    const zenta::DisplayOptions& Display() const { return display_; }
    void SetEnglish(bool english);
    // Every chunk read from the port, as it came (the plot takes its numbers from it).
    std::function<void(std::string_view)> OnReceived;
    // Shows the whole kept text again in the current display mode.
    void ShowKeptText();
    // Highlight rules, from and to the second settings file; the editor of them.
    void LoadHighlights(QSettings& settings);
    void SaveHighlights(QSettings& settings) const;
    void EditHighlights();
    // The rules were edited: the owner keeps them (in the second settings file).
    std::function<void()> OnHighlightsChanged;

    // Capture target; appended to while the capture box is checked.
    QString captureFileName;
    // Millisecond tick of the packet split (wraps like a system tick count); tests
    // replace it to place bursts without sleeping.
    std::function<uint32_t()> TickSource;
    // Reads the timed-send interval, which the packet pause is checked against.
    std::function<QString()> TimedIntervalText;

  private:
    void BuildControls(QWidget* viewParent, QWidget* host);
    void ReceiveWaiting(int count, bool newEvent);
    void CaptureChunk(const std::string& chunk);
    void ScheduleReceiveRest();
    void FitBurstSlice(int bytes, qint64 tookNs);
    void ShowBatch();
    // Converts and shows one chunk read from the port.
    void ShowChunk(const std::string& chunk, bool packetDecision);
    void ShowDeferred();
    void ShowProgress(int event, int percent);

    WindowLinks& window_;
    zenta::CaptureFile capture_;
    zenta::DisplayOptions display_;
    zenta::LineStamper captureStamper_;
    // The rest of a large burst is to be read from the event loop.
    bool restScheduled_ = false;
    // A receive event came while the rest was waiting: the rest makes its packet decision.
    bool eventWaiting_ = false;
    // Size of the slices of a large burst, fitted to how fast its bytes convert.
    int burstSlice_;
    double burstNsPerByte_ = 0;
    // Display text of the slices read so far in one delivery, and its form.
    bool batching_ = false;
    std::string batch_;
    bool batchHex_ = false;
    // Received bytes the window has yet to show while its display is deferred.
    bool defer_ = false;
    std::string deferred_;
    bool deferredScheduled_ = false;
    // Value of the last step of the running conversion.
    int progressStep_ = 0;
    // Hides the conversion progress bar a little after the last long conversion.
    QTimer progressHide_;
    // The status bar lights up while a BEL from the device is shown.
    QTimer bellFlash_;
    QColor beforeBell_;
    std::vector<zenta::HighlightRule> highlights_;
    bool english_ = false;
};
