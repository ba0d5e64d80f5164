// Plot costs, each beside a reference measured in the same run:
// - parsing telemetry text (csv, GBK kv, coloured log) into points, beside a bare scan
//   for line ends and a strtod over every field;
// - a redraw of 5 million points (decimated per pixel column on the window's thread, drawn
//   into an image on the drawing thread, shown), beside 500 points, beside the same
//   decimated points handed to Qt Charts (the earlier drawing), beside QPainter alone and
//   beside 500 thousand points handed to Qt Charts undecimated;
// - bytes per kept point at 10 million points, beside a QList<QPointF>.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QPolygonF>
#include <QValueAxis>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "devsim/Telemetry.h"
#include "devsim/TelemetryFormats.h"
#include "plot/CsvExport.h"
#include "plot/PlotModel.h"
#include "plot/qt/PlotCanvas.h"
#include "plot/qt/PlotFrame.h"
#include "plot/qt/PlotWindow.h"

using namespace zenta::plot;

namespace {

// About `bytes` of telemetry text: 0 csv with 8 channels, 1 GBK kv lines, 2 coloured log.
std::string Telemetry(int format, std::size_t bytes) {
    std::string text;
    for (uint64_t n = 1; text.size() < bytes; ++n) {
        text += format == 0   ? devsim::CsvTelemetryLine(n, 8)
                : format == 1 ? devsim::TelemetryLine(n)
                              : devsim::LogTelemetryLine(n, n);
    }
    return text;
}

const char* FormatName(int format) {
    static const char* names[] = {"csv 8 channels", "GBK kv", "colour log"};
    return names[format];
}

void BM_ParseIntoStore(benchmark::State& state) {
    const std::string text = Telemetry(static_cast<int>(state.range(0)), 8 << 20);
    PlotModel model;
    std::size_t points = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model.Clear();
        state.ResumeTiming();
        for (std::size_t pos = 0; pos < text.size(); pos += 4096) {
            points += model.Feed(text.data() + pos, std::min<std::size_t>(4096, text.size() - pos),
                                 1000 + static_cast<int64_t>(pos >> 12));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["points"] =
        benchmark::Counter(static_cast<double>(points), benchmark::Counter::kIsRate);
    state.SetLabel(FormatName(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ParseIntoStore)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Reference: the least any line reader does (find every line end).
void BM_RefScanLineEnds(benchmark::State& state) {
    const std::string text = Telemetry(0, 8 << 20);
    for (auto _ : state) {
        std::size_t lines = 0;
        for (const char* p = text.data();
             (p = static_cast<const char*>(std::memchr(p, '\n', text.data() + text.size() - p)));
             ++p) {
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetLabel("csv 8 channels");
}
BENCHMARK(BM_RefScanLineEnds)->Unit(benchmark::kMillisecond);

// Reference: strtod over every comma-separated field, no store.
void BM_RefStrtodFields(benchmark::State& state) {
    const std::string text = Telemetry(0, 8 << 20);
    for (auto _ : state) {
        double sum = 0;
        const char* p = text.c_str();
        const char* end = p + text.size();
        while (p < end) {
            char* next = nullptr;
            sum += std::strtod(p, &next);
            p = next == p ? p + 1 : next;
            while (p < end && (*p == ',' || *p == '\r' || *p == '\n')) {
                ++p;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetLabel("csv 8 channels");
}
BENCHMARK(BM_RefStrtodFields)->Unit(benchmark::kMillisecond);

// A shown window holding `points` points in 8 series over ten minutes of receive time.
struct FilledWindow {
    PlotWindow window;
    PlotCanvas* view;
    explicit FilledWindow(std::size_t points)
        : window(nullptr, std::max(points, kDefaultCapacity)) {
        window.setRolling(false, 10);  // the whole history: every point is in view
        window.resize(1200, 700);
        window.show();
        QApplication::processEvents();
        const std::size_t lines = points / 8;
        std::string chunk;
        for (std::size_t n = 1; n <= lines; ++n) {
            chunk += devsim::CsvTelemetryLine(n, 8);
            if (n % 64 == 0 || n == lines) {
                window.feed(chunk.data(), chunk.size(),
                            1'000'000 + static_cast<int64_t>(n * 600'000 /
                                                             std::max<std::size_t>(lines, 1)));
                chunk.clear();
            }
        }
        view = window.findChild<PlotCanvas*>();
        Redraw();
    }
    // Asks for a picture and waits until it is on the screen.
    void Redraw() {
        const quint64 before = view->FramesShown();
        window.redrawNow();
        while (view->FramesShown() == before) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        view->repaint();
    }
};

// Decimation on the window's thread, the picture on the drawing thread, the paint that
// shows it: from asking to seeing. Also the window thread's share (what the user's input
// waits for) and the drawing thread's.
void BM_Redraw(benchmark::State& state) {
    FilledWindow f(static_cast<std::size_t>(state.range(0)));
    double windowNs = 0;
    double renderNs = 0;
    for (auto _ : state) {
        const quint64 before = f.view->FramesShown();
        QElapsedTimer t;
        t.start();
        f.window.redrawNow();
        windowNs += static_cast<double>(t.nsecsElapsed());
        while (f.view->FramesShown() == before) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        t.restart();
        f.view->repaint();
        windowNs += static_cast<double>(t.nsecsElapsed());
        renderNs += static_cast<double>(f.view->LastRenderNsecs());
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["window_thread_ms"] = windowNs / n / 1e6;
    state.counters["drawing_thread_ms"] = renderNs / n / 1e6;
    state.counters["points"] = static_cast<double>(f.window.model().Store().TotalPoints());
    state.SetLabel(state.range(0) > 1000 ? "decimated, whole history" : "reference: 500 points");
}
BENCHMARK(BM_Redraw)->Arg(5'000'000)->Arg(500)->Unit(benchmark::kMillisecond);

// Reference: the earlier drawing, the same 5 million points decimated the same way and
// handed to Qt Charts with replace(), then painted.
void BM_RefRedrawQtChartsDecimated(benchmark::State& state) {
    FilledWindow f(5'000'000);
    const PointStore& store = f.window.model().Store();
    QChart* chart = new QChart;
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    std::vector<QLineSeries*> series;
    for (std::size_t s = 0; s < store.SeriesCount(); ++s) {
        series.push_back(new QLineSeries);
        QPen pen(f.window.seriesColour(static_cast<int>(s)));  // as the window drew them
        pen.setWidth(1);
        pen.setCosmetic(true);
        series.back()->setPen(pen);
        chart->addSeries(series.back());
        series.back()->attachAxis(x);
        series.back()->attachAxis(y);
    }
    const double last = store.LastX(XMode::Time);
    x->setRange(0, last);
    y->setRange(-420, 420);
    QChartView view(chart);
    view.setRenderHint(QPainter::Antialiasing, false);
    view.resize(1200, 700);
    view.show();
    QApplication::processEvents();
    std::vector<PlotPoint> out;
    QList<QPointF> points;
    for (auto _ : state) {
        const int width = static_cast<int>(chart->plotArea().width());
        for (std::size_t s = 0; s < series.size(); ++s) {
            store.Decimate(s, XMode::Time, 0, last, width, out);
            points.resize(static_cast<qsizetype>(out.size()));
            for (std::size_t i = 0; i < out.size(); ++i) {
                points[static_cast<qsizetype>(i)] = QPointF(out[i].x, out[i].y);
            }
            series[s]->replace(points);
        }
        QApplication::processEvents();
        view.viewport()->repaint();
    }
    state.counters["points"] = static_cast<double>(store.TotalPoints());
    state.SetLabel("reference: Qt Charts fed our decimation (the earlier drawing)");
}
BENCHMARK(BM_RefRedrawQtChartsDecimated)->Unit(benchmark::kMillisecond);

// The picture alone (axes, grid, 8 decimated lines) on this thread.
void BM_RenderFrameOnly(benchmark::State& state) {
    FilledWindow f(5'000'000);
    PlotFrame frame = f.view->NewFrame();
    const PointStore& store = f.window.model().Store();
    frame.range = f.view->ValueRange();
    const int width = f.view->PlotArea().width();
    for (std::size_t s = 0; s < store.SeriesCount(); ++s) {
        PlotLine line;
        line.colour = f.window.seriesColour(static_cast<int>(s));
        store.Decimate(s, XMode::Time, frame.range.left(), frame.range.right(), width, line.points);
        frame.lines.push_back(std::move(line));
    }
    LayOut(frame);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RenderFrame(frame));
    }
    state.SetLabel("5M points decimated, drawn into an image");
}
BENCHMARK(BM_RenderFrameOnly)->Unit(benchmark::kMillisecond);

// The decimation alone, for the same 5 million points.
void BM_DecimateOnly(benchmark::State& state) {
    PointStore store;
    for (int s = 0; s < 8; ++s) {
        store.AddSeries();
    }
    for (std::size_t i = 0; i < 5'000'000; ++i) {
        store.Append(i % 8, static_cast<int64_t>(i / 8), devsim::ChannelValue(i / 8, i % 8),
                     i / 8);  // 8 channels a line
    }
    std::vector<PlotPoint> out;
    const double last = store.LastX(XMode::Time);
    for (auto _ : state) {
        std::size_t n = 0;
        for (std::size_t s = 0; s < 8; ++s) {
            store.Decimate(s, XMode::Time, 0, last, 1100, out);
            n += out.size();
        }
        benchmark::DoNotOptimize(n);
    }
    state.counters["points"] = static_cast<double>(store.TotalPoints());
}
BENCHMARK(BM_DecimateOnly)->Unit(benchmark::kMillisecond);

// Reference: the same decimated picture drawn straight with QPainter (8 polylines, one
// pixel wide, clipped to the plot area) into an image: the least any chart library that
// paints with Qt's raster engine pays for these pixels.
void BM_RefRasterPolylines(benchmark::State& state) {
    PointStore store;
    for (int s = 0; s < 8; ++s) {
        store.AddSeries();
    }
    for (std::size_t i = 0; i < 5'000'000; ++i) {
        store.Append(i % 8, static_cast<int64_t>(i / 8), devsim::ChannelValue(i / 8, i % 8),
                     i / 8);  // 8 channels a line
    }
    const int width = 1100;
    const int height = 600;
    const double last = store.LastX(XMode::Time);
    std::vector<QPolygonF> lines(8);
    std::vector<PlotPoint> out;
    for (std::size_t s = 0; s < 8; ++s) {
        store.Decimate(s, XMode::Time, 0, last, width, out);
        for (const PlotPoint& p : out) {
            lines[s].append(QPointF(p.x / last * width, height / 2 - p.y * height / 900));
        }
    }
    QImage image(width + 100, height + 100, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, state.range(0) == 1);
        painter.setClipRect(QRect(50, 50, width, height));
        painter.translate(50, 50);
        for (std::size_t s = 0; s < 8; ++s) {
            QPen pen(QColor::fromHsv(static_cast<int>(s) * 40, 200, 200));
            pen.setCosmetic(true);
            painter.setPen(pen);
            painter.drawPolyline(lines[s]);
        }
    }
    state.SetLabel(state.range(0) ? "reference: QPainter only, antialiased"
                                  : "reference: QPainter only");
}
BENCHMARK(BM_RefRasterPolylines)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Reference: Qt Charts given every point (no decimation).
void BM_RefRedrawUndecimated(benchmark::State& state) {
    const std::size_t perSeries = static_cast<std::size_t>(state.range(0)) / 8;
    QChart* chart = new QChart;
    chart->legend()->hide();
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    std::vector<QLineSeries*> series;
    std::vector<QList<QPointF>> points(8);
    for (int s = 0; s < 8; ++s) {
        series.push_back(new QLineSeries);
        chart->addSeries(series.back());
        series.back()->attachAxis(x);
        series.back()->attachAxis(y);
        for (std::size_t i = 0; i < perSeries; ++i) {
            points[s].append(QPointF(i / 1000.0, devsim::ChannelValue(i, s)));
        }
    }
    x->setRange(0, perSeries / 1000.0);
    y->setRange(-400, 400);
    QChartView view(chart);
    view.resize(1200, 700);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        for (int s = 0; s < 8; ++s) {
            series[s]->replace(points[s]);
        }
        QApplication::processEvents();
        view.viewport()->repaint();
    }
    state.counters["points"] = static_cast<double>(perSeries * 8);
    state.SetLabel("reference: Qt Charts, every point");
}
BENCHMARK(BM_RefRedrawUndecimated)->Arg(500'000)->Iterations(3)->Unit(benchmark::kMillisecond);

double HeapBytes() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd);
}

// Memory per kept point with the store full (10 million points, 8 series, then 1 million
// more so the oldest are being dropped).
void BM_BytesPerPoint(benchmark::State& state) {
    for (auto _ : state) {
        const double before = HeapBytes();
        PointStore store;
        for (int s = 0; s < 8; ++s) {
            store.AddSeries();
        }
        for (std::size_t i = 0; i < 11'000'000; ++i) {
            store.Append(i % 8, static_cast<int64_t>(i / 8), 1.0, i / 8);
        }
        state.counters["bytes_per_point"] = (HeapBytes() - before) / store.TotalPoints();
        state.counters["store_bytes_per_point"] =
            static_cast<double>(store.MemoryBytes()) / store.TotalPoints();
        state.counters["dropped"] = static_cast<double>(store.DroppedPoints());
    }
    {
        const double before = HeapBytes();
        QList<QPointF> list;
        for (std::size_t i = 0; i < 10'000'000; ++i) {
            list.append(QPointF(i, 1.0));
        }
        state.counters["ref_qlist_qpointf_bytes_per_point"] = (HeapBytes() - before) / list.size();
    }
}
BENCHMARK(BM_BytesPerPoint)->Iterations(1)->Unit(benchmark::kMillisecond);

// CSV export of 10 million points (8 series, 1000 lines a second) to a file (on the
// export thread), beside writing the same number of bytes to a file in the same pieces;
// and the snapshot the window's thread takes first.
void BM_ExportCsv(benchmark::State& state) {
    PointStore store;
    for (int s = 0; s < 8; ++s) {
        store.AddSeries();
    }
    for (std::size_t i = 0; i < 10'000'000; ++i) {
        store.Append(i % 8, 1'000'000 + static_cast<int64_t>(i / 8),
                     devsim::ChannelValue(i / 8, i % 8), i / 8);
    }
    const std::vector<std::string> names{"a", "b", "c", "d", "e", "f", "g", "h"};
    const std::string path = "/tmp/zenta_plot_bench_export.csv";
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        WriteCsv(store, "time", names, out);
        out.close();
        bytes = static_cast<std::size_t>(std::filesystem::file_size(path));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["points"] = static_cast<double>(store.TotalPoints());
    state.counters["file_MB"] = bytes / 1e6;
    {
        // What the window's thread pays before the writing thread takes over.
        QElapsedTimer t;
        t.start();
        const auto snapshot = store.Snapshot();
        state.counters["snapshot_ms"] = t.nsecsElapsed() / 1e6;
    }
    {
        // Reference: the same bytes, written in rows of the same length.
        const std::string row(bytes / 1'250'000, '1');
        QElapsedTimer t;
        t.start();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (std::size_t written = 0; written < bytes; written += row.size()) {
            out << row;
        }
        out.close();
        state.counters["ref_write_same_bytes_ms"] = static_cast<double>(t.elapsed());
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ExportCsv)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
