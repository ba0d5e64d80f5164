#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStringEncoder>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <random>

#include "datapath/qt/ReceiveView.h"

using zenta::ReceiveView;

namespace {

constexpr int kChunkBytes = 4096;

QString hexText(qsizetype bytes) {
    static const char digits[] = "0123456789ABCDEF";
    QString s(bytes * 3, u' ');
    QChar* p = s.data();
    for (qsizetype i = 0; i < bytes; ++i) {
        const auto b = static_cast<unsigned>((i * 131 + 7) & 0xFF);
        p[i * 3] = QLatin1Char(digits[b >> 4]);
        p[i * 3 + 1] = QLatin1Char(digits[b & 15]);
    }
    return s;
}

// Telemetry lines of 80 characters, some with Chinese, CR LF ended.
QString telemetryLines(int count, int seed = 0) {
    QString s;
    for (int i = 0; i < count; ++i) {
        const int n = i + seed;
        QString line =
            (n % 3 == 0)
                ? QStringLiteral("[12:00:%1] 温度=%2.5℃ 湿度=%3%  电压=3.30V 电流=0.12A 状态正常")
                      .arg(n % 60, 2, 10, QLatin1Char('0'))
                      .arg(n % 40)
                      .arg(n % 100)
                : QStringLiteral("[12:00:%1] adc0=%2 adc1=%3 adc2=%4 pwm=%5 state=RUN flags=0x00")
                      .arg(n % 60, 2, 10, QLatin1Char('0'))
                      .arg(n % 4096)
                      .arg((n * 7) % 4096)
                      .arg((n * 13) % 4096)
                      .arg(n % 100);
        line = line.leftJustified(78, u'.');
        s += line + QStringLiteral("\r\n");
    }
    return s;
}

struct View {
    ReceiveView view;
    View() {
        view.resize(1000, 700);
        view.show();
        QApplication::processEvents();
    }
};

void fillHex(ReceiveView& v, qsizetype chars) {
    v.setPlainText(hexText(chars / 3));
}

// Heap bytes in use (glibc), to show what the window's text costs.
double heapMiB() {
    return static_cast<double>((mallinfo2().uordblks + mallinfo2().hblkhd)) / (1024 * 1024);
}

// Content grows from the nominal size by at most 200 chunks (2.4 MB of text).
void BM_AppendHexChunk(benchmark::State& state) {
    View w;
    const QString chunk = hexText(kChunkBytes);
    const double before = heapMiB();
    fillHex(w.view, state.range(0));
    state.counters["heap_MiB"] = heapMiB() - before;
    for (auto _ : state)
        w.view.appendText(chunk);
    state.counters["rows"] = w.view.rowCount();
    state.SetBytesProcessed(state.iterations() * kChunkBytes);
}
BENCHMARK(BM_AppendHexChunk)
    ->Arg(0)
    ->Arg(1'000'000)
    ->Arg(5'000'000)
    ->Arg(15'000'000)
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kMicrosecond);

// What one receive event costs on screen: append, then the repaint it causes.
void BM_AppendHexChunkAndPaint(benchmark::State& state) {
    View w;
    const QString chunk = hexText(kChunkBytes);
    fillHex(w.view, state.range(0));
    for (auto _ : state) {
        w.view.appendText(chunk);
        w.view.viewport()->repaint();
    }
}
BENCHMARK(BM_AppendHexChunkAndPaint)
    ->Arg(15'000'000)
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);

