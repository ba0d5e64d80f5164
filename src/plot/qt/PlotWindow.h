#pragma once
// A window that plots, live, the numbers found in received text lines. The owner feeds it
// every received delivery with its receive time; parsing and storing happen at once (also
// while paused or hidden). While it is shown, new points are drawn at most ten times a
// second and within a share of a core; a user's zoom or pan at once. The window's thread
// only picks the points to draw (min and max per pixel column); the picture is drawn on a
// thread of its own.

#include <QByteArray>
#include <QColor>
#include <QElapsedTimer>
#include <QHash>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstddef>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "plot/PlotModel.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSettings;
class QSpinBox;

namespace zenta::plot {

class PlotCanvas;
struct PlotFrame;
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

    // One more field separator for the lines ('|', '/', ...; 0: blanks, commas and
    // semicolons only). Others than those offered are refused.
    void setSeparator(char separator);
    char separator() const { return model_.Separator(); }
    // The separators offered, after "none".
    static constexpr std::string_view kSeparators = "|/\\#&*~";

    // Window geometry, x mode, rolling span, y range, separator and series colours, in
    // group "Plot".
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
    // The port was closed, opened or replugged: a line begun is not continued.
    void restartLines();
    void setPaused(bool paused);
    void resetView();
    void setXMode(XMode mode);
    void setRolling(bool rolling, int seconds);
    // Picks the points to draw now and hands them to the drawing thread (the picture
    // follows shortly).
    void redrawNow();
    // Return the path written, or an empty string (the notice line says why). The CSV
    // file is written on a thread of its own from a snapshot of the points (10 million take
    // seconds): it is complete when exported() is emitted; a failure shows in the notice.
    QString exportCsv();
    QString exportPng();

  signals:
    void exported(const QString& path);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void BuildUi();
    void ApplyTexts();
    void SyncSeries();
    void UpdateLegend();
    void UpdateNotice();
    void ShowCuts();
    uint64_t CutCount() const;  // every value the limits kept out since the clear
    void ShowReadout(QPointF value, bool inside);
    void OnTick();
    void MarkDirty();
    // The current view as a frame: the range (also set on the canvas) and the decimated
    // points of every shown series.
    PlotFrame BuildFrame();
    QString SeriesName(std::size_t series) const;
    QColor DefaultColour(std::size_t series) const;
    QString ColourKey(std::size_t series) const;
    QString ReserveFile(const QString& extension, QString* error) const;
    void SetNotice(const QString& text, bool warning);
    // Waits for the CSV thread, if any, and reports its result.
    void FinishCsv();
    std::pair<double, double> LiveXRange() const;

    PlotModel model_;
    const PlotTexts* texts_;
    bool english_ = false;
    Encoding encoding_ = Encoding::Gb18030;
    QString exportFolder_;

    PlotCanvas* view_ = nullptr;
    QComboBox* xModeBox_ = nullptr;
    QLabel* separatorLabel_ = nullptr;
    QComboBox* separatorBox_ = nullptr;
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

    std::vector<bool> visible_;
    QHash<QString, QColor> userColours_;  // by ColourKey, kept across clears
    QTimer tick_;
    QTimer soon_;  // a redraw the user asked for, on the next turn of the event loop
    QElapsedTimer budgetClock_;
    qint64 nextDataRedrawMs_ = 0;
    XMode xMode_ = XMode::Time;
    bool paused_ = false;
    bool dirty_ = false;      // the view changed: draw again even while paused
    bool dataDirty_ = false;  // new points: drawn unless paused
    std::pair<double, double> frozenX_{0, 1};
    bool userView_ = false;
    bool noticeIsSaved_ = false;
    uint64_t cutsShown_ = 0;  // the model's cut counts as the notice last showed them
    QTimer noticeTimer_;      // the counts while they go on, five times a second
    std::thread csvThread_;
    QString csvPath_;
    bool csvOk_ = false;  // written by the CSV thread, read after joining it
};

}  // namespace zenta::plot
