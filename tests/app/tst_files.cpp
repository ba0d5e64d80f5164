// The file row through a real window on a pseudo-terminal: file send with its report,
// stop and unplug while the port holds the file back, unreadable files, the preview,
// saving and the capture switch, and where the files go.
#include <poll.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

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
#include "app/UpdateCheck.h"
#include "app/WindowState.h"
#include "app/support/E2eDriver.h"
#include "datapath/qt/ReceiveView.h"
#include "support/qt/WindowFixture.h"
#include "text/Gb18030.h"

using namespace zenta::test;

namespace {

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

// Prompts whose file dialog picks a given file.
class PickingPrompts : public RecordingPrompts {
  public:
    QString pick;
    QString OpenFile(const QString&, const QString&) override { return pick; }
};

// A HOME of its own, so the documents folder is a temporary one.
class ScopedHome {
  public:
    explicit ScopedHome(const QString& home)
        : home_(qgetenv("HOME")), config_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    }
    ~ScopedHome() {
        qputenv("HOME", home_);
        qputenv("XDG_CONFIG_HOME", config_);
        if (config_.isEmpty()) {
            qunsetenv("XDG_CONFIG_HOME");
        }
    }

  private:
    QByteArray home_;
    QByteArray config_;
};

}  // namespace

class FilesTest : public QObject {
    Q_OBJECT

  private:
    PickingPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<MainWindow> form_;
    std::unique_ptr<TPty> pty_;
    std::unique_ptr<QTemporaryDir> dir_;

    void Open() {
        QVERIFY(e2e::OpenThroughWindow(*form_, QString::fromStdString(pty_->SlavePath())));
    }
    QString Text() const { return form_->receive->view->toPlainText(); }
    QString File(const std::string& bytes, const QString& name = "f.bin") {
        const QString path = dir_->filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return path;
    }
    void Receive(const std::string& bytes) {
        const int64_t before = form_->received.rxCount;
        QVERIFY(pty_->Send(bytes));
        QTRY_COMPARE(form_->received.rxCount, before + static_cast<int64_t>(bytes.size()));
    }
    // Runs `action` once the refresh tick has run `ticks` times during the send, i.e.
    // while the window keeps serving events with a file held back by the port.
    int SendWhileHeldBack(const std::string& file, int ticks, std::function<void()> action) {
        form_->files->pathEdit->setText(File(file));
        int seen = 0;
        const auto c = connect(form_.get(), &MainWindow::refreshed, [&] {
            if (form_->FileSendRunning() && ++seen == ticks) {
                action();
            }
        });
        form_->files->sendFileButton->click();
        disconnect(c);
        return seen;
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_.messages.clear();
        prompts_.pick.clear();
        dir_ = std::make_unique<QTemporaryDir>();
        zenta::ProgramFolderOverride = dir_->path();
        pty_ = std::make_unique<TPty>();
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
        form_->show();
    }
    void cleanup() {
        form_.reset();
        pty_.reset();
        QFile::setPermissions(
            dir_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        dir_.reset();
        fixture_.Stop();
    }

    void fileGoesOutWhole_WithReportCountsAndCompletion() {
        Open();
        form_->port.SetBaudRate(br9600);
        const std::string data = Pattern(1000);
        form_->files->pathEdit->setText(File(data));
        form_->files->sendFileButton->click();
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 1000), data);
        QCOMPARE(Text(),
                 QStringLiteral(
                     "文件大小: 1000\n波特率 9600bps\n需要时间:大约 1 秒\n请稍候...\n发送完毕！"));
        form_->onRefreshTick();
        QCOMPARE(form_->statusBar->PanelText(1), QStringLiteral("S:1000"));
        QCOMPARE(form_->statusBar->PanelText(0), HomePanelText());
        QVERIFY(form_->progressBar->isHidden());
        QVERIFY(form_->files->sendFileButton->isEnabled() &&
                form_->connection->openButton->isEnabled());
        QVERIFY(!form_->FileSendRunning());
        QCOMPARE(StopFlag, uint8_t{1});

