// The whole receive road against the device simulator: a long flat-out stream into a
// real window with capture on, unplugging during a timed send, and closing the window
// while data still pours in.
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
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
#include "datapath/ByteForms.h"
#include "datapath/qt/ReceiveView.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZENTA_E2E_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZENTA_E2E_SANITIZED 1
#endif
#endif

// 64 MiB normally; sanitizer builds are several times slower, so they stream less.
// ZENTA_E2E_BYTES overrides both.
qint64 StreamBytes() {
    const qint64 env = qEnvironmentVariableIntValue("ZENTA_E2E_BYTES");
    if (env > 0) {
        return env;
    }
#ifdef ZENTA_E2E_SANITIZED
    return qint64{12} << 20;
#else
    return qint64{64} << 20;
#endif
}

}  // namespace

class E2eStreamTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<MainWindow> form_;
    QTemporaryDir dir_;

    void StreamAndCheck(bool hex) {
        const qint64 bytes = StreamBytes();
        const QString capture = dir_.filePath(hex ? "hex.bin" : "text.bin");
        const e2e::StreamResult r =
            e2e::StreamThroughWindow(*form_, bytes, hex, capture, 10 * 60 * 1000);
        QVERIFY(r.opened);
        QVERIFY2(r.complete, qPrintable(QString("captured %1 of %2").arg(r.captured).arg(bytes)));
        QCOMPARE(r.captured, bytes);

        // The capture holds exactly what devsim sent, in order.
        uint32_t sentCrc = 0;
        QCOMPARE(e2e::Devsim::SentBytes(r.devsimOutput, &sentCrc), bytes);
        const QByteArray data = FileBytes(capture);
        e2e::Crc32 crc;
        crc.Update(data.constData(), static_cast<std::size_t>(data.size()));
        QCOMPARE(crc.Value(), sentCrc);

        // Trims kept the newest bytes; the count is every byte of the session.
        const zenta::ReceiveState& rx = form_->received;
        QCOMPARE(rx.rxCount, bytes);
        QVERIFY(!rx.rxRawAll.empty() &&
                rx.rxRawAll.size() <= static_cast<std::size_t>(zenta::ReceiveState::kTrimAbove));
        QVERIFY(data.endsWith(QByteArray::fromStdString(rx.rxRawAll)));
        QCOMPARE(rx.HexAll(), zenta::BytesToHex(rx.rxRawAll));
        // The window shows no more than the untrimmed rest, and in HEX mode its end.
        QVERIFY(form_->receive->view->documentLength() <=
                3 * zenta::ReceiveState::kTrimAbove + 100);
        if (hex) {
            const std::string tail = zenta::BytesToHex(rx.rxRawAll.substr(rx.rxRawAll.size() - 64));
            QVERIFY(form_->receive->view->toPlainText().endsWith(QString::fromStdString(tail)));
        }
        QTRY_VERIFY(form_->progressBar->isHidden());
        QVERIFY(prompts_.messages.isEmpty());

        // Still a working window afterwards.
        QTest::mouseClick(form_->receive->clearButton, Qt::LeftButton);
        QCOMPARE(form_->received.rxCount, int64_t{0});
        QCOMPARE(form_->receive->view->documentLength(), qsizetype{0});
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_ = RecordingPrompts();
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
        form_->show();
    }
    void cleanup() {
        form_.reset();
        fixture_.Stop();
    }

    void longStreamInTextModeLosesNothing() { StreamAndCheck(false); }
    void longStreamInHexModeLosesNothing() { StreamAndCheck(true); }

    void unplugDuringTimedSendStopsItAndWaitsForTheDevice() {
        EnglishUI = 1;
        auto sim = std::make_unique<e2e::Devsim>();
        QVERIFY(sim->Start({QStringLiteral("echo")}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim->link));
        form_->send->lineEdit->setText(QStringLiteral("ping"));
        form_->send->intervalEdit->setText(QStringLiteral("20"));
        panel_widgets::SetChecked(form_->send->timedSendCheck, true);
        QVERIFY(form_->send->timedSendTimer->isActive());
        QTRY_VERIFY(form_->received.rxCount >= 8);  // two echoes came back

        // The adapter goes away: its pseudo-terminal closes under the open port. Whether
        // the engine or a failed timed write notices first, the outcome is the same.
        sim->Kill();
        QTRY_VERIFY_WITH_TIMEOUT(!form_->send->timedSendCheck->isChecked(), 10000);
        QVERIFY(!form_->send->timedSendTimer->isActive());
        QCOMPARE(StopFlag, uint8_t{1});
        QTRY_VERIFY(form_->connection->WaitingForDevice());
        QVERIFY(!form_->port.Connected());
        QVERIFY(!form_->send->sendButton->isEnabled());
        QVERIFY(!form_->files->sendFileButton->isEnabled());

        e2e::Devsim back;
        back.link = sim->link;
        QVERIFY(back.Start({QStringLiteral("echo")}));
        QTRY_VERIFY_WITH_TIMEOUT(form_->port.Connected(), 10000);
        QVERIFY(form_->send->sendButton->isEnabled());
    }

    void closingTheWindowDuringAStreamIsSafe() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({QStringLiteral("stream"), QStringLiteral("--bytes"),
                           QStringLiteral("256M"), QStringLiteral("--wait-open")}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        QTRY_VERIFY(form_->received.rxCount > 1000000);
        // The event thread is still delivering when the window and its dispatcher go.
        form_.reset();
        QVERIFY(sim.Finish(20000).contains(QStringLiteral("closed")));
    }
};

QTEST_MAIN(E2eStreamTest)
#include "tst_e2e_stream.moc"
