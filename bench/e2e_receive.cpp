// Streams N bytes (default 64 MiB) from devsim into a real main window, in text and in
// HEX display, with capture on; prints throughput, CPU time per MB and the largest gap
// between two refresh ticks, beside the raw pseudo-terminal throughput of the same run.
//
// With a mode (text or hex of random bytes, ascii: printable lines as text, or log:
// coloured UTF-8 log lines shown in colour) only
// that display runs, after the raw reader, and the process's peak resident memory is
// printed: run one process per mode to compare them.
//
//   e2e_receive_bench [bytes [text|hex|ascii|log]]
//   (run with QT_QPA_PLATFORM=offscreen or on a display)
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
#include "app/ExtSettings.h"
#include "app/FileRowPanel.h"
#include "app/LinkBar.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/ProgrammerPage.h"
#include "app/ReceivePanel.h"
#include "app/SaveFolder.h"
#include "app/SendPanel.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/UpdateCheck.h"
#include "app/support/E2eDriver.h"
#include "datapath/qt/ReceiveView.h"

namespace {

using e2e::PrintPrompts;

constexpr double kMB = 1e6;

// The same stream read by a plain raw reader: the ceiling of the pseudo-terminal (and of
// the simulator making that pattern).
void RawPty(qint64 bytes, const QString& pattern) {
    e2e::Devsim sim;
    if (!sim.Start({"stream", "--bytes", QString::number(bytes), "--pattern", pattern,
                    "--wait-open", "--quiet"})) {
        std::printf("raw pty: devsim did not start\n");
        return;
    }
    const int fd = ::open(sim.link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    const double cpu0 = e2e::CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    std::vector<char> buf(1 << 16);
    qint64 got = 0;
    while (got < bytes) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0) {
            break;
        }
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n <= 0) {
            break;
        }
        got += n;
    }
    const double secs = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double cpu = e2e::CpuSeconds() - cpu0;
    ::close(fd);
    sim.Finish();
    std::printf("raw pty     : %7.1f MB/s  %.4f CPU s/MB  (%lld bytes in %.2f s)\n",
                static_cast<double>(got) / kMB / secs, cpu / (static_cast<double>(got) / kMB),
                static_cast<long long>(got), secs);
}

// Largest gap between refresh ticks of an idle window: what the machine's load alone
// does to the timer, as a baseline for the figures below.
void IdleTicks() {
    MainWindow form;
    form.startTimer->stop();
    form.show();
    QElapsedTimer clock;
    clock.start();
    qint64 last = -1;
    qint64 gap = 0;
    QObject::connect(&form, &MainWindow::refreshed, [&] {
        if (last >= 0) {
            gap = std::max(gap, clock.elapsed() - last);
        }
        last = clock.elapsed();
    });
    e2e::WaitFor([] { return false; }, 2000);
    std::printf("idle window : max tick gap %lld ms over 2 s\n", static_cast<long long>(gap));
}

// A field of /proc/self/status ("VmHWM:" = peak resident) in MB.
double StatusMB(const char* field) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) {
        return -1;
    }
    char line[256];
    long kb = -1;
    const std::size_t len = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, len) == 0) {
            kb = std::strtol(line + len, nullptr, 10);
        }
    }
    std::fclose(f);
    return kb < 0 ? -1 : static_cast<double>(kb) * 1024 / kMB;
}

void Window(qint64 bytes, bool hex, const QString& dir, const QString& pattern = "random") {
    MainWindow form;
    form.startTimer->stop();
    if (pattern == QLatin1String("log")) {
        zenta::DisplayOptions utf8;
        utf8.encoding = zenta::TextEncoding::Utf8;
        form.receive->ApplyDisplayOptions(utf8);
    }
    form.show();
    const e2e::StreamResult r =
        e2e::StreamThroughWindow(form, bytes, hex, dir + "/capture.bin", 600000, pattern);
    const double mb = static_cast<double>(r.captured) / kMB;
    std::printf(
        "%-12s: %7.1f MB/s  %.4f CPU s/MB  max tick gap %lld ms  longest reply %lld ms  (%lld "
        "of %lld bytes in %.2f s%s)\n",
        pattern == QLatin1String("ascii") ? "window ASCII"
        : pattern == QLatin1String("log") ? "window log"
        : hex                             ? "window HEX"
                                          : "window text",
        mb / r.seconds, r.cpuSeconds / mb, static_cast<long long>(r.maxTickGapMs),
        static_cast<long long>(r.maxReplyMs), static_cast<long long>(r.captured),
        static_cast<long long>(bytes), r.seconds, r.complete ? "" : ", INCOMPLETE");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    PrintPrompts prompts;
    SetPrompts(&prompts);
    const qint64 bytes = argc > 1 ? QString(argv[1]).toLongLong() : (qint64{64} << 20);
    QTemporaryDir dir;
    // The windows load and save their settings there, not beside the benchmark.
    qputenv("ZENTA_CONFIG_DIR", dir.path().toUtf8());
    const QString mode = argc > 2 ? QString(argv[2]) : QString();
    if (mode.isEmpty()) {
        IdleTicks();
    }
    RawPty(bytes, mode == QLatin1String("ascii") || mode == QLatin1String("log")
                      ? mode
                      : QStringLiteral("random"));
    if (mode == QLatin1String("ascii") || mode == QLatin1String("log")) {
        Window(bytes, false, dir.path(), mode);
    } else {
        if (mode != QLatin1String("hex")) {
            Window(bytes, false, dir.path());
        }
        if (mode != QLatin1String("text")) {
            Window(bytes, true, dir.path());
        }
    }
    if (!mode.isEmpty()) {
        std::printf(
            "peak RSS    : %7.1f MB (%s display; at the end %.1f MB anonymous, %.1f MB "
            "file-backed, fonts included)\n",
            StatusMB("VmHWM:"), qPrintable(mode), StatusMB("RssAnon:"), StatusMB("RssFile:"));
    }
    SetPrompts(nullptr);
    return 0;
}
