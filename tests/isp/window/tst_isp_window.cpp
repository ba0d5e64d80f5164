// The programmer page in a real window against the simulated bootloader.
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/IspSchematic.h"
#include "app/StatusPanels.h"
#include "app/support/E2eDriver.h"
#include "isp/kit/IspHarness.h"
#include "serial/ctl/CPortCtl.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

class IspWindowTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<TForm1> form_;
    QTemporaryDir dir_;

    QString WriteHex(const QString& name, std::size_t bytes) {
        std::vector<std::uint8_t> image(bytes);
        for (std::size_t i = 0; i < bytes; ++i) {
            image[i] = static_cast<std::uint8_t>(i * 13 + 1);
        }
        QFile f(dir_.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray::fromStdString(isp_test::HexText(image)));
        return f.fileName();
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_ = RecordingPrompts();
        form_ = std::make_unique<TForm1>();
        form_->getNEWSTimer->stop();
        form_->show();
        EnglishUI = 1;
    }
    void cleanup() {
        form_.reset();
        fixture_.Stop();
    }

    // Clear pressed again and again during the run loses no reply.
    void flashesThroughTheWindowWhileTheUserClears() {
        e2e::Devsim sim;
        const QString dump = dir_.filePath("flash.bin");
        QVERIFY(sim.Start({"bootloader", "--line-timing", "--dump", dump}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        form_->ComComboBox2->setCurrentIndex(br57600);
        form_->ComComboBox2Change(form_->ComComboBox2);
        TForm1::SetChecked(form_->timeoutCRLF, true);
        form_->Edit2->setText(WriteHex("img.hex", 3000));
        QVERIFY(form_->isp255_stm32->isEnabled());

        int clears = 0;
        bool sawRunning = false;
        QTimer clear;
        connect(&clear, &QTimer::timeout, this, [&] {
            sawRunning |= form_->ispRunning && !form_->isp255_stm32->isEnabled();
            if (form_->ispRunning) {
                ++clears;
                QTest::mouseClick(form_->Button1, Qt::LeftButton);
            }
        });
        clear.start(3);
        QTest::mouseClick(form_->isp255_stm32, Qt::LeftButton);
        clear.stop();

        const QString text = form_->Memo->toPlainText();
        QVERIFY2(text.contains("User's Program is Running!"), qPrintable(text.right(400)));
        QVERIFY(clears > 0);
        QVERIFY(sawRunning);
        QVERIFY(!form_->ispRunning);
        QVERIFY(form_->isp255_stm32->isEnabled());
        QVERIFY(form_->Button_Open->isEnabled());
        QVERIFY(form_->ProgressBar1->isHidden());
        // However fast the blocks went, the status bar ends on the last one.
        QCOMPARE(form_->StatusBar1->PanelText(0), QStringLiteral("File:2816"));
        QCOMPARE(form_->ComComboBox2->currentIndex(), int(br57600));
        QCOMPARE(form_->ComPort.BaudRate(), br57600);
        QCOMPARE(form_->ComComboBox5->currentIndex(), 0);
        QVERIFY(form_->timeoutCRLF->isChecked());
        QVERIFY(!form_->CheckBox2->isChecked());
        QVERIFY(form_->ComPort.Connected());
        QVERIFY(prompts_.messages.isEmpty());

        sim.Stop();
        const QByteArray flash = FileBytes(dump);
        std::vector<std::uint8_t> image(3000);
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<std::uint8_t>(i * 13 + 1);
        }
        QVERIFY(flash.size() >= 3072);
        QVERIFY(std::equal(image.begin(), image.end(),
                           reinterpret_cast<const std::uint8_t*>(flash.constData())));
    }

    void stopButtonEndsTheBlockLoop() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"bootloader", "--line-timing", "--latency-ms", "2"}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        form_->writelow->setChecked(true);
        form_->Edit2->setText(WriteHex("big.hex", 32 * 1024));
        // The programmer page as a user sees it during a run; saved on request.
        form_->Button5Click(form_->Button5);
        form_->PageControl1->setCurrentWidget(form_->TabSheet2);
        const QString shot = qEnvironmentVariable("ZENTA_ISP_SCREENSHOT");
        QTimer stop;
        bool schematicWhole = false;
        connect(&stop, &QTimer::timeout, this, [&] {
            if (form_->ProgressBar1->isVisible() && form_->ProgressBar1->value() > 40) {
                stop.stop();
                // The progress bar takes room from the page; the drawing shrinks, uncut.
                const QRect drawing = form_->Image1->geometry();
                schematicWhole = QRect(QPoint(0, 0), form_->TabSheet2->size()).contains(drawing);
                if (!shot.isEmpty()) {
                    form_->screen()->grabWindow(form_->winId()).save(shot);
                }
                QTest::mouseClick(form_->Button8, Qt::LeftButton);
            }
        });
        stop.start(5);
        QTest::mouseClick(form_->isp255_stm32, Qt::LeftButton);
        const QString text = form_->Memo->toPlainText();
        QVERIFY2(text.endsWith("\nUser abort!\n"), qPrintable(text.right(200)));
        QVERIFY(schematicWhole);
        QCOMPARE(StopFlag, uint8_t{0});
        QVERIFY(form_->isp255_stm32->isEnabled());
        QCOMPARE(form_->ComPort.BaudRate(), br115200);
    }

    void closedPortAndMissingFile() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"bootloader"}));
        QVERIFY(e2e::OpenThroughWindow(*form_, sim.link));
        form_->ComComboBox2->setCurrentIndex(br9600);
        form_->ComComboBox2Change(form_->ComComboBox2);
        TForm1::InvokeClick(form_->Button_Open);  // closed before the click
        QVERIFY(!form_->ComPort.Connected());

        form_->Edit2->setText(WriteHex("small.hex", 16));
        form_->isp255_stm32Click(form_->isp255_stm32);
        QVERIFY(form_->Memo->toPlainText().contains("User's Program is Running!"));
        QVERIFY(!form_->ComPort.Connected());
        QCOMPARE(form_->ComComboBox2->currentIndex(), int(br9600));

        // A missing file: the box, nothing sent, the port the run opened stays open.
        EnglishUI = 0;
        form_->Edit2->setText(dir_.filePath("missing.hex"));
        form_->isp255_stm32Click(form_->isp255_stm32);
        QCOMPARE(prompts_.messages, QStringList{"请点左边的\"打开文件\"选择一个HEX文件."});
        QVERIFY(form_->ComPort.Connected());
        QVERIFY(form_->isp255_stm32->isEnabled());
        QVERIFY(!form_->Button4->isEnabled());
    }
};

QTEST_MAIN(IspWindowTest)
#include "tst_isp_window.moc"
