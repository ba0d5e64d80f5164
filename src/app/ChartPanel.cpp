// The chart of received byte values: drawing, paging and real-time refresh.
#include "app/ChartPanel.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QLineSeries>
#include <QList>
#include <QPointF>
#include <QPushButton>
#include <QValueAxis>

#include "app/PanelWidgets.h"
#include "datapath/ChartWindow.h"
#include "datapath/ReceiveState.h"

ChartPanel::ChartPanel(QWidget* host, QWidget* row, const zenta::ReceiveState& received)
    : QObject(host), received_(received) {
    using namespace panel_widgets;
    showButton = Button(row, "showChartButton", QStringLiteral("显示图表"));
    realTimeCheck = Check(row, "realTimeCheck", QStringLiteral("实时刷新"));
    signedCheck = Check(row, "signedCheck", QStringLiteral("带符号数"));

    box = Named(new PanelFrame(host), "chartBox");
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundBrush(QColor(0xF3, 0xF3, 0xF3));
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    series = new QLineSeries(chart);
    series->setObjectName(QStringLiteral("chartSeries"));
    series->setColor(Qt::red);
    chart->addSeries(series);
    auto* axisX = new QValueAxis(chart);
    axisX->setRange(0, 500);
    axisX->setVisible(false);
    auto* axisY = new QValueAxis(chart);
    axisY->setRange(0, 255);
    axisY->setTickCount(3);
    axisY->setLabelFormat(QStringLiteral("%d"));
    QFont axisFont = axisY->labelsFont();
    axisFont.setPixelSize(9);
    axisY->setLabelsFont(axisFont);
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
    view = Named(new QChartView(chart, box), "chartView");
    view->setRenderHint(QPainter::Antialiasing, false);
    rangeButton = Button(view, "chartRangeButton", QStringLiteral("0-0"));
    previousButton = Button(view, "chartPreviousButton", QStringLiteral("<500"));
    nextButton = Button(view, "chartNextButton", QStringLiteral("500>"));
    for (auto* b : {rangeButton, previousButton, nextButton}) {
        b->setFlat(true);
        QFont f = b->font();
        f.setPixelSize(10);
        b->setFont(f);
    }

    connect(showButton, &QPushButton::clicked, this, &ChartPanel::onShowClicked);
    connect(previousButton, &QPushButton::clicked, this, &ChartPanel::onPreviousClicked);
    connect(nextButton, &QPushButton::clicked, this, &ChartPanel::onNextClicked);
    connect(signedCheck, &QCheckBox::clicked, this, &ChartPanel::onSignedClicked);
    connect(realTimeCheck, &QCheckBox::clicked, this, &ChartPanel::onRealTimeClicked);
}

void ChartPanel::Place(int left, int width, int height) {
    // Below this width the value axis' labels would be drawn over each other: the chart
    // stays hidden until there is room.
    constexpr int kChartMinWidth = 80;
    box->setVisible(width >= kChartMinWidth);
    box->setGeometry(left, 2, std::max(kChartMinWidth, width), height);
    view->setGeometry(0, 0, box->width(), box->height());
    PlaceButtons();
}

// The page buttons sit right-aligned at the chart's top, clear of the value axis; the
// range caption goes to their left, or to the bottom edge when the top has no room.
// Buttons that do not apply (paging in real time) take no room.
void ChartPanel::PlaceButtons() {
    constexpr int kAxisWidth = 28;
    constexpr int kButtonHeight = 16;
    const bool paging = !realTimeCheck->isChecked();
    auto widthOf = [](QPushButton* b) { return b->fontMetrics().horizontalAdvance(b->text()) + 8; };
    // A long range (page 259: "129500 - 130000") leaves no room at the top beside "<500"
    // and "500>": the page buttons then go down to "<" and ">", so the caption stays in
    // the top row instead of over the plot.
    const QString wide[] = {QStringLiteral("<500"), QStringLiteral("500>")};
    previousButton->setText(wide[0]);
    nextButton->setText(wide[1]);
    if (paging &&
        kAxisWidth + widthOf(rangeButton) + widthOf(previousButton) + widthOf(nextButton) + 6 >
            view->width()) {
        previousButton->setText(QStringLiteral("<"));
        nextButton->setText(QStringLiteral(">"));
    }
    int x = view->width();
    for (QPushButton* b : {nextButton, previousButton}) {
        if (!paging) {
            b->hide();
            continue;
        }
        const int w = widthOf(b);
        x -= w + 2;
        b->setGeometry(x, 0, w, kButtonHeight);
        b->setVisible(x >= kAxisWidth);
    }
    const int w = widthOf(rangeButton);
    if (x - w - 2 >= kAxisWidth) {
        rangeButton->setGeometry(x - w - 2, 0, w, kButtonHeight);
    } else {
        rangeButton->setGeometry(std::max(kAxisWidth, view->width() - w - 2),
                                 view->height() - kButtonHeight, w, kButtonHeight);
    }
    rangeButton->setVisible(view->width() - kAxisWidth >= w);
}

void ChartPanel::onShowClicked() {
    const bool isSigned = signedCheck->isChecked();
    const int64_t n = zenta::ChartBytes(received_.rxCount, received_.rxRawAll.size());
    const zenta::ChartSpan span = zenta::ComputeChartSpan(n, realTimeCheck->isChecked(), page);
    rangeButton->setText(QString::fromStdString(zenta::ChartCaption(span)));
    // The caption button is as wide as its text: a longer range needs the row re-placed.
    if (rangeButton->fontMetrics().horizontalAdvance(rangeButton->text()) + 8 !=
        rangeButton->width()) {
        PlaceButtons();
    }

    const std::vector<int> values = zenta::ChartValues(received_.rxRawAll, span, isSigned);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i) {
        points.append(QPointF(static_cast<qreal>(i + 1), values[i]));
    }
    // One replace redraws once; appending point by point would redraw per point.
    series->replace(points);
    const zenta::ChartRange range = zenta::ChartValueRange(values, isSigned);
    const QList<QAbstractAxis*> axes = series->attachedAxes();
    for (QAbstractAxis* axis : axes) {
        if (axis->orientation() == Qt::Vertical) {
            axis->setRange(range.low, range.high);
        }
    }
}

void ChartPanel::onPreviousClicked() {
    page = zenta::PreviousChartPage(page);
    onShowClicked();
}

void ChartPanel::onNextClicked() {
    page =
        zenta::NextChartPage(page, zenta::ChartBytes(received_.rxCount, received_.rxRawAll.size()));
    onShowClicked();
}

void ChartPanel::onSignedClicked() {
    onShowClicked();
}

void ChartPanel::onRealTimeClicked() {
    PlaceButtons();
}
