// A file sent to the device simulator in echo mode comes back byte for byte into the
// capture file, in both display modes.
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <random>

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

using namespace zenta::test;

class FilesE2eTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<MainWindow> form_;
    QTemporaryDir dir_;

    // Sends `bytes` random bytes through devsim's echo with capture on; returns the
    // capture file's contents and the file sent.
    void EchoFile(qint64 bytes, bool hex) {
        QByteArray data(bytes, Qt::Uninitialized);
        std::mt19937 rng(static_cast<unsigned>(bytes));
        for (char& c : data) {
            c = static_cast<char>(rng());
        }
        const QString path = dir_.filePath(hex ? "hex.bin" : "text.bin");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
        f.close();

        e2e::Devsim sim;
        QVERIFY(sim.Start({QStringLiteral("echo"), QStringLiteral("--quiet")}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        panel_widgets::SetChecked(form_->receive->hexDisplayCheck, hex);
        panel_widgets::SetChecked(form_->receive->captureCheck, true);
        const QString capture = form_->receive->captureFileName;
        form_->files->pathEdit->setText(path);
        form_->files->sendFileButton->click();
        QVERIFY(QTest::qWaitFor([&] { return !form_->FileSendRunning(); }, 120000));
        QVERIFY(form_->receive->view->toPlainText().endsWith(QStringLiteral("发送完毕！")));
        QVERIFY(e2e::WaitFor([&] { return QFileInfo(capture).size() >= bytes; }, 120000));
        // Nothing more trickles in after the whole file.
        QTest::qWait(200);
        panel_widgets::SetChecked(form_->receive->captureCheck, false);
        QFile got(capture);
        QVERIFY(got.open(QIODevice::ReadOnly));
        const QByteArray back = got.readAll();
        QCOMPARE(back.size(), data.size());
        QVERIFY(back == data);
        QCOMPARE(form_->received.txCount, bytes);
        QCOMPARE(form_->received.rxCount, bytes);
        panel_widgets::InvokeClick(form_->connection->openButton);
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        zenta::ProgramFolderOverride = dir_.path();
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
        form_->show();
    }
    void cleanup() {
        form_.reset();
        fixture_.Stop();
    }

    void fourMegabytesComeBackWholeInTextMode() { EchoFile(qint64{4} << 20, false); }
    void aMegabyteComesBackWholeInHexMode() { EchoFile(qint64{1} << 20, true); }
};

QTEST_MAIN(FilesE2eTest)
#include "tst_files_e2e.moc"