void BM_AppendGbkTextChunk(benchmark::State& state) {
    View w;
    const double before = heapMiB();
    w.view.setPlainText(telemetryLines(100'000));
    state.counters["heap_MiB"] = heapMiB() - before;
    // About 4 KiB of GB18030 bytes per receive event.
    QStringEncoder encoder("GB18030");
    QByteArray bytes = encoder.encode(telemetryLines(55, 7));
    bytes.truncate(kChunkBytes);
    for (auto _ : state)
        w.view.appendBytes(bytes);
    state.counters["lines"] = w.view.lineCount();
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_AppendGbkTextChunk)->Iterations(200)->Unit(benchmark::kMicrosecond);

// Log lines as firmware prints them: UTF-8 with a colour per level, reset at the end.
QByteArray colouredLogLines(int count, int seed = 0) {
    static const char* const kLevels[] = {"\x1b[0;32mI", "\x1b[0;33mW", "\x1b[0;31mE"};
    QByteArray s;
    for (int i = 0; i < count; ++i) {
        const int n = i + seed;
        QByteArray line =
            QByteArray(kLevels[n % 3]) + QStringLiteral(" (%1) sensor: t=%2.5°C µs=%3 温度正常")
                                             .arg(n * 10)
                                             .arg(n % 40)
                                             .arg(n % 1000)
                                             .toUtf8();
        line = line.leftJustified(86, '.');
        s += line + "\x1b[0m\r\n";
    }
    return s;
}

void BM_AppendColouredUtf8Chunk(benchmark::State& state) {
    View w;
    w.view.setEncoding(zenta::TextEncoding::Utf8);
    w.view.appendBytes(colouredLogLines(100'000));
    QByteArray bytes = colouredLogLines(55, 7);
    bytes.truncate(kChunkBytes);
    for (auto _ : state)
        w.view.appendBytes(bytes);
    state.counters["lines"] = w.view.lineCount();
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_AppendColouredUtf8Chunk)->Iterations(200)->Unit(benchmark::kMicrosecond);

// Arg 1: rows copied from kept cells (as the window runs), 0: every glyph drawn.
void scrollAndPaint(benchmark::State& state, ReceiveView& v) {
    v.setCellCache(state.range(0) != 0);
    QImage image(v.size(), QImage::Format_RGB32);
    std::mt19937 rng(1);
    QScrollBar* sb = v.verticalScrollBar();
    for (auto _ : state) {
        sb->setValue(static_cast<int>(rng() % static_cast<unsigned>(sb->maximum() + 1)));
        v.render(&image);
    }
    state.counters["rows"] = v.rowCount();
}

void BM_ScrollAndPaintHex(benchmark::State& state) {
    View w;
    fillHex(w.view, 15'000'000);
    scrollAndPaint(state, w.view);
}
BENCHMARK(BM_ScrollAndPaintHex)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_ScrollAndPaintText(benchmark::State& state) {
    View w;
    w.view.setPlainText(telemetryLines(100'000));
    scrollAndPaint(state, w.view);
}
BENCHMARK(BM_ScrollAndPaintText)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_ScrollAndPaintColoured(benchmark::State& state) {
    View w;
    w.view.setEncoding(zenta::TextEncoding::Utf8);
    w.view.appendBytes(colouredLogLines(100'000));
    scrollAndPaint(state, w.view);
}
BENCHMARK(BM_ScrollAndPaintColoured)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// One typed key at the end of 15 MB: the key event and the repaint it causes.
void BM_TypeCharacter(benchmark::State& state) {
    View w;
    fillHex(w.view, 15'000'000);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    for (auto _ : state) {
        QApplication::sendEvent(&w.view, &press);
        w.view.viewport()->repaint();
    }
}
BENCHMARK(BM_TypeCharacter)->Unit(benchmark::kMillisecond);

// Re-wrapping everything after the window width changed.
void BM_ResizeRewrap(benchmark::State& state) {
    View w;
    if (state.range(0) == 0)
        fillHex(w.view, 15'000'000);
    else
        w.view.setPlainText(telemetryLines(100'000));
    int width = 1000;
    for (auto _ : state) {
        width = width == 1000 ? 900 : 1000;
        w.view.resize(width, 700);
    }
    state.SetLabel(state.range(0) == 0 ? "15 MB HEX line" : "100k text lines");
}
BENCHMARK(BM_ResizeRewrap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
