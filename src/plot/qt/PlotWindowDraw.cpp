// Drawing: the points of every shown series, decimated per pixel column on this thread,
// go to the canvas as one frame; the legend, the cursor readout and the notice line
// follow the store.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <limits>

#include "plot/qt/PlotCanvas.h"
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

}  // namespace

QString PlotWindow::SeriesName(std::size_t series) const {
    const SeriesInfo& info = model_.Series()[series];
    if (info.column >= 0 && info.name.empty()) {
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
    UpdateLegend();
    MarkDirty();
}

void PlotWindow::setSeriesVisible(int series, bool visible) {
    SyncSeries();
    if (series < 0 || static_cast<std::size_t>(series) >= visible_.size()) {
        return;
    }
    visible_[series] = visible;
    UpdateLegend();
    MarkDirty();
}

void PlotWindow::SyncSeries() {
    visible_.resize(model_.Series().size(), true);
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

PlotFrame PlotWindow::BuildFrame() {
    SyncSeries();
    const PointStore& store = model_.Store();
    const QRectF user = view_->ValueRange();
    const auto [x0, x1] = userView_ ? std::pair{user.left(), user.right()} : LiveXRange();
    PlotFrame frame = view_->NewFrame();
    frame.wholeX = xMode_ == XMode::Sample;
    frame.xTitle = xMode_ == XMode::Time ? texts_->timeHeader : texts_->sampleHeader;
    if (store.Empty()) {
        frame.emptyText = texts_->noData;
    }
    // One column per pixel of the plot area (as wide as the last frame's).
    const QRect area = view_->PlotArea();
    const int width =
        std::max(1, static_cast<int>((area.isEmpty() ? view_->width() : area.width()) * frame.dpr));
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (std::size_t s = 0; s < visible_.size(); ++s) {
        if (!visible_[s]) {
            continue;
        }
        PlotLine line;
        line.colour = seriesColour(static_cast<int>(s));
        store.Decimate(s, xMode_, x0, x1, width, line.points);
        for (const PlotPoint& p : line.points) {
            if (p.x >= x0 && p.x <= x1) {
                lo = std::min(lo, p.y);
                hi = std::max(hi, p.y);
            }
        }
        if (!line.points.empty()) {
            frame.lines.push_back(std::move(line));
        }
    }
    if (userView_) {
        frame.range = user;
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
        frame.range = QRectF(QPointF(x0, y0), QPointF(x1, y1));
        view_->SetValueRange(frame.range);
    }
    return frame;
}

void PlotWindow::redrawNow() {
    dirty_ = false;
    dataDirty_ = false;
    view_->Submit(BuildFrame());
    const PointStore& store = model_.Store();
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
    const QString style = warning ? QStringLiteral("color: #c00000;") : QString();
    if (notice_->styleSheet() != style) {
        notice_->setStyleSheet(style);  // costly: not again for every count
    }
}

void PlotWindow::UpdateNotice() {
    // Every limit that cut data since the clear, as soon as it did.
    QStringList cuts;
    if (const uint64_t n = model_.Store().DroppedPoints()) {
        cuts << texts_->dropped.arg(n).arg(model_.Store().Capacity());
    }
    if (const uint64_t n = model_.LinesCut()) {
        cuts << texts_->linesCut.arg(n).arg(kMaxLineBytes);
    }
    if (const uint64_t n = model_.ValuesLeftOut()) {
        cuts << texts_->valuesLeft.arg(n).arg(kMaxLineValues);
    }
    if (const uint64_t n = model_.ValuesWithoutSeries()) {
        cuts << texts_->noSeries.arg(n).arg(PlotModel::kMaxSeries);
    }
    if (!cuts.isEmpty()) {
        SetNotice(cuts.join(QStringLiteral("; ")), true);
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
