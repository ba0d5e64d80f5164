// File send throughput of the window on a pseudo-terminal beside plain writes to the
// same kind of terminal, and the chart's redraw cost while a stream floods the window.
//
//   file_send_bench [bytes]      (run with QT_QPA_PLATFORM=offscreen or on a display)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <thread>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
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
#include "support/Pty.h"

namespace {

using e2e::PrintPrompts;

constexpr double kMB = 1e6;

// A pseudo-terminal whose device side is drained by a thread as fast as it can.
class DrainedPty {
  public:
    DrainedPty() {
        reader_ = std::thread([this] {
            std::vector<char> buf(1 << 16);
            while (!stop_) {
                pollfd p{pty_.Master(), POLLIN, 0};
                if (::poll(&p, 1, 50) > 0) {
                    const ssize_t n = ::read(pty_.Master(), buf.data(), buf.size());
                    if (n > 0) {
                        got += n;
                    }
                }
            }
        });
    }
    ~DrainedPty() {
        stop_ = true;
        reader_.join();
    }

    const std::string& Slave() const { return pty_.SlavePath(); }
    std::atomic<qint64> got{0};

  private:
    zenta::test::TPty pty_;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

void Report(const char* what, qint64 bytes, double secs, double cpu) {
    std::printf("%-24s: %7.1f MB/s  %.4f CPU s/MB  (%lld bytes in %.2f s)\n", what,
                static_cast<double>(bytes) / kMB / secs, cpu / (static_cast<double>(bytes) / kMB),
                static_cast<long long>(bytes), secs);
    std::fflush(stdout);
}

// Plain blocking writes of `block` bytes to the terminal: its ceiling for this size.
void RawPty(qint64 bytes, int block) {
    DrainedPty pty;
    const int fd = ::open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    const std::vector<char> data(static_cast<std::size_t>(block), 'x');
    const double cpu0 = e2e::CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    qint64 sent = 0;
    while (sent < bytes) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n <= 0) {
            break;
        }
        sent += n;
    }
    while (pty.got < sent) {
        std::this_thread::yield();
    }
    const double secs = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double cpu = e2e::CpuSeconds() - cpu0;
    ::close(fd);
    Report(block == 256 ? "raw pty, 256-byte writes" : "raw pty, 64 KiB writes", sent, secs, cpu);
}

void WindowSend(qint64 bytes, const QString& dir) {
    DrainedPty pty;
    const QString path = dir + "/send.bin";
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(bytes, 'x'));
    }
    MainWindow form;
    form.startTimer->stop();
    form.show();
    if (!e2e::OpenThroughWindow(form, QString::fromStdString(pty.Slave()))) {
        std::printf("window file send: the port did not open\n");
        return;
    }
    form.files->pathEdit->setText(path);
    qint64 ticks = 0;
    QObject::connect(&form, &MainWindow::refreshed, [&] { ++ticks; });
    const double cpu0 = e2e::CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    form.files->sendFileButton->click();
    e2e::WaitFor([&] { return pty.got >= bytes; }, 60000, 1);
    const double secs = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    Report("window file send", pty.got, secs, e2e::CpuSeconds() - cpu0);
    std::printf("%-24s: %lld refresh ticks served during the send\n", "",
                static_cast<long long>(ticks));
}

// A flood from devsim with the chart redrawn as real time does, but every 100 ms, each
// redraw (series refill and paint) timed; the flood's own figures beside it.
void ChartDuringFlood(qint64 bytes, const QString& dir, bool redraw) {
    MainWindow form;
    form.startTimer->stop();
    form.show();
    double redrawSecs = 0;
    double worst = 0;
    int redraws = 0;
    QTimer chart;
    QObject::connect(&chart, &QTimer::timeout, [&] {
        QElapsedTimer t;
        t.start();
        form.chart->onShowClicked();
        form.chart->view->viewport()->repaint();
        const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
        redrawSecs += s;
        worst = std::max(worst, s);
        ++redraws;
    });
    if (redraw) {
        panel_widgets::SetChecked(form.chart->realTimeCheck, true);
        chart.start(100);
    }
    const e2e::StreamResult r =
        e2e::StreamThroughWindow(form, bytes, false, dir + "/flood.bin", 600000);
    chart.stop();
    const double mb = static_cast<double>(r.captured) / kMB;
    std::printf("flood, chart %-11s: %7.1f MB/s  %.4f CPU s/MB%s\n", redraw ? "every 100ms" : "off",
                mb / r.seconds, r.cpuSeconds / mb, r.complete ? "" : "  INCOMPLETE");
    if (redraw && redraws > 0) {
        std::printf(
            "%-24s: %d redraws of 500 points, mean %.3f ms, worst %.3f ms "
            "(%.3f%% of a second at the real-time rate)\n",
            "", redraws, redrawSecs / redraws * 1e3, worst * 1e3, redrawSecs / redraws * 100);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    PrintPrompts prompts;
    SetPrompts(&prompts);
    const qint64 bytes = argc > 1 ? QString(argv[1]).toLongLong() : (qint64{32} << 20);
    QTemporaryDir dir;
    qputenv("ZENTA_CONFIG_DIR", dir.path().toUtf8());
    zenta::ProgramFolderOverride = dir.path();
    RawPty(bytes, 256);
    RawPty(bytes, 1 << 16);
    WindowSend(bytes, dir.path());
    ChartDuringFlood(bytes, dir.path(), false);
    ChartDuringFlood(bytes, dir.path(), true);
    SetPrompts(nullptr);
    return 0;
}
