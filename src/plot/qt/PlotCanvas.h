#pragma once
// The chart area. Frames are drawn into images on a thread of their own; the widget only
// shows the newest finished one, so the window's thread never waits for a picture. At most
// one frame waits to be drawn: a newer one takes its place.
//
// The wheel zooms about the mouse (Shift: y only, Ctrl: x only), a left drag zooms into a
// rectangle, a right or middle drag pans, a double click returns to the live view. The
// canvas reports what the user asked for; the window decides what to draw.

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "plot/qt/PlotFrame.h"

class QRubberBand;

namespace zenta::plot {

class PlotCanvas : public QWidget {
    Q_OBJECT
  public:
    explicit PlotCanvas(QWidget* parent = nullptr);
    ~PlotCanvas() override;

    // The value range shown: x from left to right, y from bottom (top()) to top (bottom()).
    QRectF ValueRange() const { return range_; }
    // Sets the range without reporting a user change.
    void SetValueRange(const QRectF& range) { range_ = range; }
    // Where the lines go for the current size (as the last frame laid out).
    QRect PlotArea() const { return area_; }
    QPointF MapToValue(QPointF pixel) const { return PixelToValue(range_, area_, pixel); }

    // A frame of this widget's size and font for the current range, to be filled with lines.
    PlotFrame NewFrame() const;
    // Lays the frame out and queues it for drawing, replacing one that waits.
    void Submit(PlotFrame frame);
    // A frame is being drawn or waits to be.
    bool Busy() const;
    // Thread time of the last frame drawn.
    qint64 LastRenderNsecs() const { return lastRenderNs_.load(); }
    // The newest finished picture (null before the first).
    QImage Picture() const { return picture_; }
    // Frames finished since the start.
    quint64 FramesShown() const { return shown_; }
    // Number of the last frame submitted, and of the one whose picture is shown.
    quint64 LastSubmitted() const { return submitted_; }
    quint64 LastShown() const { return shownSerial_; }

  signals:
    void userRangeChanged();
    void resetRequested();
    void cursorMoved(QPointF value, bool inside);
    void frameShown();
    void resized();  // the next frame has a different size

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void RenderLoop();
    void Show(QImage image, quint64 serial);
    void SetUserRange(const QRectF& range);

    QRectF range_{0, 0, 1, 1};
    QRect area_;
    QImage picture_;
    quint64 shown_ = 0;
    quint64 submitted_ = 0;
    quint64 shownSerial_ = 0;
    QRubberBand* band_ = nullptr;
    QPoint bandFrom_;
    bool panning_ = false;
    QPointF panFrom_;

    // Shared with the render thread.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<PlotFrame> waiting_;
    bool drawing_ = false;
    bool stop_ = false;
    std::atomic<qint64> lastRenderNs_{0};
    std::thread thread_;  // last: starts once the rest exists
};

}  // namespace zenta::plot
