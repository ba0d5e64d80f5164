// The options beyond the original program, through the live window: display encoding
// for both directions, the plotter fed from the port, the programmer's options and the
// command line's line format, and where they are kept (zenta-ext.ini, never zenta5.ini).
#include <QCheckBox>
#include <QSettings>
#include <QtTest>

#include "app/ExtSettings.h"
#include "app/StartOptions.h"
#include "app/support/E2eDriver.h"
#include "app/support/SettingsTestSupport.h"
#include "plot/qt/PlotWindow.h"
#include "serial/ctl/CPortCtl.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace {

class OptionPrompts : public RecordingPrompts {
  public:
    std::optional<zenta::DisplayOptions> options;
    std::optional<zenta::DisplayOptions> ChooseDisplayOptions(const zenta::DisplayOptions&,
                                                              bool) override {
        return options;
    }
};

}  // namespace

class WindowOptionsTest : public QObject {
    Q_OBJECT

  private:
    OptionPrompts prompts_;
    TWindowFixture fixture_;

    static void Receive(MainWindow& w, TPty& pty, const std::string& bytes) {
        const int64_t before = w.received.rxCount;
        QVERIFY(pty.Send(bytes));
        QTRY_COMPARE(w.received.rxCount, before + static_cast<int64_t>(bytes.size()));
    }

  private slots:
    void init() { fixture_.Start(prompts_); }
    void cleanup() { fixture_.Stop(); }

    void utf8ShowsAndSendsAndIsKeptInTheSecondFile() {
        TPty pty;
        {
            auto w = std::make_unique<MainWindow>();
            w->startTimer->stop();
            QVERIFY(e2e::OpenThroughWindow(*w, QString::fromStdString(pty.SlavePath())));
            zenta::DisplayOptions utf8;
            utf8.encoding = zenta::TextEncoding::Utf8;
            prompts_.options = utf8;
            w->optionsButton->click();
            // A character split across deliveries still shows whole.
            Receive(*w, pty, "25.3\xC2");
            Receive(*w, pty,
                    "\xB0"
                    "C\n");
            QTRY_VERIFY(w->receive->view->toPlainText().contains(QStringLiteral("25.3°C")));
            w->send->lineEdit->setText(QStringLiteral("°"));
            w->send->sendButton->click();
            QCOMPARE(ReadUntilQuiet(pty.Master(), 2), std::string("\xC2\xB0"));
            w->close();
        }
        QSettings ext(QDir(fixture_.SettingsPath()).filePath("zenta-ext.ini"),
                      QSettings::IniFormat);
        QCOMPARE(ext.value("receive/encoding").toString(), QStringLiteral("UTF-8"));
        const QByteArray ini = FileBytes(QDir(fixture_.SettingsPath()).filePath("zenta5.ini"));
        QVERIFY(!ini.isEmpty());
        QVERIFY(!ini.contains("encoding") && !ini.contains("UTF"));

        // The next window starts in UTF-8.
        auto again = std::make_unique<MainWindow>();
        again->startTimer->stop();
        QCOMPARE(again->receive->Display().encoding, zenta::TextEncoding::Utf8);
        QCOMPARE(again->received.encoding, zenta::TextEncoding::Utf8);
    }

    void plotterTakesTheNumbersOfReceivedLines() {
        TPty pty;
        auto w = std::make_unique<MainWindow>();
        w->startTimer->stop();
        QVERIFY(e2e::OpenThroughWindow(*w, QString::fromStdString(pty.SlavePath())));
        panel_widgets::SetChecked(w->receive->hexDisplayCheck, true);  // any display mode
        Receive(*w, pty, "x=1.5 y=-2\r\n");
        Receive(*w, pty, "x=2.5 y=-3\r\n");
        w->plotButton->click();
        QVERIFY(w->plot->isVisible());
        QCOMPARE(w->plot->seriesNames(), (QStringList{"x", "y"}));
        QCOMPARE(w->plot->lastValue(0).value_or(0), 2.5);
        QCOMPARE(w->plot->lastValue(1).value_or(0), -3.0);
    }

    void plotterStartsAfreshWhenThePortIsClosedAndOpened() {
        TPty pty;
        auto w = std::make_unique<MainWindow>();
        w->startTimer->stop();
        const QString path = QString::fromStdString(pty.SlavePath());
        QVERIFY(e2e::OpenThroughWindow(*w, path));
        Receive(*w, pty, "v=1\n");
        Receive(*w, pty, "v=4");  // the line is cut by the close
        panel_widgets::InvokeClick(w->connection->openButton);
        QVERIFY(!w->port.Connected());
        QVERIFY(e2e::OpenThroughWindow(*w, path));
        Receive(*w, pty, "56\n");
        // Not "v=456": the bytes after the open begin a line of their own.
        QCOMPARE(w->plot->seriesNames().size(), 2);
        QCOMPARE(w->plot->lastValue(0).value_or(0), 1.0);
        QCOMPARE(w->plot->lastValue(1).value_or(0), 56.0);
    }

    void programmerOptionsAreKept() {
        {
            auto w = std::make_unique<MainWindow>();
            w->startTimer->stop();
            QVERIFY(w->programmer->verifyCheck->isChecked());
            QVERIFY(!w->programmer->erasePagesCheck->isChecked());
            w->programmer->verifyCheck->setChecked(false);
            w->programmer->erasePagesCheck->setChecked(true);
            w->close();
        }
        auto w = std::make_unique<MainWindow>();
        w->startTimer->stop();
        QVERIFY(!w->programmer->verifyCheck->isChecked());
        QVERIFY(w->programmer->erasePagesCheck->isChecked());
    }

    void commandLineLineFormatReachesThePort() {
        zenta::StartOptions options;
        options.dataBits = dbSeven;
        options.parity = prEven;
        options.stopBits = sbTwoStopBits;
        options.flow = zenta::FlowOption::RtsCts;
        InstallStartOptions(options);
        auto w = std::make_unique<MainWindow>();
        w->startTimer->stop();
        QCOMPARE(w->port.DataBits(), dbSeven);
        QCOMPARE(w->port.Parity().Bits(), prEven);
        QCOMPARE(w->port.StopBits(), sbTwoStopBits);
        QCOMPARE(w->port.FlowControl().FlowControl(), fcHardware);
        QCOMPARE(w->connection->dataBitsBox->currentIndex(), static_cast<int>(dbSeven));
    }
};

QTEST_MAIN(WindowOptionsTest)
#include "tst_window_options.moc"
