#pragma once
// A window that plots, live, the numbers found in received text lines. The owner feeds it
// every received delivery with its receive time; parsing and storing happen at once (also
// while paused or hidden), drawing at most ten times a second while it is shown.

#include <QByteArray>
#include <QColor>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstddef>
#include <optional>
#include <vector>

#include "plot/PlotModel.h"

class QChart;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineSeries;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSettings;
class QSpinBox;
class QValueAxis;

namespace zenta::plot {

class PlotChartView;
struct PlotTexts;

class PlotWindow : public QWidget {
    Q_OBJECT
  public:
    // How received names are decoded: the receive window's encoding.
    enum class Encoding { Gb18030, Utf8 };

    explicit PlotWindow(QWidget* parent = nullptr, std::size_t capacity = kDefaultCapacity);
    ~PlotWindow() override;

    // One received delivery, any size, lines may be split across deliveries.
    void feed(const char* data, std::size_t size, qint64 msecsSinceEpoch);
    void feed(const QByteArray& data, qint64 msecsSinceEpoch);

    void setEncoding(Encoding encoding);
    void setEnglish(bool english);
    // Where exported files go (created when missing). Default: documents folder/zenta.
    void setExportFolder(const QString& folder);

    // Window geometry, x mode, rolling span, y range and series colours, in group "Plot".
    void saveState(QSettings& settings) const;
    void restoreState(QSettings& settings);

    // Series names as the legend shows them, in order of appearance.
    QStringList seriesNames() const;
    // Newest value of a series; empty when it has none.
    std::optional<double> lastValue(int series) const;
    const PlotModel& model() const { return model_; }
    bool isPaused() const { return paused_; }
    XMode xMode() const { return xMode_; }
    bool isRolling() const;
    int rollingSeconds() const;
    QColor seriesColour(int series) const;
    void setSeriesColour(int series, const QColor& colour);
    void setSeriesVisible(int series, bool visible);
    // The x and y ranges drawn (x left to right, y bottom to top).
    QRectF viewRange() const;
    // Text of the cursor readout and of the notice line (dropped points, saved files).
    QString readoutText() const;
    QString noticeText() const;

  public slots:
    void clear();
    void setPaused(bool paused);
    void resetView();
    void setXMode(XMode mode);
    void setRolling(bool rolling, int seconds);
    // Decimates and hands the points to the chart now (drawing follows on the next paint).
    void redrawNow();
    // Return the path written, or an empty string (the notice line says why).
    QString exportCsv();
    QString exportPng();

  signals:
    void exported(const QString& path);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void BuildUi();
    void ApplyTexts();
    void SyncSeries();
    void UpdateLegend();
    void UpdateNotice();
    void ShowReadout(QPointF value, bool inside);
    void OnTick();
    void MarkDirty() { dirty_ = true; }
    QString SeriesName(std::size_t series) const;
    QColor DefaultColour(std::size_t series) const;
    QString ColourKey(std::size_t series) const;
    QString ReserveFile(const QString& extension, QString* error) const;
    void SetNotice(const QString& text, bool warning);
    std::pair<double, double> LiveXRange() const;

    PlotModel model_;
    const PlotTexts* texts_;
    bool english_ = false;
    Encoding encoding_ = Encoding::Gb18030;
    QString exportFolder_;

    QChart* chart_ = nullptr;
    QValueAxis* axisX_ = nullptr;
    QValueAxis* axisY_ = nullptr;
    PlotChartView* view_ = nullptr;
    QComboBox* xModeBox_ = nullptr;
    QCheckBox* rollingCheck_ = nullptr;
    QSpinBox* spanSpin_ = nullptr;
    QCheckBox* autoYCheck_ = nullptr;
    QLabel* yFromLabel_ = nullptr;
    QDoubleSpinBox* yMinSpin_ = nullptr;
    QLabel* yToLabel_ = nullptr;
    QDoubleSpinBox* yMaxSpin_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPushButton* csvButton_ = nullptr;
    QPushButton* pngButton_ = nullptr;
    QListWidget* legend_ = nullptr;
    QLabel* readout_ = nullptr;
    QLabel* notice_ = nullptr;

    std::vector<QLineSeries*> lines_;
    std::vector<bool> visible_;
    QHash<QString, QColor> userColours_;  // by ColourKey, kept across clears
    std::vector<PlotPoint> scratch_;
    QList<QPointF> points_;
    QTimer tick_;
    QElapsedTimer budgetClock_;
    qint64 nextDataRedrawMs_ = 0;
    XMode xMode_ = XMode::Time;
    bool paused_ = false;
    bool dirty_ = false;      // the view changed: draw again even while paused
    bool dataDirty_ = false;  // new points: drawn unless paused
    std::pair<double, double> frozenX_{0, 1};
    bool userView_ = false;
    bool noticeIsSaved_ = false;
};

}  // namespace zenta::plot
