#pragma once
// Drives a byte stream from the device simulator into a real main window: used by the
// end-to-end tests and by bench/e2e_receive.

#include <sys/resource.h>

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

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
#include "datapath/qt/ReceiveView.h"

namespace e2e {

// CRC-32 as zlib computes it, the checksum devsim reports for a stream.
class Crc32 {
  public:
    Crc32() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            table_[i] = c;
        }
    }
    void Update(const char* data, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            crc_ = table_[(crc_ ^ static_cast<uint8_t>(data[i])) & 0xFF] ^ (crc_ >> 8);
        }
    }
    uint32_t Value() const { return crc_ ^ 0xFFFFFFFFu; }

  private:
    uint32_t table_[256];
    uint32_t crc_ = 0xFFFFFFFFu;
};

// Runs the event loop until pred() holds or timeoutMs passed; sleeps in the loop
// between checks instead of spinning.
template <class Pred>
bool WaitFor(Pred pred, int timeoutMs, int checkMs = 20) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (pred() || clock.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    if (pred()) {
        return true;
    }
    check.start(checkMs);
    loop.exec();
    return pred();
}

// One devsim process publishing a pseudo-terminal at a link of its own.
class Devsim {
  public:
    QProcess process;
    QString link;

    Devsim() {
        link = QDir::tempPath() + QStringLiteral("/ttyZENTA_e2e_%1_%2")
                                      .arg(QCoreApplication::applicationPid())
                                      .arg(++Counter());
        process.setProcessChannelMode(QProcess::MergedChannels);
    }
    ~Devsim() {
        Stop();
        // A killed devsim leaves its link behind; later windows would list it as a port.
        QFile::remove(link);
    }

    bool Start(const QStringList& args) {
        process.start(
            QStringLiteral(ZENTA_DEVSIM_PATH),
            args + QStringList{QStringLiteral("--link"), link, QStringLiteral("--force")});
        if (!process.waitForStarted(10000)) {
            return false;
        }
        return WaitFor([this] { return QFileInfo::exists(link); }, 10000, 5);
    }
    // The whole output once the process ended (it ends when the port is closed).
    QString Finish(int timeoutMs = 30000) {
        process.waitForFinished(timeoutMs);
        output_ += QString::fromLocal8Bit(process.readAll());
        return output_;
    }
    // "sent N bytes crc32 X" of a stream: N and X, or -1 when not seen.
    static qint64 SentBytes(const QString& out, uint32_t* crc) {
        static const QRegularExpression re(
            QStringLiteral("sent (\\d+) bytes crc32 ([0-9A-Fa-f]{8})"));
        const QRegularExpressionMatch m = re.match(out);
        if (!m.hasMatch()) {
            return -1;
        }
        if (crc) {
            *crc = m.captured(2).toUInt(nullptr, 16);
        }
        return m.captured(1).toLongLong();
    }
    void Kill() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    void Stop() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000)) {
                Kill();
            }
        }
    }

  private:
    static int& Counter() {
        static int n = 0;
        return n;
    }
    QString output_;
};

// Opens the window's port on a device path the way a user does: pick it, press Open.
// Prompts of a benchmark run: messages go to stderr, every question is declined.
class PrintPrompts : public UiPrompts {
  public:
    void ShowMessage(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    std::optional<QString> InputQuery(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QFont> ChooseFont(const QFont&) override { return std::nullopt; }
    QString OpenFile(const QString&, const QString&) override { return {}; }
};

inline bool OpenThroughWindow(MainWindow& form, const QString& path) {
    ConnectionPanel::PortEntrySource = [p = path.toStdString()] {
        return std::vector<std::string>{p};
    };
    form.connection->RefreshPortList();
    if (!form.port.Connected()) {
        panel_widgets::InvokeClick(form.connection->openButton);
    }
    return form.port.Connected();
}

inline double CpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct StreamResult {
    bool opened = false;
    bool complete = false;  // the capture file reached the expected size
    qint64 captured = 0;    // capture file size at the end
    QString devsimOutput;
    double seconds = 0;       // from opening the port to the last byte captured
    double cpuSeconds = 0;    // this process (window and event thread) over the same span
    qint64 maxTickGapMs = 0;  // largest gap between two refresh ticks
    // Longest the window's event loop kept a 10 ms timer waiting beyond its time: how late
    // the window would have answered a click or a key.
    qint64 maxReplyMs = 0;
};

// Streams `bytes` of a devsim pattern (random bytes unless told) into the window with
// capture on and waits until the capture file holds them all; then closes the port.
inline StreamResult StreamThroughWindow(MainWindow& form, qint64 bytes, bool hex,
                                        const QString& capturePath, int timeoutMs,
                                        const QString& pattern = QStringLiteral("random")) {
    StreamResult r;
    QFile::remove(capturePath);
    Devsim sim;
    if (!sim.Start({QStringLiteral("stream"), QStringLiteral("--bytes"), QString::number(bytes),
                    QStringLiteral("--pattern"), pattern, QStringLiteral("--wait-open"),
                    QStringLiteral("--quiet")})) {
        return r;
    }
    panel_widgets::SetChecked(form.receive->hexDisplayCheck, hex);
    // Switching capture on names a file of its own in the data folder; the stream goes
    // to the caller's file instead.
    zenta::ProgramFolderOverride = QFileInfo(capturePath).absolutePath();
    {
        // Its confirmation is not the test's concern.
        struct Quiet : UiPrompts {
            void ShowMessage(const QString&) override {}
            std::optional<QString> InputQuery(const QString&, const QString&,
                                              const QString&) override {
                return std::nullopt;
            }
            std::optional<QFont> ChooseFont(const QFont&) override { return std::nullopt; }
            QString OpenFile(const QString&, const QString&) override { return {}; }
        } quiet;
        UiPrompts* previous = &Prompts();
        SetPrompts(&quiet);
        panel_widgets::SetChecked(form.receive->captureCheck, true);
        SetPrompts(previous);
    }
    zenta::ProgramFolderOverride.clear();
    QFile::remove(form.receive->captureFileName);
    form.receive->captureFileName = capturePath;

    QElapsedTimer tickClock;
    qint64 lastTick = -1;
    const auto tick = QObject::connect(&form, &MainWindow::refreshed, [&] {
        const qint64 now = tickClock.elapsed();
        if (lastTick >= 0) {
            r.maxTickGapMs = std::max(r.maxTickGapMs, now - lastTick);
        }
        lastTick = now;
    });
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    qint64 lastProbe = -1;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = tickClock.elapsed();
        if (lastProbe >= 0) {
            r.maxReplyMs = std::max(r.maxReplyMs, now - lastProbe - probe.interval());
        }
        lastProbe = now;
    });
    QElapsedTimer clock;
    const double cpu0 = CpuSeconds();
    clock.start();
    tickClock.start();
    probe.start(10);
    r.opened = OpenThroughWindow(form, sim.link);
    if (r.opened) {
        r.complete = WaitFor([&] { return QFileInfo(capturePath).size() >= bytes; }, timeoutMs);
    }
    r.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    r.cpuSeconds = CpuSeconds() - cpu0;
    probe.stop();
    QObject::disconnect(tick);
    if (form.port.Connected()) {
        panel_widgets::InvokeClick(form.connection->openButton);
    }
    panel_widgets::SetChecked(form.receive->captureCheck, false);
    r.captured = QFileInfo(capturePath).size();
    r.devsimOutput = sim.Finish();
    return r;
}

}  // namespace e2e
