// devsim telemetry (csv, 8 channels, 1000 lines a second) read from a real pseudo-terminal
// for PLOT_BENCH_SECONDS (default 20) seconds: with no plot (the reference), into a shown
// plot window in the rolling view, and into one in the whole-history view that already
// holds ten minutes of points. Reports this process's CPU share (all its threads, the
// drawing thread too) and the longest delay of a 10 ms timer (how long the window would
// take to reply). Run the three modes at the same time (one process each, filter /0, /1,
// /2) to measure them side by side over the same minutes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <memory>
#include <vector>

#include "devsim/TelemetryFormats.h"
#include "plot/qt/PlotCanvas.h"
#include "plot/qt/PlotWindow.h"
#include "support/DevsimProcess.h"

using namespace zenta::plot;

namespace {

double CpuSeconds() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

qint64 ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Ten minutes of 8 channels at 1000 lines a second, received before `now`.
void Prefill(PlotWindow& w, qint64 now) {
    constexpr std::size_t kLines = 600'000;
    std::string chunk;
    for (std::size_t n = 1; n <= kLines; ++n) {
        chunk += devsim::CsvTelemetryLine(n, 8);
        if (n % 50 == 0) {
            w.feed(chunk.data(), chunk.size(), now - 600'000 + static_cast<qint64>(n));
            chunk.clear();
        }
    }
}

void BM_LiveTelemetry(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const int seconds = qEnvironmentVariableIsSet("PLOT_BENCH_SECONDS")
                            ? qEnvironmentVariableIntValue("PLOT_BENCH_SECONDS")
                            : 20;
    for (auto _ : state) {
        std::unique_ptr<PlotWindow> w;
        if (mode > 0) {
            w = std::make_unique<PlotWindow>();
            w->setRolling(mode == 1, 10);
            w->resize(1200, 700);
            w->show();
            if (mode == 2) {
                Prefill(*w, QDateTime::currentMSecsSinceEpoch());
            }
            QApplication::processEvents();
        }
        devsim_test::TempLink link;
        devsim_test::DevsimProcess sim({"telemetry", "--link", link.path, "--format", "csv",
                                        "--channels", "8", "--lines-per-second", "1000",
                                        "--quiet"});
        if (!devsim_test::WaitForPath(link.path)) {
            state.SkipWithError("devsim did not start");
            return;
        }
        const int fd = devsim_test::OpenRawPort(link.path, B115200);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        uint64_t bytes = 0;
        uint64_t lines = 0;
        QSocketNotifier notifier(fd, QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
            char buf[4096];
            ssize_t n;
            while ((n = read(fd, buf, sizeof buf)) > 0) {
                bytes += static_cast<uint64_t>(n);
                for (ssize_t i = 0; i < n; ++i) {
                    lines += buf[i] == '\n';
                }
                if (w) {
                    w->feed(buf, static_cast<std::size_t>(n), QDateTime::currentMSecsSinceEpoch());
                }
            }
        });
        QElapsedTimer clock;
        clock.start();
        qint64 lastTick = 0;
        qint64 maxLate = 0;       // after the first second
        qint64 maxLateStart = 0;  // first second: the series appear, the chart lays out
        std::vector<qint64> lates;
        // The window thread's own CPU time between two probe ticks: the delay it causes
        // itself, whatever else the machine runs (on a shared, loaded machine the time
        // passed is mostly other processes').
        qint64 lastCpuNs = ThreadCpuNs();
        qint64 maxBusyNs = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            qint64& worst = now < 1000 ? maxLateStart : maxLate;
            worst = std::max(worst, now - lastTick - 10);
            const qint64 cpuNs = ThreadCpuNs();
            if (now >= 1000) {
                lates.push_back(now - lastTick - 10);
                maxBusyNs = std::max(maxBusyNs, cpuNs - lastCpuNs);
            }
            lastCpuNs = cpuNs;
            lastTick = now;
        });
        probe.start(10);
        const quint64 frames0 = w ? w->findChild<PlotCanvas*>()->FramesShown() : 0;
        const double cpu0 = CpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double wall = clock.elapsed() / 1000.0;
        const double cpu = CpuSeconds() - cpu0;
        notifier.setEnabled(false);
        close(fd);
        state.counters["cpu_percent"] = 100.0 * cpu / wall;
        state.counters["max_reply_ms"] = static_cast<double>(maxLate);
        state.counters["first_s_max_reply_ms"] = static_cast<double>(maxLateStart);
        state.counters["max_window_thread_busy_ms"] = maxBusyNs / 1e6;
        // On a shared machine the longest delay is often the scheduler's; these show how
        // often it happens.
        std::sort(lates.begin(), lates.end());
        if (!lates.empty()) {
            state.counters["p99_reply_ms"] = static_cast<double>(lates[lates.size() * 99 / 100]);
            state.counters["p999_reply_ms"] = static_cast<double>(lates[lates.size() * 999 / 1000]);
            state.counters["replies_over_60ms"] =
                static_cast<double>(lates.end() - std::upper_bound(lates.begin(), lates.end(), 60));
        }
        state.counters["lines_per_s"] = lines / wall;
        state.counters["MB_per_s"] = bytes / wall / 1e6;
        if (w) {
            state.counters["points_kept"] = static_cast<double>(w->model().Store().TotalPoints());
            // Pictures shown a second: the plot kept up, not just the probe.
            const auto* canvas = w->findChild<PlotCanvas*>();
            state.counters["frames_per_s"] =
                static_cast<double>(canvas->FramesShown() - frames0) / wall;
        }
    }
    static const char* labels[] = {"reference: read the port, no plot", "plot shown, rolling 10 s",
                                   "plot shown, whole history (+4.8M points)"};
    state.SetLabel(labels[mode]);
}
BENCHMARK(BM_LiveTelemetry)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
