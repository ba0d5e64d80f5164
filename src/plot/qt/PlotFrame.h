#pragma once
// One picture of the plot as plain data: the decimated points of every shown series, the
// value range, the axes' ticks and the plot area. The window builds it on its own thread;
// RenderFrame draws it anywhere (a QPainter on a QImage needs no GUI thread).

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <utility>
#include <vector>

#include "plot/AxisTicks.h"
#include "plot/PointStore.h"

namespace zenta::plot {

struct PlotLine {
    std::vector<PlotPoint> points;  // values, in x order
    QColor colour;
};

struct PlotFrame {
    QSize size;           // logical pixels
    qreal dpr = 1;        // device pixels per logical pixel
    QRectF range;         // x from left() to right(), y from top() (low) to bottom() (high)
    bool wholeX = false;  // x counts samples
    QFont font;
    QString xTitle;
    QString emptyText;  // shown in the middle when there is nothing to draw
    std::vector<PlotLine> lines;
    std::vector<std::pair<QString, QColor>> legend;  // drawn in a corner when not empty
    quint64 serial = 0;                              // numbered by the canvas

    // Filled by LayOut.
    QRect area;  // where the lines go, logical pixels
    std::vector<AxisTick> xTicks;
    std::vector<AxisTick> yTicks;
};

// Places the plot area and picks the ticks for the frame's size, font and range.
void LayOut(PlotFrame& frame);

// Value to logical pixel within `area` and back (x0 at the area's left edge, x1 at its
// right edge, y0 at its bottom edge).
QPointF ValueToPixel(const QRectF& range, const QRect& area, QPointF value);
QPointF PixelToValue(const QRectF& range, const QRect& area, QPointF pixel);

// The picture of a laid out frame. `reuse`, when of the right size and not shared, is
// drawn over instead of a new image (no 3 MB allocation and page faults per picture).
QImage RenderFrame(const PlotFrame& frame, QImage reuse = {});

}  // namespace zenta::plot
