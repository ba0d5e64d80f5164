// The chart of received byte values: drawing, paging and real-time refresh.
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QLineSeries>
#include <QList>
#include <QPointF>
#include <QPushButton>
#include <QValueAxis>

#include "app/ComMainForm.h"
#include "datapath/ChartWindow.h"

void TForm1::BitBtn1Click(QObject* /*Sender*/) {
    const bool isSigned = CheckBox13->isChecked();
    const int64_t n = zenta::ChartBytes(Rx.rxCount, Rx.rxRawAll.size());
    const zenta::ChartSpan span = zenta::ComputeChartSpan(n, CheckBox14->isChecked(), chartPage);
    SpeedButton1->setText(QString::fromStdString(zenta::ChartCaption(span)));
    // The caption button is as wide as its text: a longer range needs the row re-placed.
    if (SpeedButton1->fontMetrics().horizontalAdvance(SpeedButton1->text()) + 8 !=
        SpeedButton1->width()) {
        LayoutControlPanel();
    }

    const std::vector<int> values = zenta::ChartValues(Rx.rxRawAll, span, isSigned);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i) {
        points.append(QPointF(static_cast<qreal>(i + 1), values[i]));
    }
    // One replace redraws once; appending point by point would redraw per point.
    Series1->replace(points);
    const zenta::ChartRange range = zenta::ChartValueRange(values, isSigned);
    const QList<QAbstractAxis*> axes = Series1->attachedAxes();
    for (QAbstractAxis* axis : axes) {
        if (axis->orientation() == Qt::Vertical) {
            axis->setRange(range.low, range.high);
        }
    }
}

void TForm1::BitBtn2Click(QObject* /*Sender*/) {
    chartPage = zenta::PreviousChartPage(chartPage);
    BitBtn1Click(this);
}

void TForm1::BitBtn3Click(QObject* /*Sender*/) {
    chartPage = zenta::NextChartPage(chartPage, zenta::ChartBytes(Rx.rxCount, Rx.rxRawAll.size()));
    BitBtn1Click(this);
}

void TForm1::CheckBox13Click(QObject* /*Sender*/) {
    BitBtn1Click(this);
}

void TForm1::CheckBox14Click(QObject* /*Sender*/) {
    const bool paging = !CheckBox14->isChecked();
    BitBtn2->setVisible(paging);
    BitBtn3->setVisible(paging);
}
