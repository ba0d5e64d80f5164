// The plot window fed by the simulator's telemetry through a real pseudo-terminal, in
// pieces as the port delivers them.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QDateTime>
#include <QTest>

#include "devsim/Telemetry.h"
#include "devsim/TelemetryFormats.h"
#include "plot/qt/PlotWindow.h"
#include "support/DevsimProcess.h"

using zenta::plot::PlotWindow;

namespace {

// Reads the port into the window until `lines` line ends came or 20 s passed; returns
// how many reads it took.
int Pump(int fd, PlotWindow& w, int lines) {
    int ends = 0;
    int reads = 0;
    const qint64 deadline = QDateTime::currentMSecsSinceEpoch() + 20000;
    char buf[256];  // small reads: lines arrive cut in two now and then
    while (ends < lines && QDateTime::currentMSecsSinceEpoch() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        ++reads;
        for (ssize_t i = 0; i < n; ++i) {
            ends += buf[i] == '\n';
        }
        w.feed(buf, static_cast<std::size_t>(n), QDateTime::currentMSecsSinceEpoch());
        QCoreApplication::processEvents();
    }
    return reads;
}

}  // namespace

class PlotDevsimTest : public QObject {
    Q_OBJECT

  private slots:
    void csvColumnsFromThePort();
    void gbkReadingsFromThePort();
};

void PlotDevsimTest::csvColumnsFromThePort() {
    devsim_test::TempLink link;
    devsim_test::DevsimProcess sim({"telemetry", "--link", link.path, "--format", "csv",
                                    "--channels", "5", "--lines-per-second", "500", "--lines",
                                    "300"});
    QVERIFY(devsim_test::WaitForPath(link.path));
    const int fd = devsim_test::OpenRawPort(link.path, B115200);
    QVERIFY(fd >= 0);
    PlotWindow w;
    w.setEnglish(true);
    w.show();
    QVERIFY(Pump(fd, w, 300) > 1);
    close(fd);
    QCOMPARE(w.seriesNames(),
             QStringList({"Column 1", "Column 2", "Column 3", "Column 4", "Column 5"}));
    for (int c = 0; c < 5; ++c) {
        QCOMPARE(w.model().Store().Size(c), std::size_t(300));
        QCOMPARE(w.lastValue(c), std::optional<double>(devsim::ChannelValue(300, c)));
    }
    w.redrawNow();
    QVERIFY(w.viewRange().width() > 0);
}

void PlotDevsimTest::gbkReadingsFromThePort() {
    devsim_test::TempLink link;
    devsim_test::DevsimProcess sim(
        {"telemetry", "--link", link.path, "--lines-per-second", "200", "--lines", "60"});
    QVERIFY(devsim_test::WaitForPath(link.path));
    const int fd = devsim_test::OpenRawPort(link.path, B115200);
    QVERIFY(fd >= 0);
    PlotWindow w;  // decodes GB18030 by default, as the receive window does
    Pump(fd, w, 60);
    close(fd);
    QCOMPARE(w.seriesNames(), QStringList({QString::fromUtf8("温度"), QString::fromUtf8("湿度"),
                                           QString::fromUtf8("电压"), QString::fromUtf8("计数")}));
    const devsim::TelemetryReading r = devsim::ReadingAt(60);
    QCOMPARE(w.lastValue(0), std::optional<double>(r.tempTenths / 10.0));
    QCOMPARE(w.lastValue(2), std::optional<double>(r.voltHundredths / 100.0));
    QCOMPARE(w.lastValue(3), std::optional<double>(60));
}

QTEST_MAIN(PlotDevsimTest)
#include "tst_plot_devsim.moc"
