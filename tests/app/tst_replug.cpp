// A port whose device goes away while open: released at once, marked open, taken back
// when the device returns; the first start; folder notices without udev.
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
#include "app/DeviceMonitor.h"
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
#include "app/UpdateCheck.h"
#include "app/WindowState.h"
#include "app/support/E2eDriver.h"
#include "datapath/qt/ReceiveView.h"
#include "serial/ctl/CPortCtl.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

namespace fs = std::filesystem;
using e2e::WaitFor;

namespace {

// Descriptors of this process open on `device`.
int DescriptorsOn(const std::string& device) {
    int n = 0;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkEc;
        if (fs::read_symlink(fd.path(), linkEc).string() == device) {
            ++n;
        }
    }
    return n;
}

// A fake device that, once the test says it is unplugged, reads its last bytes and then
// its end, refuses writes and cannot be opened.
class UnpluggableDevice : public FakeDevice {
  public:
    UnpluggableDevice(FakeLog* log, std::atomic<bool>* gone, int wakeFd)
        : FakeDevice(log), gone_(gone), wake_(wakeFd) {}
    int Open(const std::string& path) override {
        return gone_->load() ? ENOENT : FakeDevice::Open(path);
    }
    int PollFd() const override { return wake_; }
    long Read(void* buf, std::size_t count) override {
        if (!gone_->load()) {
            return -EAGAIN;
        }
        const std::size_t n = std::min(count, lastBytes.size());
        std::memcpy(buf, lastBytes.data(), n);
        lastBytes.erase(0, n);
        return static_cast<long>(n);
    }
    long Write(const void* data, std::size_t count) override {
        return gone_->load() ? -EIO : FakeDevice::Write(data, count);
    }

    std::string lastBytes;

  private:
    std::atomic<bool>* gone_;
    int wake_;
};

}  // namespace

class ReplugTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    std::unique_ptr<MainWindow> form_;
    TWindowFixture fixture_;
    std::vector<std::string> entries_;

    void NewWindow() {
        form_.reset();
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
    }
    bool Waiting() {
        return WaitFor([this] { return form_->connection->WaitingForDevice(); }, 10000);
    }
    bool Receiving() {
        const int64_t before = form_->received.rxCount;
        return WaitFor([&] { return form_->port.Connected() && form_->received.rxCount > before; },
                       10000);
    }
    void ExpectWaitingShown(const QString& caption, const QString& panelWord) {
        QVERIFY(!form_->port.Connected());
        QCOMPARE(form_->connection->openButton->text(), caption);
        QCOMPARE(form_->connection->led->State(), lsOff);
        form_->onRefreshTick();
        QVERIFY2(form_->statusBar->PanelText(3).contains(panelWord),
                 qPrintable(form_->statusBar->PanelText(3)));
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_ = RecordingPrompts();
        entries_.clear();
        ConnectionPanel::PortEntrySource = [this] { return entries_; };
        NewWindow();
    }
    void cleanup() {
        form_.reset();
        fixture_.Stop();
    }

    void killedSimulatorIsReleasedAndTakenBackWithoutAClick() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"telemetry", "--interval", "20", "--quiet"}));
        const std::string terminal = fs::canonical(sim.link.toStdString()).string();
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        QVERIFY(Receiving());
        QCOMPARE(DescriptorsOn(terminal), 1);

        sim.Kill();
        QVERIFY(Waiting());
        QCOMPARE(DescriptorsOn(terminal), 0);
        ExpectWaitingShown(QStringLiteral("关闭串口"), QStringLiteral("等待"));
        panel_widgets::SetChecked(form_->englishCheck, true);
        ExpectWaitingShown(QStringLiteral("CloseCom"), QStringLiteral("Device gone"));

        e2e::Devsim again;
        again.link = sim.link;
        QVERIFY(again.Start({"telemetry", "--interval", "20", "--quiet"}));
        QVERIFY(Receiving());
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("CloseCom"));
        QVERIFY(form_->send->sendButton->isEnabled());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void republishedLinkIsFollowedToItsNewTerminal() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"echo", "--replug-after", "400"}));
        const std::string first = fs::canonical(sim.link.toStdString()).string();
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        QString out;
        QVERIFY(WaitFor(
            [&] {
                out += QString::fromLocal8Bit(sim.process.readAll());
                return out.contains(QStringLiteral("replugged"));
            },
            10000));
        const std::string second = fs::canonical(sim.link.toStdString()).string();
        QVERIFY(WaitFor([&] { return DescriptorsOn(second) == 1; }, 10000));
        QVERIFY(form_->port.Connected());
        QCOMPARE(DescriptorsOn(first), 0);
        QCOMPARE(form_->port.WriteStr("ping"), 4);
        QVERIFY(WaitFor([&] { return form_->received.rxCount >= 4; }, 10000));
    }

    void closeComWhileWaitingGivesUp() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"telemetry", "--interval", "20", "--quiet"}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        sim.Kill();
        QVERIFY(Waiting());

        // Another adapter is listed meanwhile: giving up the wait keeps the chosen port.
        TPty other;
        ConnectionPanel::PortEntrySource = [&] {
            return std::vector<std::string>{other.SlavePath() + " Another board"};
        };
        form_->connection->RefreshPortList();
        panel_widgets::InvokeClick(form_->connection->openButton);
        form_->connection->RefreshPortList();
        QCOMPARE(form_->port.Port(), sim.link.toStdString());
        QCOMPARE(form_->connection->portBox->currentText(), sim.link);
        QVERIFY(!form_->connection->WaitingForDevice());
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("打开串口"));
        QVERIFY(!form_->send->sendButton->isEnabled());
        QVERIFY(!form_->connection->replugTimer->isActive());
        e2e::Devsim again;
        again.link = sim.link;
        QVERIFY(again.Start({"telemetry", "--interval", "20", "--quiet"}));
        form_->connection->onDeviceChange(DeviceChange::PortArrived);
        QVERIFY(!form_->port.Connected());
    }

    // The stored port is unplugged at start: it is waited for, and the other adapter on
    // the desk is never opened in its place; it opens when its device comes.
    void storedPortAbsentAtStartIsAwaited() {
        const QString link =
            QDir::temp().filePath(QStringLiteral("ttyZENTAstored%1").arg(::getpid()));
        QFile::remove(link);
        QFile ini(QDir(fixture_.SettingsPath()).filePath(QStringLiteral("zenta5.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("N80=,%1\r\r\nN81=,115200\r\r\n;end\r\r\n").arg(link).toUtf8());
        ini.close();
        TPty other;
        entries_ = {other.SlavePath() + " Another board"};
        NewWindow();
        form_->onStartTick();
        QVERIFY(form_->connection->WaitingForDevice());
        QVERIFY(!form_->port.Connected());
        QCOMPARE(form_->port.Port(), link.toStdString());
        QCOMPARE(form_->connection->portBox->currentText(), link);
        // It was never here in this run: nothing is "gone".
        ExpectWaitingShown(QStringLiteral("关闭串口"), QStringLiteral("等待串口出现"));
        EnglishUI = 1;
        ExpectWaitingShown(QStringLiteral("关闭串口"),
                           QStringLiteral("waiting for the port to appear"));
        QVERIFY(!form_->statusBar->PanelText(3).contains(QStringLiteral("gone")));
        EnglishUI = 0;
        QVERIFY(prompts_.messages.isEmpty());

        TPty board;
        QVERIFY(QFile::link(QString::fromStdString(board.SlavePath()), link));
        form_->connection->onDeviceChange(DeviceChange::PortArrived);
        QVERIFY(form_->port.Connected());
        QCOMPARE(form_->port.Port(), link.toStdString());
        form_.reset();
        QFile::remove(link);
    }

    void adapterBackUnderANewNumberIsFoundByItsStableName() {
        QTemporaryDir dir;
        const fs::path byId = fs::path(dir.path().toStdString()) / "by-id";
        fs::create_directory(byId);
        const fs::path node = fs::path(dir.path().toStdString()) / "ttyUSB0";
        const fs::path name = byId / "usb-Test_Board_42-if00-port0";
        auto before = std::make_unique<TPty>();
        fs::create_symlink(before->SlavePath(), node);
        fs::create_symlink(before->SlavePath(), name);
        ConnectionPanel::SerialByIdFolder = byId.string();
        QVERIFY(e2e::OpenThroughWindow(*form_, QString::fromStdString(node.string())));

        // Unplugged: node and stable name go; back as another node with the same name.
        fs::remove(node);
        fs::remove(name);
        before.reset();
        QVERIFY(Waiting());
        TPty after;
        fs::create_symlink(after.SlavePath(), name);
        form_->connection->onDeviceChange(DeviceChange::PortArrived);
        QVERIFY(form_->port.Connected());
        QCOMPARE(form_->port.Port(), after.SlavePath());
        QVERIFY(after.Send("back"));
        QVERIFY(Receiving() || form_->received.rxCount >= 4);
    }

    // Lost through the engine's report, or through a refused write before that report.
    void reopenRestoresTheModemLinesTheBoxesShow() {
        FakeLog log;
        std::atomic<bool> gone{false};
        int wake[2];
        QVERIFY(::pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0);
        form_->port.SetDeviceFactory([&] {
            auto device = std::make_unique<UnpluggableDevice>(&log, &gone, wake[0]);
            device->lastBytes = "last words";
            return device;
        });
        entries_ = {"/dev/null"};  // stands for a node that is present
        form_->connection->RefreshPortList();
        form_->connection->dtrCheck->setChecked(true);
        form_->connection->onOpenClicked();
        QVERIFY(form_->port.Connected());
        const auto comeBack = [&] {
            char drain;
            while (::read(wake[0], &drain, 1) == 1) {
            }
            gone = false;
            const std::size_t calls = log.Calls().size();
            form_->connection->onDeviceChange(DeviceChange::PortArrived);
            QVERIFY(form_->port.Connected());
            QVERIFY(form_->send->sendButton->isEnabled());
            const std::vector<std::string> all = log.Calls();
            const std::vector<std::string> reopen(all.begin() + static_cast<long>(calls),
                                                  all.end());
            QCOMPARE(reopen, (std::vector<std::string>{"open /dev/null", "dtr 1", "rts 0"}));
        };

        // The loss comes in the same wake-up as the last bytes, which still reach the window.
        gone = true;
        QVERIFY(::write(wake[1], "x", 1) == 1);
        QVERIFY(Waiting());
        QVERIFY(form_->receive->view->toPlainText().endsWith(QStringLiteral("last words")));
        comeBack();

        // A write refused before the loss is reported: repaired in vain, then waited for.
        gone = true;
        EnglishUI = 1;
        form_->send->lineEdit->setText(QStringLiteral("ping"));
        form_->send->onSendClicked();
        QVERIFY(form_->connection->WaitingForDevice());
        const QString repair = QStringLiteral(
            "\nCOM is Error,auto repair...\nClose the port...\nOpen the port...\n\nUnable to "
            "open the serial port,Please check it!\n");
        QVERIFY(form_->receive->view->toPlainText().endsWith(repair));
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("CloseCom"));
        comeBack();

        form_->port.Close();
        form_->port.SetDeviceFactory({});
        ::close(wake[0]);
        ::close(wake[1]);
    }

    void firstStartOpensTheFirstPortInListOrder() {
        QTemporaryDir dir;
        TPty adapter;
        TPty published;
        const std::string usb = dir.filePath(QStringLiteral("ttyUSB0")).toStdString();
        const std::string link =
            QDir::tempPath().toStdString() + "/ttyZENTA_first_" + std::to_string(::getpid());
        fs::create_symlink(adapter.SlavePath(), usb);
        fs::remove(link);
        fs::create_symlink(published.SlavePath(), link);
        entries_ = {"/dev/ttyS0", link, usb + " USB Serial"};
        // No settings file: the window of init() has written one.
        form_.reset();
        QFile::remove(QDir(fixture_.SettingsPath()).filePath(QStringLiteral("zenta5.ini")));
        NewWindow();
        QCOMPARE(form_->connection->portBox->currentText(), QString::fromStdString(usb));
        panel_widgets::InvokeClick(
            form_->connection->openButton);  // what the start-up tick does first
        QVERIFY(form_->port.Connected());
        QCOMPARE(form_->port.Port(), usb);
        QFile ini(QDir(fixture_.SettingsPath()).filePath(QStringLiteral("zenta5.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains(QByteArray("N80=,") + QByteArray::fromStdString(usb)));
        form_->port.Close();
        fs::remove(link);
    }

    void folderNoticesWithoutUdev() {
        QTemporaryDir dir;
        TDeviceMonitor monitor(TDeviceMonitor::Source::Folders);
        QVERIFY(monitor.Active());
        monitor.WatchFolder(dir.path().toStdString());
        std::vector<DeviceChange> seen;
        monitor.OnChange = [&](DeviceChange m) { seen.push_back(m); };
        TPty pty;
        const std::string link = dir.filePath(QStringLiteral("ttyBoard")).toStdString();
        fs::create_symlink(pty.SlavePath(), link + ".part");
        fs::rename(link + ".part", link);
        QTRY_VERIFY(std::count(seen.begin(), seen.end(), DeviceChange::PortArrived) > 0);
        fs::remove(link);
        QTRY_VERIFY(std::count(seen.begin(), seen.end(), DeviceChange::PortRemoved) > 0);
    }
};

QTEST_MAIN(ReplugTest)
#include "tst_replug.moc"
