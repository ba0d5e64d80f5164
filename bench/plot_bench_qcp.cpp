// Reference for the choice of chart library: the same 5 million points drawn by
// QCustomPlot, given the points our store decimates (as the window hands them to Qt
// Charts) or holding all of them and sampling them itself.
#include <benchmark/benchmark.h>
#include <qcustomplot.h>

#include <QApplication>

#include "devsim/TelemetryFormats.h"
#include "plot/PointStore.h"

using namespace zenta::plot;

namespace {

void BM_RefQCustomPlot(benchmark::State& state) {
    const bool ownSampling = state.range(0) == 1;
    PointStore store;
    for (int s = 0; s < 8; ++s) {
        store.AddSeries();
    }
    for (std::size_t i = 0; i < 5'000'000; ++i) {
        store.Append(i % 8, static_cast<int64_t>(i / 8), devsim::ChannelValue(i / 8, i % 8),
                     i / 8);  // 8 channels a line
    }
    QCustomPlot plot;
    plot.resize(1200, 700);
    plot.setNotAntialiasedElements(QCP::aeAll);  // as our chart draws
    plot.show();
    QApplication::processEvents();
    const double last = store.LastX(XMode::Time);
    for (std::size_t s = 0; s < 8; ++s) {
        QCPGraph* g = plot.addGraph();
        g->setPen(QPen(QColor::fromHsv(static_cast<int>(s) * 40, 200, 200)));
        if (ownSampling) {
            QVector<double> x(static_cast<qsizetype>(store.Size(s)));
            QVector<double> y(x.size());
            for (std::size_t i = 0; i < store.Size(s); ++i) {
                x[static_cast<qsizetype>(i)] = store.X(s, i, XMode::Time);
                y[static_cast<qsizetype>(i)] = store.Value(s, i);
            }
            g->setData(x, y, true);
        }
    }
    plot.xAxis->setRange(0, last);
    plot.yAxis->setRange(-420, 420);
    std::vector<PlotPoint> out;
    for (auto _ : state) {
        if (!ownSampling) {
            const int width = plot.axisRect()->width();
            for (std::size_t s = 0; s < 8; ++s) {
                store.Decimate(s, XMode::Time, 0, last, width, out);
                QVector<double> x(static_cast<qsizetype>(out.size()));
                QVector<double> y(x.size());
                for (std::size_t i = 0; i < out.size(); ++i) {
                    x[static_cast<qsizetype>(i)] = out[i].x;
                    y[static_cast<qsizetype>(i)] = out[i].y;
                }
                plot.graph(static_cast<int>(s))->setData(x, y, true);
            }
        }
        plot.replot(QCustomPlot::rpImmediateRefresh);
    }
    state.SetLabel(ownSampling ? "reference: QCustomPlot holding all points"
                               : "reference: QCustomPlot fed our decimation");
}
BENCHMARK(BM_RefQCustomPlot)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
