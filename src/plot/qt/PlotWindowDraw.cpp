// Drawing: points decimated per pixel column go to the chart's series with replace();
// the legend, the cursor readout and the notice line follow the store.
#include <QChart>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "plot/qt/PlotChartView.h"
#include "plot/qt/PlotTexts.h"
#include "plot/qt/PlotWindow.h"

namespace zenta::plot {
namespace {

QIcon Swatch(const QColor& colour) {
    QPixmap pixmap(12, 12);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

QString FormatValue(double v) {
    return QString::number(v, 'g', 10);
}

// Ticks at round steps (1, 2 or 5 times a power of ten), about `count` of them, anchored
// at zero, so the labels read 0, 50, 100 rather than the ends of an autoscaled range.
void RoundTicks(QValueAxis* axis, int count) {
    const double span = axis->max() - axis->min();
    if (!(span > 0) || !std::isfinite(span)) {
        return;
    }
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power * 10;
    for (double m : {1.0, 2.0, 5.0}) {
        if (raw <= m * power) {
            step = m * power;
            break;
        }
    }
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
    axis->setLabelFormat(QStringLiteral("%g"));
}

}  // namespace

QString PlotWindow::SeriesName(std::size_t series) const {
    const SeriesInfo& info = model_.Series()[series];
    if (info.column >= 0) {
        return texts_->column.arg(info.column + 1);
    }
    return QString::fromStdString(info.name);
}

QString PlotWindow::ColourKey(std::size_t series) const {
    // Not the shown name: a column's colour must survive a change of language.
    const SeriesInfo& info = model_.Series()[series];
    return info.column >= 0 ? QStringLiteral("#%1").arg(info.column + 1)
                            : QString::fromStdString(info.name);
}

QColor PlotWindow::DefaultColour(std::size_t series) const {
    static const QColor palette[] = {QColor(0xd6, 0x27, 0x28), QColor(0x1f, 0x77, 0xb4),
                                     QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                                     QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                     QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f),
                                     QColor(0xbc, 0xbd, 0x22), QColor(0x17, 0xbe, 0xcf)};
    return palette[series % std::size(palette)];
}

QColor PlotWindow::seriesColour(int series) const {
    if (series < 0 || static_cast<std::size_t>(series) >= model_.Series().size()) {
        return {};
    }
    return userColours_.value(ColourKey(series), DefaultColour(series));
}

void PlotWindow::setSeriesColour(int series, const QColor& colour) {
    if (series < 0 || static_cast<std::size_t>(series) >= model_.Series().size() ||
        !colour.isValid()) {
        return;
    }
    userColours_.insert(ColourKey(series), colour);
    SyncSeries();
    lines_[series]->setColor(colour);
    UpdateLegend();
}

void PlotWindow::setSeriesVisible(int series, bool visible) {
    SyncSeries();
    if (series < 0 || static_cast<std::size_t>(series) >= lines_.size()) {
        return;
    }
    visible_[series] = visible;
    lines_[series]->setVisible(visible);
    UpdateLegend();
    MarkDirty();
}

void PlotWindow::SyncSeries() {
    const std::size_t count = model_.Series().size();
    while (lines_.size() < count) {
        const std::size_t i = lines_.size();
        auto* line = new QLineSeries();
        line->setName(SeriesName(i));
        QPen pen(seriesColour(static_cast<int>(i)));
        pen.setWidth(1);
        pen.setCosmetic(true);
        line->setPen(pen);
        chart_->addSeries(line);
        line->attachAxis(axisX_);
        line->attachAxis(axisY_);
        lines_.push_back(line);
        visible_.push_back(true);
    }
}

std::pair<double, double> PlotWindow::LiveXRange() const {
    if (paused_) {
        return frozenX_;
    }
    const PointStore& store = model_.Store();
    const double last = store.LastX(xMode_);
    double first = store.FirstX(xMode_);
    if (isRolling()) {
        const double span = rollingSeconds();
        if (xMode_ == XMode::Time) {
            first = std::max(first, last - span);
        } else {
            // The samples received in the last `span` seconds (times are whole ms).
            const double from = store.LastX(XMode::Time) - span - 0.0005;
            double x = last;
            for (std::size_t s = 0; s < store.SeriesCount(); ++s) {
                const std::size_t i = store.IndexAtOrBefore(s, XMode::Time, from);
                const std::size_t k = i == PointStore::npos ? 0 : i + 1;
                if (k < store.Size(s)) {
                    x = std::min(x, store.X(s, k, XMode::Sample));
                }
            }
            first = std::max(first, x);
        }
    }
    if (last <= first) {
        return {first, first + 1};
    }
    return {first, last};
}

void PlotWindow::redrawNow() {
    dirty_ = false;
    dataDirty_ = false;
    SyncSeries();
    const PointStore& store = model_.Store();
    const QRectF user = view_->ValueRange();
    const auto [x0, x1] = userView_ ? std::pair{user.left(), user.right()} : LiveXRange();
    const int width = std::max(1, static_cast<int>(chart_->plotArea().width()));
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (std::size_t s = 0; s < lines_.size(); ++s) {
        if (!visible_[s]) {
            continue;
        }
        store.Decimate(s, xMode_, x0, x1, width, scratch_);
        points_.resize(static_cast<qsizetype>(scratch_.size()));
        for (std::size_t i = 0; i < scratch_.size(); ++i) {
            const PlotPoint& p = scratch_[i];
            points_[static_cast<qsizetype>(i)] = QPointF(p.x, p.y);
            if (p.x >= x0 && p.x <= x1) {
                lo = std::min(lo, p.y);
                hi = std::max(hi, p.y);
            }
        }
        lines_[s]->replace(points_);
    }
    QRectF range;
    if (userView_) {
        range = user;
    } else {
        double y0 = yMinSpin_->value();
        double y1 = yMaxSpin_->value();
        if (autoYCheck_->isChecked()) {
            if (lo > hi) {
                y0 = 0;
                y1 = 1;
            } else {
                const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::abs(hi) * 0.05);
                y0 = lo - pad;
                y1 = hi + pad;
            }
        } else if (y1 <= y0) {
            y1 = y0 + 1;
        }
        range = QRectF(QPointF(x0, y0), QPointF(x1, y1));
    }
    view_->SetValueRange(range);
    RoundTicks(axisX_, std::max(2, width / 120));
    RoundTicks(axisY_, std::max(2, static_cast<int>(chart_->plotArea().height()) / 60));
    if (!store.Empty() && readout_->text() == texts_->noData) {
        readout_->clear();
    }
    UpdateLegend();
    UpdateNotice();
}

