// The command line: what it accepts and refuses, the real program's exits, and a window
// that starts on the port, bit rate, folder and language it was given.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/StartOptions.h"
#include "app/core/CommandLine.h"
#include "app/support/SettingsTestSupport.h"
#include "serial/ctl/CPortCtl.h"

using namespace zenta::test;

using zenta::CommandLineResult;
using zenta::ParseCommandLine;

namespace {

CommandLineResult Parse(const QStringList& args) {
    return ParseCommandLine(QStringList{QStringLiteral("zenta")} + args);
}

// The output speed the far end of a pseudo-terminal sees.
unsigned SlaveSpeed(int master) {
    struct termios2 t {};
    return ::ioctl(master, TCGETS2, &t) == 0 ? t.c_ospeed : 0;
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;

  private slots:
    void init() { InstallWindowHooks(prompts_); }
    void cleanup() {
        RemoveWindowHooks();
        InstallStartOptions({});
        MainWindow::SettingsFolder.clear();
    }

    void refusesBadValuesWithExitTwo_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("baud word") << QStringList{"--baud", "fast"} << "'fast' is not a bit rate";
        QTest::newRow("baud zero") << QStringList{"--baud", "0"} << "'0' is not a bit rate";
        QTest::newRow("baud negative") << QStringList{"--baud=-9600"} << "is not a bit rate";
        QTest::newRow("baud above range") << QStringList{"--baud", "50000001"} << "not a bit rate";
        QTest::newRow("baud overflows int") << QStringList{"--baud", "4294977296"} << "not a bit";
        QTest::newRow("baud missing value") << QStringList{"--baud"} << "Missing value";
        QTest::newRow("lang") << QStringList{"--lang", "de"} << "'de' is not a language";
        QTest::newRow("two ports") << QStringList{"ttyS0", "ttyS1"} << "only one PORT";
        QTest::newRow("port with blank") << QStringList{"/dev/tty USB"} << "is not a port name";
        QTest::newRow("empty port") << QStringList{""} << "is not a port name";
        QTest::newRow("config dir is a file")
            << QStringList{"--config-dir", "/etc/hostname"} << "is not a folder";
        QTest::newRow("config dir empty") << QStringList{"--config-dir="} << "folder name is empty";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "Unknown option 'bogus'";
        QTest::newRow("line word") << QStringList{"--line", "fast"} << "'fast' is not a line";
        QTest::newRow("line nine bits") << QStringList{"--line", "9N1"} << "not a line format";
        QTest::newRow("line parity") << QStringList{"--line", "8X1"} << "not a line format";
        QTest::newRow("line stop bits") << QStringList{"--line", "8N3"} << "not a line format";
        QTest::newRow("flow") << QStringList{"--flow", "dtrdsr"} << "not none, rtscts or xonxoff";
        QTest::newRow("erase kind") << QStringList{"--flash", "a.hex", "--erase", "some"}
                                    << "'some' is neither pages nor all";
        QTest::newRow("flash file empty") << QStringList{"--flash="} << "file name is empty";
        QTest::newRow("no-verify alone") << QStringList{"--no-verify"} << "only with --flash";
        QTest::newRow("erase alone") << QStringList{"--erase", "all"} << "only with --flash";
        QTest::newRow("no-reset alone") << QStringList{"--no-reset"} << "only with --flash";
        QTest::newRow("address alone")
            << QStringList{"--address", "0x08000000"} << "only with --flash";
        for (const char* bad : {"0x", "0x1FFFFFFFF", "0x08g0", "-1", "4294967296", "flash"}) {
            QTest::newRow(qPrintable(QStringLiteral("address %1").arg(bad)))
                << QStringList{"--flash", "a.bin", "--address", bad} << "is not an address";
        }
        QTest::newRow("flash two ports")
            << QStringList{"--flash", "a.hex", "ttyS0", "ttyS1"} << "only one PORT";
        QTest::newRow("flash bad baud")
            << QStringList{"--flash", "a.hex", "--baud", "9"} << "is not a bit rate";
    }
    void refusesBadValuesWithExitTwo() {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        const CommandLineResult r = Parse(args);
        QCOMPARE(r.action, CommandLineResult::Action::Error);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.text.contains(says), qPrintable(r.text));
        QVERIFY(r.text.startsWith(QStringLiteral("zenta: ")));
    }

    void acceptsGoodValues() {
        CommandLineResult r = Parse({"ttyUSB0", "--baud", "921600", "--lang", "EN", "--config-dir",
                                     "rel/dir/", "-platform", "offscreen"});
        QCOMPARE(r.action, CommandLineResult::Action::Run);
        QCOMPARE(*r.options.port, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(*r.options.baudRate, 921600);
        QCOMPARE(*r.options.english, true);
        QCOMPARE(r.options.configDir, QDir::current().absoluteFilePath("rel/dir"));

        r = Parse({"/tmp/ttyZENTA0", "--baud=250000", "--lang=zh"});
        QCOMPARE(*r.options.port, QStringLiteral("/tmp/ttyZENTA0"));
        QCOMPARE(*r.options.baudRate, 250000);
        QCOMPARE(*r.options.english, false);

        r = Parse({"./pts/3"});
        QCOMPARE(*r.options.port, QDir::current().absoluteFilePath("pts/3"));

        r = Parse({});
        QCOMPARE(r.action, CommandLineResult::Action::Run);
        QVERIFY(!r.options.port && !r.options.baudRate && !r.options.english);
        QVERIFY(r.options.configDir.isEmpty());

        // Help and version win over the rest and end the program cleanly.
        QCOMPARE(Parse({"--baud", "x", "--help"}).action, CommandLineResult::Action::Help);
        r = Parse({"ttyS0", "-h"});
        QCOMPARE(r.action, CommandLineResult::Action::Help);
        QVERIFY(r.text.startsWith(QStringLiteral("Usage: zenta [options] [PORT]")));
        QVERIFY(!r.text.contains(QStringLiteral("platform")));
        QVERIFY(
            r.text.contains(QStringLiteral("Exit status of --flash: 0 done, 1 chip or file "
                                           "refused, 2 bad arguments, 3 port failure.")));
        const QString version = Parse({"--version"}).text;
        QVERIFY(version.startsWith(QStringLiteral("zenta 5.08d2\n")));
        QVERIFY(version.contains(QStringLiteral("GPL-3.0-or-later")));
    }

    void acceptsLineFlowAndFlashOptions() {
        CommandLineResult r = Parse({"ttyUSB0", "--line", "7e2", "--flow", "RTSCTS"});
        QCOMPARE(r.action, CommandLineResult::Action::Run);
        QCOMPARE(*r.options.dataBits, dbSeven);
        QCOMPARE(*r.options.parity, prEven);
        QCOMPARE(*r.options.stopBits, sbTwoStopBits);
        QCOMPARE(*r.options.flow, zenta::FlowOption::RtsCts);
        r = Parse({"--line=5S1.5", "--flow=xonxoff"});
        QCOMPARE(*r.options.dataBits, dbFive);
        QCOMPARE(*r.options.parity, prSpace);
        QCOMPARE(*r.options.stopBits, sbOne5StopBits);
        QCOMPARE(*r.options.flow, zenta::FlowOption::XonXoff);
        r = Parse({"--line", "8O1", "--flow", "none"});
        QCOMPARE(*r.options.parity, prOdd);
        QCOMPARE(*r.options.flow, zenta::FlowOption::None);
        QVERIFY(!Parse({}).options.dataBits && !Parse({}).options.flow);

        r = Parse({"--flash", "fw.hex", "ttyUSB1", "--baud", "460800", "--no-verify", "--erase",
                   "pages", "--no-reset"});
        QCOMPARE(r.action, CommandLineResult::Action::Flash);
        QCOMPARE(r.options.flash.file, QStringLiteral("fw.hex"));
        QCOMPARE(*r.options.port, QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(*r.options.baudRate, 460800);
        QVERIFY(!r.options.flash.verify && r.options.flash.erasePages && !r.options.flash.reset);
        r = Parse({"--flash", "fw.hex"});
        QVERIFY(r.options.flash.verify && !r.options.flash.erasePages && r.options.flash.reset);
        QVERIFY(!r.options.port);
        QVERIFY(!Parse({"--flash", "fw.hex", "--erase", "ALL"}).options.flash.erasePages);
        QVERIFY(!r.options.flash.address);
        // Hex with 0x, decimal without; a leading zero is not octal.
        QCOMPARE(*Parse({"--flash", "a.bin", "--address", "0X08004000"}).options.flash.address,
                 0x08004000u);
        QCOMPARE(*Parse({"--flash", "a.bin", "--address", "0134234112"}).options.flash.address,
                 134234112u);
        QCOMPARE(Parse({"--list"}).action, CommandLineResult::Action::List);
    }

    // The program itself: no display is needed to answer, a bad value never opens a window.
    void programExitsWithoutWindow() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        auto run = [&env](const QStringList& args) {
            auto p = std::make_unique<QProcess>();
            p->setProcessEnvironment(env);
            p->start(QStringLiteral(ZENTA_APP_PATH), args);
            p->waitForFinished(30000);
            return p;
        };
        auto p = run({"--version"});
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
        QVERIFY(p->readAllStandardOutput().startsWith("zenta 5.08d2\nLicense GPL-3.0-or-later"));

        p = run({"--lang", "fr"});
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 2);
        QVERIFY(p->readAllStandardOutput().isEmpty());
        QVERIFY(p->readAllStandardError().startsWith("zenta: --lang: 'fr' is not a language"));

        // Asked for a window without a display, or with one that is not there: it says so
        // and names what works without one, instead of Qt's abort.
        QTemporaryDir settings;
        env.insert(QStringLiteral("ZENTA_CONFIG_DIR"), settings.path());
        for (const char* display : {"", ":97"}) {
            if (*display) {
                env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
                env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            }
            p = run({});
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 2);
            const QByteArray said = p->readAllStandardError();
            QVERIFY2(said.startsWith("zenta: no display to show the window on"), said.constData());
            QVERIFY(said.contains("zenta --list") && said.contains("zenta --flash"));
        }
        QVERIFY(QDir(settings.path()).isEmpty());
    }

    // A copy of the program without its window module still answers on the command line,
    // and asked for a window says what is missing instead of crashing.
    void programWithoutWindowModuleSaysSo() {
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("zenta"));
        QVERIFY(QFile::copy(QStringLiteral(ZENTA_APP_PATH), copy));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("ZENTA_CONFIG_DIR"), dir.path());
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(copy, {QStringLiteral("--version")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        p.start(copy, {});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().startsWith(
            "zenta: cannot load the window: zenta-window.so is neither in " +
            QFile::encodeName(dir.path())));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("zenta5.ini"))));
    }

    // The real program started on a port, rate and folder: it opens the port at that rate
    // by itself, and the file it writes at start names the port.
    void programOpensGivenPortAndSavesItInGivenFolder() {
        QTemporaryDir dir;
        TPty pty;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("ZENTA_CONFIG_DIR"), dir.filePath(QStringLiteral("ignored")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ZENTA_APP_PATH), {QString::fromStdString(pty.SlavePath()), "--baud",
                                                 "57600", "--config-dir", dir.path()});
        const QString ini = dir.filePath(QStringLiteral("zenta5.ini"));
        const QByteArray wanted = "N80=," + QByteArray::fromStdString(pty.SlavePath()) + "\r\r\n";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ini), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(ProgramFile(ini).contains(wanted), 20000);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("ignored/zenta5.ini"))));
        // Should the port stay unconfigured, say what the program holds open.
        if (!QTest::qWaitFor([&] { return SlaveSpeed(pty.Master()) == 57600u; }, 20000)) {
            const QDir fds(QStringLiteral("/proc/%1/fd").arg(p.processId()));
            for (const QString& e : fds.entryList(QDir::NoDotAndDotDot | QDir::System)) {
                qWarning() << "program holds" << QFile::symLinkTarget(fds.filePath(e));
            }
            qWarning() << "program output" << p.readAllStandardError();
        }
        QTRY_COMPARE_WITH_TIMEOUT(SlaveSpeed(pty.Master()), 57600u, 20000);
        p.terminate();
        QVERIFY(p.waitForFinished(20000));
    }

    // A window given port, rate and language: opens that port at that rate, shows English,
    // and keeps the stored language in the file until the user changes it.
    void windowStartsOnGivenPortRateAndLanguage() {
        ProgramFolder folder;
        folder.Write(FileOf({"N100=,汉语", "N80=,/dev/ttyS7", "N81=,9600", ";end"}));
        TPty pty;
        zenta::StartOptions options;
        options.port = QString::fromStdString(pty.SlavePath());
        options.baudRate = 250000;  // not in the table: a custom rate
        options.english = true;
        InstallStartOptions(options);
        std::unique_ptr<MainWindow> form = NewWindow();

        QCOMPARE(form->connection->portBox->currentText(), *options.port);
        QCOMPARE(EnglishUI, uint8_t{1});
        QCOMPARE(form->send->sendButton->text(), QStringLiteral("SEND"));
        QCOMPARE(form->connection->customBaudEdit->text(), QStringLiteral("250000"));
        QByteArray file = folder.Read();
        QVERIFY(file.contains("N100=," + zenta::ToGb18030(QStringLiteral("汉语"))));
        QVERIFY(file.contains("N80=," + QByteArray::fromStdString(pty.SlavePath())));

        panel_widgets::InvokeClick(form->connection->openButton);
        QVERIFY(form->port.Connected());
        QCOMPARE(SlaveSpeed(pty.Master()), 250000u);

        // A user's switch of the language is saved like any other choice.
        form->englishCheck->click();
        QVERIFY(!form->englishCheck->isChecked());
        form->englishCheck->click();
        QVERIFY(folder.Read().contains("N100=,English"));

        // The options served one window; the next starts from its settings alone.
        form.reset();
        form = NewWindow();
        QCOMPARE(form->port.Port(), pty.SlavePath());
        QCOMPARE(form->connection->customBaudEdit->isVisible(), false);
    }

    void windowTakesTableRate() {
        ProgramFolder folder;
        TPty pty;
        zenta::StartOptions options;
        options.port = QString::fromStdString(pty.SlavePath());
        options.baudRate = 9600;
        InstallStartOptions(options);
        EnglishUI = 0;
        StopFlag = 0;
        // The start-up tick runs: it opens the given port by itself.
        auto form = std::make_unique<MainWindow>();
        QCOMPARE(form->connection->baudBox->currentText(), QStringLiteral("9600"));
        QTRY_VERIFY_WITH_TIMEOUT(form->port.Connected(), 20000);
        QCOMPARE(SlaveSpeed(pty.Master()), 9600u);
        QVERIFY(folder.Read().contains("N81=,9600"));
    }

  private:
    static QByteArray ProgramFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_command_line.moc"
