#include "plot/qt/PlotChartView.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>
#include <cmath>

namespace zenta::plot {
namespace {

QValueAxis* Axis(QChart* chart, Qt::Orientation o) {
    const auto axes = chart->axes(o);
    return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis*>(axes.first());
}

}  // namespace

PlotChartView::PlotChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    setRubberBand(QChartView::RectangleRubberBand);
    setMouseTracking(true);
    for (Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
        if (QValueAxis* axis = Axis(chart, o)) {
            connect(axis, &QValueAxis::rangeChanged, this, &PlotChartView::OnAxisChanged);
        }
    }
}

QRectF PlotChartView::ValueRange() const {
    QValueAxis* x = Axis(chart(), Qt::Horizontal);
    QValueAxis* y = Axis(chart(), Qt::Vertical);
    if (!x || !y) {
        return {};
    }
    return QRectF(QPointF(x->min(), y->min()), QPointF(x->max(), y->max()));
}

void PlotChartView::SetValueRange(const QRectF& range) {
    QValueAxis* x = Axis(chart(), Qt::Horizontal);
    QValueAxis* y = Axis(chart(), Qt::Vertical);
    if (!x || !y) {
        return;
    }
    settingRange_ = true;
    x->setRange(range.left(), range.right());
    y->setRange(range.top(), range.bottom());
    settingRange_ = false;
}

void PlotChartView::OnAxisChanged() {
    if (!settingRange_) {
        emit userRangeChanged();
    }
}

void PlotChartView::wheelEvent(QWheelEvent* event) {
    const QRectF area = chart()->plotArea();
    const QPointF pos = event->position();
    if (!area.contains(pos) || event->angleDelta().y() == 0) {
        event->ignore();
        return;
    }
    // One notch zooms by 20 %; Shift zooms y only, Ctrl x only.
    const double factor = std::pow(0.8, event->angleDelta().y() / 120.0);
    const QPointF at = chart()->mapToValue(pos);
    QRectF r = ValueRange();
    const bool zoomX = !(event->modifiers() & Qt::ShiftModifier);
    const bool zoomY = !(event->modifiers() & Qt::ControlModifier);
    const double x0 = zoomX ? at.x() - (at.x() - r.left()) * factor : r.left();
    const double x1 = zoomX ? at.x() + (r.right() - at.x()) * factor : r.right();
    const double y0 = zoomY ? at.y() - (at.y() - r.top()) * factor : r.top();
    const double y1 = zoomY ? at.y() + (r.bottom() - at.y()) * factor : r.bottom();
    SetValueRange(QRectF(QPointF(x0, y0), QPointF(x1, y1)));
    emit userRangeChanged();
    event->accept();
}

void PlotChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        panning_ = true;
        panFrom_ = event->position();
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void PlotChartView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    if (panning_) {
        const QPointF d = pos - panFrom_;
        panFrom_ = pos;
        settingRange_ = true;
        chart()->scroll(-d.x(), d.y());
        settingRange_ = false;
        emit userRangeChanged();
    }
    emit cursorMoved(chart()->mapToValue(pos), chart()->plotArea().contains(pos));
    QChartView::mouseMoveEvent(event);
}

void PlotChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (panning_ && (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton)) {
        panning_ = false;
        unsetCursor();
        event->accept();
        return;  // the base class would zoom out on a right click
    }
    QChartView::mouseReleaseEvent(event);
}

void PlotChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    emit resetRequested();
    event->accept();
}

void PlotChartView::paintEvent(QPaintEvent* event) {
    QElapsedTimer timer;
    timer.start();
    QChartView::paintEvent(event);
    lastPaintNs_ = timer.nsecsElapsed();
}

void PlotChartView::leaveEvent(QEvent* event) {
    emit cursorMoved({}, false);
    QChartView::leaveEvent(event);
}

}  // namespace zenta::plot