        // An empty file writes nothing and still completes.
        form_->files->pathEdit->setText(File(std::string(), "empty.bin"));
        form_->files->sendFileButton->click();
        QVERIFY(Text().endsWith(QStringLiteral("请稍候...\n发送完毕！")));
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 1, 100), std::string());

        // A custom rate gives an estimate at that rate.
        EnglishUI = 1;
        form_->port.SetBaudRate(brCustom);
        form_->port.SetCustomBaudRate(250);
        form_->files->pathEdit->setText(File(Pattern(700)));
        form_->files->sendFileButton->click();
        QCOMPARE(Text(), QStringLiteral("FileSize: 700\nBaudRate 250bps\nTime require: 28 S\n"
                                        "Wait...\nSend ok!"));
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 700).size(), std::size_t{700});
        QVERIFY(prompts_.messages.isEmpty());
    }

    void unreadableFilesSayWhyAndSendNothing() {
        Open();
        form_->Print(QStringLiteral("kept"));
        const QString missing = dir_->filePath("gone.bin");
        const QString folder = dir_->path();
        for (const QString& path : {missing, folder}) {
            form_->files->pathEdit->setText(path);
            form_->files->sendFileButton->click();
        }
        QCOMPARE(prompts_.messages.size(), 2);
        QCOMPARE(prompts_.messages[0], QStringLiteral("文件不存在或者已经被别的程序打开!\r\n"
                                                      "找不到文件: ") +
                                           missing);
        QCOMPARE(prompts_.messages[1], QStringLiteral("文件不存在或者已经被别的程序打开!\r\n"
                                                      "这是文件夹,不是文件: ") +
                                           folder);
        QCOMPARE(Text(), QStringLiteral("kept"));
        QCOMPARE(ReadUntilQuiet(pty_->Master(), 1, 100), std::string());
        QVERIFY(form_->files->sendFileButton->isEnabled());
        // A preview of it leaves the window as it was and says why.
        form_->files->openFileButton->click();
        QCOMPARE(Text(), QStringLiteral("kept"));
        QCOMPARE(prompts_.messages.size(), 3);
        QCOMPARE(prompts_.messages[2], prompts_.messages[1]);
    }

    void stopWhileThePortHoldsTheFileBack() {
        Open();
        // Nobody reads the other end: the port soon holds the file back.
        const int ticks =
            SendWhileHeldBack(Pattern(4 << 20), 3, [this] { form_->files->stopButton->click(); });
        QCOMPARE(ticks, 3);
        QVERIFY(Text().endsWith(QStringLiteral("请稍候...\n用户中止！\n")));
        form_->onRefreshTick();
        const int64_t sent = form_->received.txCount;
        QVERIFY(sent > 0 && sent < (4 << 20));
        QVERIFY(form_->port.Connected());
        QVERIFY(form_->files->sendFileButton->isEnabled() &&
                form_->connection->openButton->isEnabled());
        QVERIFY(form_->progressBar->isHidden());
        // What the port took arrives; nothing follows the stop.
        QCOMPARE(static_cast<int64_t>(ReadUntilQuiet(pty_->Master(), 8 << 20).size()), sent);
        QCOMPARE(form_->received.txCount, sent);
        QVERIFY(prompts_.messages.isEmpty());
    }

    void unplugDuringASendReportsOnceAndClosesThePort() {
        Open();
        const int ticks = SendWhileHeldBack(Pattern(4 << 20), 2, [this] { pty_->CloseMaster(); });
        QCOMPARE(ticks, 2);
        QCOMPARE(prompts_.messages, QStringList{QStringLiteral(
                                        "当前串口号无效!\r\n请检查后重新打开!如usb串口松了。\r\n"
                                        "或者被其他程序占用了.")});
        QVERIFY(!form_->port.Connected());
        QVERIFY(!form_->files->sendFileButton->isEnabled() &&
                !form_->send->sendButton->isEnabled());
        QVERIFY(form_->connection->openButton->isEnabled());
        QVERIFY(!form_->FileSendRunning());
        QVERIFY(!Text().contains(QStringLiteral("发送完毕")));
        // Later events bring no second message.
        QTest::qWait(200);
        QCOMPARE(prompts_.messages.size(), 1);
    }

    void previewShowsTheFileStartAndLeavesTheCount() {
        Open();
        Receive("xyz");
        prompts_.pick = File(std::string("AB\r\nCD\r\n\0\0", 10), "p.bin");
        form_->files->openFileButton->click();
        QCOMPARE(form_->files->pathEdit->text(), prompts_.pick);
        QCOMPARE(form_->files->pathEdit->cursorPosition(), static_cast<int>(prompts_.pick.size()));
        QCOMPARE(Text(),
                 QStringLiteral("文件大小:10字节,下面是预览的4K字节内容:\n\nAB\nCD\n\\0\\0"));
        QCOMPARE(form_->received.rxCount, int64_t{3});
        form_->onRefreshTick();
        QCOMPARE(form_->statusBar->PanelText(2), QStringLiteral("R:3"));

        // HEX display previews the HEX form; a cancelled dialog keeps the box's file.
        EnglishUI = 1;
        prompts_.pick.clear();
        form_->receive->hexDisplayCheck->setChecked(true);
        form_->files->openFileButton->click();
        QCOMPARE(Text(), QStringLiteral("FileSize:10bytes. The first 4K data is:\n\n"
                                        "41 42 0D 0A 43 44 0D 0A 00 00 "));
        // Text beyond the first 4 KiB is not shown; GBK text shows as such.
        form_->receive->hexDisplayCheck->setChecked(false);
        form_->files->pathEdit->setText(
            File(zenta::ToGb18030(QStringLiteral("温度")).toStdString() + std::string(5000, 'q')));
        form_->files->openFileButton->click();
        QCOMPARE(Text(), QStringLiteral("FileSize:5004bytes. The first 4K data is:\n\n温度") +
                             QString(4092, QLatin1Char('q')));
    }

    void saveWritesWindowTextAndRawBytes() {
        Open();
        Receive(std::string("hi\n\0\xFF", 5));
        form_->receive->saveDataButton->click();
        QDir folder(dir_->path());
        QStringList dat = folder.entryList({"SAVE*.DAT"});
        QStringList txt = folder.entryList({"SaveWindows*.TXT"});
        QCOMPARE(dat.size(), 1);
        QCOMPARE(txt.size(), 1);
        static const QRegularExpression stamp(
            QStringLiteral("^SAVE\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.DAT$"));
        QVERIFY2(stamp.match(dat[0]).hasMatch(), qPrintable(dat[0]));
        QCOMPARE(txt[0].mid(11), dat[0].mid(4).replace(".DAT", ".TXT"));
        QCOMPARE(FileBytes(folder.filePath(dat[0])), QByteArray("hi\n\0\xFF", 5));
        // Lines in the window's code page, each ending in CR LF.
        QCOMPARE(FileBytes(folder.filePath(txt[0])), QByteArray("hi\r\n\\0\r\n"));
        QCOMPARE(
            prompts_.messages,
            QStringList{QStringLiteral("收到的原始数据已保存在当前目录!,文件名:\r\n") +
                        folder.filePath(dat[0]) + QStringLiteral("\r\n接收窗口的内容保存在:\r\n") +
                        folder.filePath(txt[0])});

        // Right after a clear: an empty data file.
        form_->receive->clearButton->click();
        QTest::qWait(1100);
        form_->receive->saveDataButton->click();
        dat = folder.entryList({"SAVE*.DAT"}, QDir::Files, QDir::Name);
        txt = folder.entryList({"SaveWindows*.TXT"}, QDir::Files, QDir::Name);
        QCOMPARE(dat.size(), 2);
        QCOMPARE(FileBytes(folder.filePath(dat[1])), QByteArray());
        QCOMPARE(FileBytes(folder.filePath(txt[1])), QByteArray());

        // Saved again at once (the same second, as a rule): nothing is written over.
        Receive("more");
        form_->receive->saveDataButton->click();
        const QStringList after = folder.entryList({"SAVE*.DAT"}, QDir::Files, QDir::Name);
        QCOMPARE(after.size(), 3);
        QCOMPARE(FileBytes(folder.filePath(dat[0])), QByteArray("hi\n\0\xFF", 5));
        QCOMPARE(FileBytes(folder.filePath(dat[1])), QByteArray());
        QStringList added = after;
        added.removeAll(dat[0]);
        added.removeAll(dat[1]);
        QCOMPARE(FileBytes(folder.filePath(added.value(0))), QByteArray("more"));
        QCOMPARE(folder.entryList({"SaveWindows*.TXT"}).size(), 3);
    }

    // The disk fills up during a capture: the box unticks, the message says so once, and
    // nothing goes into the file behind a gap.
    void captureThatCannotWriteStopsAndSaysSo() {
        Open();
        panel_widgets::SetChecked(form_->receive->captureCheck, true);
        prompts_.messages.clear();
        form_->receive->captureFileName = QStringLiteral("/dev/full");
        Receive("lost");
        QVERIFY(!form_->receive->captureCheck->isChecked());
        QTRY_COMPARE(prompts_.messages.size(), 1);
        QVERIFY(prompts_.messages[0].contains(QStringLiteral("/dev/full")));
        Receive("more");
        QTest::qWait(50);
        QCOMPARE(prompts_.messages.size(), 1);
    }

    void captureStartsAFileWithEachSwitchOn() {
        Open();
        panel_widgets::SetChecked(form_->receive->captureCheck, true);
        const QString first = form_->receive->captureFileName;
        QCOMPARE(QFileInfo(first).absolutePath(), dir_->path());
        QVERIFY(QFileInfo(first).fileName().startsWith("ReceivedTofile"));
        QVERIFY(QFile::exists(first));
        QCOMPARE(prompts_.messages,
                 QStringList{QStringLiteral("之后接收到的数据都将存到：\r\n") + first});
        Receive(std::string("one\0", 4));
        panel_widgets::SetChecked(form_->receive->captureCheck, false);
        Receive("off");
        panel_widgets::SetChecked(form_->receive->captureCheck, true);
        Receive("two");
        const QString second = form_->receive->captureFileName;
        // Within one second the name repeats and the data goes on in the same file.
        if (second == first) {
            QCOMPARE(FileBytes(first), QByteArray("one\0two", 7));
        } else {
            QCOMPARE(FileBytes(first), QByteArray("one\0", 4));
            QCOMPARE(FileBytes(second), QByteArray("two"));
        }
        QTest::qWait(1100);
        panel_widgets::SetChecked(form_->receive->captureCheck, false);
        panel_widgets::SetChecked(form_->receive->captureCheck, true);
        QVERIFY(form_->receive->captureFileName != second);
        Receive("three");
        QCOMPARE(FileBytes(form_->receive->captureFileName), QByteArray("three"));
    }

    void readOnlyProgramFolderSendsDataToDocuments() {
        QTemporaryDir home;
        const ScopedHome scoped(home.path());
        QFile::setPermissions(dir_->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EnglishUI = 1;
        form_->receive->saveDataButton->click();
        const QString docs = home.path() + "/Documents/zenta";
        QCOMPARE(QDir(docs).entryList({"SAVE*.DAT"}).size(), 1);
        QVERIFY(prompts_.messages.value(0).contains("file name:\r\n" + docs + "/SAVE"));
        panel_widgets::SetChecked(form_->receive->captureCheck, true);
        QCOMPARE(QFileInfo(form_->receive->captureFileName).absolutePath(), docs);

        // Nowhere to write: the failure is said, not a success.
        panel_widgets::SetChecked(form_->receive->captureCheck, false);
        prompts_.messages.clear();
        const ScopedHome nowhere(QStringLiteral("/proc/zenta-no-home"));
        form_->receive->saveDataButton->click();
        panel_widgets::SetChecked(form_->receive->captureCheck, true);
        QCOMPARE(prompts_.messages.size(), 2);
        QVERIFY(
            prompts_.messages[0].startsWith("The data could not be saved:\r\n/proc/zenta-no-home"));
        QVERIFY(prompts_.messages[1].startsWith(
            "The file for the received data cannot be created:\r\n/proc/zenta-no-home"));
        QVERIFY(!form_->receive->captureCheck->isChecked());
    }
};

QTEST_MAIN(FilesTest)
#include "tst_files.moc"
