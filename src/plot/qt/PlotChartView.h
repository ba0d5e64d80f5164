#pragma once
// The chart area: the wheel zooms about the mouse, a left drag zooms into a rectangle, a
// right or middle drag pans, a double click returns to the live view. The view reports
// what the user asked for; the window decides what to draw.

#include <QChartView>
#include <QPointF>
#include <QRectF>

namespace zenta::plot {

class PlotChartView : public QChartView {
    Q_OBJECT
  public:
    explicit PlotChartView(QChart* chart, QWidget* parent = nullptr);

    // The value range shown: x from left to right, y from bottom to top.
    QRectF ValueRange() const;
    // Sets the axes without reporting a user change.
    void SetValueRange(const QRectF& range);
    // How long the last paint of the chart took.
    qint64 LastPaintNsecs() const { return lastPaintNs_; }

  signals:
    void userRangeChanged();
    void resetRequested();
    void cursorMoved(QPointF value, bool inside);

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void OnAxisChanged();

    bool settingRange_ = false;
    bool panning_ = false;
    QPointF panFrom_;
    qint64 lastPaintNs_ = 0;
};

}  // namespace zenta::plot