void PlotWindow::UpdateLegend() {
    const QSignalBlocker block(legend_);
    const std::size_t count = model_.Series().size();
    while (static_cast<std::size_t>(legend_->count()) < count) {
        auto* item = new QListWidgetItem(legend_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Checked);
    }
    for (std::size_t s = 0; s < count; ++s) {
        QListWidgetItem* item = legend_->item(static_cast<int>(s));
        const std::optional<double> last = lastValue(static_cast<int>(s));
        const QString text =
            SeriesName(s) + (last ? QStringLiteral("  ") + FormatValue(*last) : QString());
        if (item->text() != text) {
            item->setText(text);
        }
        const QColor colour = seriesColour(static_cast<int>(s));
        if (item->data(Qt::UserRole).value<QColor>() != colour) {
            item->setData(Qt::UserRole, colour);
            item->setIcon(Swatch(colour));
        }
        const bool shown = s >= visible_.size() || visible_[s];
        item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    }
}

void PlotWindow::SetNotice(const QString& text, bool warning) {
    notice_->setText(text);
    notice_->setStyleSheet(warning ? QStringLiteral("color: #c00000;") : QString());
}

void PlotWindow::UpdateNotice() {
    const uint64_t dropped = model_.Store().DroppedPoints();
    if (dropped > 0) {
        SetNotice(texts_->dropped.arg(dropped).arg(model_.Store().Capacity()), true);
        noticeIsSaved_ = false;
    } else if (paused_) {
        SetNotice(texts_->paused, false);
        noticeIsSaved_ = false;
    } else if (!noticeIsSaved_) {
        SetNotice(QString(), false);
    }
}

void PlotWindow::ShowReadout(QPointF value, bool inside) {
    const PointStore& store = model_.Store();
    if (!inside || store.Empty()) {
        readout_->setText(store.Empty() ? texts_->noData : QString());
        return;
    }
    QString text = xMode_ == XMode::Time ? QStringLiteral("x = %1 s").arg(value.x(), 0, 'f', 3)
                                         : QStringLiteral("x = %1").arg(std::llround(value.x()));
    for (std::size_t s = 0; s < store.SeriesCount() && s < visible_.size(); ++s) {
        if (!visible_[s]) {
            continue;
        }
        const std::size_t i = store.IndexAtOrBefore(s, xMode_, value.x());
        if (i != PointStore::npos) {
            text += QStringLiteral("   ") + SeriesName(s) + QStringLiteral(" = ") +
                    FormatValue(store.Value(s, i));
        }
    }
    readout_->setText(text);
}

}  // namespace zenta::plot
