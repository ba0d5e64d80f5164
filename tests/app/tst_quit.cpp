// The real program ended from outside: by a signal, or by its window being destroyed on
// a real X server. Each way it saves its settings and exits.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {

QString Program() {
    return QStringLiteral(ZENTA_APP_PATH);
}

// The settings file exists once the start-up has written it. Looked for every
// millisecond, so a signal can come while the window is still being built.
bool WaitForFile(const QString& path, int ms) {
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(path) && t.elapsed() < ms) {
        QTest::qWait(1);
    }
    return QFile::exists(path);
}

}  // namespace

class QuitTest : public QObject {
    Q_OBJECT

  private slots:
    void signalsSaveAndExit_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void signalsSaveAndExit() {
        QFETCH(int, signal);
        QTemporaryDir dir;
        const QString ini = QDir(dir.path()).filePath(QStringLiteral("zenta5.ini"));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(Program(), {"--config-dir", dir.path(), "--baud", "57600"});
        QVERIFY(p.waitForStarted());
        QVERIFY(WaitForFile(ini, 20000));
        QFile::remove(ini);
        QVERIFY(!QFile::exists(ini));
        ::kill(static_cast<pid_t>(p.processId()), signal);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        // The final save wrote the file again, with the rate given at start.
        QVERIFY(QFile::exists(ini));
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("N81=,57600"));
    }

    // A window destroyed by another program (no close request) still ends the process.
    void destroyedWindowSavesAndExits() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xvfb.isEmpty() || xdotool.isEmpty()) {
            QSKIP("needs Xvfb and xdotool");
        }
        QProcess server;
        server.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        QVERIFY(server.waitForStarted());
        QVERIFY(server.waitForReadyRead(20000));
        const QString display =
            QStringLiteral(":") + QString::fromLatin1(server.readLine().trimmed());

        QTemporaryDir dir;
        const QString ini = QDir(dir.path()).filePath(QStringLiteral("zenta5.ini"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(Program(), {"--config-dir", dir.path()});
        QVERIFY(p.waitForStarted());
        QVERIFY(WaitForFile(ini, 20000));

        QProcess search;
        search.setProcessEnvironment(env);
        search.start(xdotool, {"search", "--sync", "--onlyvisible", "--name", "^ZENTA"});
        QVERIFY(search.waitForFinished(20000));
        const QByteArray id = search.readAllStandardOutput().split('\n').value(0).trimmed();
        QVERIFY(!id.isEmpty());
        QFile::remove(ini);
        QProcess close;
        close.setProcessEnvironment(env);
        close.start(xdotool, {"windowclose", QString::fromLatin1(id)});
        QVERIFY(close.waitForFinished(20000));

        const bool ended = p.waitForFinished(20000);
        if (!ended) {
            p.kill();
            p.waitForFinished();
        }
        server.terminate();
        server.waitForFinished();
        QVERIFY(ended);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY(QFile::exists(ini));
    }
};

QTEST_GUILESS_MAIN(QuitTest)
#include "tst_quit.moc"
