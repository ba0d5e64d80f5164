#pragma once
// The chart of received byte values: the chart with its range caption and page buttons
// on the control panel, and its draw, real-time and signed controls in the file row.
// Needs from outside: the received bytes (read only).

#include <QObject>
#include <cstdint>

class QChartView;
class QCheckBox;
class QLineSeries;
class QPushButton;
class QWidget;
class PanelFrame;

namespace zenta {
class ReceiveState;
}

class ChartPanel : public QObject {
    Q_OBJECT
  public:
    // The chart goes into `host` (the control panel), its buttons into `row` (file row).
    ChartPanel(QWidget* host, QWidget* row, const zenta::ReceiveState& received);

    // ---- controls
    PanelFrame* box = nullptr;
    QChartView* view = nullptr;
    QLineSeries* series = nullptr;
    QPushButton* rangeButton = nullptr;     // "0-0": range shown
    QPushButton* previousButton = nullptr;  // "<500": page back
    QPushButton* nextButton = nullptr;      // "500>": page forward
    QPushButton* showButton = nullptr;      // "显示图表": draw from the received bytes
    QCheckBox* realTimeCheck = nullptr;     // "实时刷新": redraw every second
    QCheckBox* signedCheck = nullptr;       // "带符号数": bytes as signed

    // ---- handlers
    // Draws the page in view; the refresh tick runs it once a second in real time.
    void onShowClicked();
    void onPreviousClicked();
    void onNextClicked();
    void onSignedClicked();
    void onRealTimeClicked();

    // Places the chart in what is left of the control panel right of `left`.
    void Place(int left, int width, int height);

    // Page shown while real-time refresh is off.
    int64_t page = 0;

  private:
    void PlaceButtons();

    const zenta::ReceiveState& received_;
};
