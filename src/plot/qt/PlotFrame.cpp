#include "plot/qt/PlotFrame.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "plot/LineRaster.h"

namespace zenta::plot {
namespace {

const QColor kGrid(0xe4, 0xe4, 0xe4);
const QColor kAxis(0x80, 0x80, 0x80);
const QColor kText(0x30, 0x30, 0x30);
constexpr int kTickLength = 4;

int LabelWidth(const QFontMetrics& fm, const std::vector<AxisTick>& ticks) {
    int w = 0;
    for (const AxisTick& t : ticks) {
        w = std::max(w, fm.horizontalAdvance(QString::fromStdString(t.label)));
    }
    return w;
}

}  // namespace

QPointF ValueToPixel(const QRectF& range, const QRect& area, QPointF value) {
    const double w = range.width() != 0 ? range.width() : 1;
    const double h = range.height() != 0 ? range.height() : 1;
    return {area.left() + (value.x() - range.left()) / w * area.width(),
            area.top() + area.height() - (value.y() - range.top()) / h * area.height()};
}

QPointF PixelToValue(const QRectF& range, const QRect& area, QPointF pixel) {
    const double w = std::max(area.width(), 1);
    const double h = std::max(area.height(), 1);
    return {range.left() + (pixel.x() - area.left()) / w * range.width(),
            range.top() + (area.top() + area.height() - pixel.y()) / h * range.height()};
}

void LayOut(PlotFrame& f) {
    const QFontMetrics fm(f.font);
    const int line = fm.height();
    const int top = line / 2 + 2;
    const int bottom = kTickLength + 2 + line + (f.xTitle.isEmpty() ? 0 : line + 2) + 4;
    const int plotHeight = std::max(1, f.size.height() - top - bottom);
    f.yTicks = RoundTicks(f.range.top(), f.range.bottom(), std::max(2, plotHeight / 50));
    const int left = LabelWidth(fm, f.yTicks) + kTickLength + 8;
    const int right = 12;
    const int plotWidth = std::max(1, f.size.width() - left - right);
    f.area = QRect(left, top, plotWidth, plotHeight);
    // As many x labels as fit with a gap between them.
    int count = std::max(2, plotWidth / 100);
    for (;;) {
        f.xTicks = RoundTicks(f.range.left(), f.range.right(), count, f.wholeX);
        const double step = f.xTicks.size() > 1 ? f.xTicks[1].value - f.xTicks[0].value : 0;
        const double stepPixels = step / std::max(f.range.width(), 1e-300) * plotWidth;
        if (count <= 2 || f.xTicks.size() < 2 || stepPixels >= LabelWidth(fm, f.xTicks) + 16) {
            break;
        }
        count = std::max(2, count * 2 / 3);
    }
}

QImage RenderFrame(const PlotFrame& f, QImage reuse) {
    const QSize device = (QSizeF(f.size) * f.dpr).toSize().expandedTo(QSize(1, 1));
    QImage image =
        reuse.size() == device && reuse.format() == QImage::Format_RGB32 && reuse.isDetached()
            ? std::move(reuse)
            : QImage(device, QImage::Format_RGB32);
    image.setDevicePixelRatio(f.dpr);
    image.fill(Qt::white);
    const QRect& a = f.area;
    const QFontMetrics fm(f.font);
    {
        QPainter p(&image);
        p.setFont(f.font);
        // Grid and tick marks.
        p.setPen(QPen(kGrid, 0));
        for (const AxisTick& t : f.xTicks) {
            const int x = static_cast<int>(std::floor(ValueToPixel(f.range, a, {t.value, 0}).x()));
            p.drawLine(x, a.top(), x, a.bottom());
        }
        for (const AxisTick& t : f.yTicks) {
            const int y = static_cast<int>(std::floor(ValueToPixel(f.range, a, {0, t.value}).y()));
            p.drawLine(a.left(), y, a.right(), y);
        }
        p.setPen(QPen(kAxis, 0));
        p.drawRect(a.adjusted(-1, -1, 0, 0));
        p.setPen(kText);
        for (const AxisTick& t : f.xTicks) {
            const int x = static_cast<int>(std::floor(ValueToPixel(f.range, a, {t.value, 0}).x()));
            p.drawLine(x, a.bottom() + 1, x, a.bottom() + kTickLength);
            const QString label = QString::fromStdString(t.label);
            const int w = fm.horizontalAdvance(label);
            p.drawText(std::clamp(x - w / 2, 0, std::max(0, f.size.width() - w)),
                       a.bottom() + kTickLength + 2 + fm.ascent(), label);
        }
        for (const AxisTick& t : f.yTicks) {
            const int y = static_cast<int>(std::floor(ValueToPixel(f.range, a, {0, t.value}).y()));
            p.drawLine(a.left() - kTickLength - 1, y, a.left() - 2, y);
            const QString label = QString::fromStdString(t.label);
            p.drawText(a.left() - kTickLength - 4 - fm.horizontalAdvance(label),
                       y + fm.ascent() / 2 - 1, label);
        }
        if (!f.xTitle.isEmpty()) {
            p.drawText(
                QRect(a.left(), a.bottom() + kTickLength + 4 + fm.height(), a.width(), fm.height()),
                Qt::AlignHCenter | Qt::AlignTop, f.xTitle);
        }
        if (f.lines.empty() && !f.emptyText.isEmpty()) {
            p.setPen(kAxis);
            p.drawText(a, Qt::AlignCenter, f.emptyText);
        }
    }

    // The lines, in device pixels, straight into the image. The raster's buffer stays with
    // the thread for the next picture.
    thread_local LineRaster raster;
    const int left = static_cast<int>(std::ceil(a.left() * f.dpr));
    const int top = static_cast<int>(std::ceil(a.top() * f.dpr));
    const int right = std::min(image.width(), static_cast<int>((a.left() + a.width()) * f.dpr));
    const int bottom = std::min(image.height(), static_cast<int>((a.top() + a.height()) * f.dpr));
    raster.Reset(right - left, bottom - top);
    const double w = f.range.width() != 0 ? f.range.width() : 1;
    const double h = f.range.height() != 0 ? f.range.height() : 1;
    const double sx = a.width() * f.dpr / w;
    const double sy = a.height() * f.dpr / h;
    const double ox = a.left() * f.dpr - left;
    const double oy = (a.top() + a.height()) * f.dpr - top;
    std::vector<PlotPoint> pixels;
    for (const PlotLine& line : f.lines) {
        pixels.resize(line.points.size());
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const PlotPoint& v = line.points[i];
            pixels[i] = {ox + (v.x - f.range.left()) * sx, oy - (v.y - f.range.top()) * sy};
        }
        raster.DrawPolyline(pixels.data(), pixels.size(), line.colour.rgb());
    }
    auto* bits = reinterpret_cast<uint32_t*>(image.bits());
    const std::ptrdiff_t stride = image.bytesPerLine() / 4;
    raster.CopyTo(bits + top * stride + left, stride);

    if (!f.legend.empty()) {
        QPainter p(&image);
        p.setFont(f.font);
        const int swatch = fm.height() / 2 + 4;
        int width = 0;
        for (const auto& [name, colour] : f.legend) {
            width = std::max(width, fm.horizontalAdvance(name));
        }
        const QRect box(a.left() + 8, a.top() + 8, width + swatch + 18,
                        static_cast<int>(f.legend.size()) * fm.height() + 8);
        p.fillRect(box, QColor(255, 255, 255, 220));
        p.setPen(QPen(kAxis, 0));
        p.drawRect(box);
        int y = box.top() + 4;
        for (const auto& [name, colour] : f.legend) {
            p.fillRect(box.left() + 6, y + (fm.height() - swatch) / 2, swatch, swatch, colour);
            p.setPen(kText);
            p.drawText(box.left() + 12 + swatch, y + fm.ascent(), name);
            y += fm.height();
        }
    }
    return image;
}

}  // namespace zenta::plot
