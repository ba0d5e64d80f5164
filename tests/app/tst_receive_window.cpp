// Received bytes through a real window on a pseudo-terminal: text and HEX display,
// double-byte hold-back, packet split, capture, Clear, the refresh tick and the font.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/StatusPanels.h"
#include "app/support/E2eDriver.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

using namespace std::string_literals;

namespace {

class FontPrompts : public RecordingPrompts {
  public:
    std::optional<QFont> answer;
    std::optional<QFont> ChooseFont(const QFont&) override { return answer; }
};

const QRegularExpression kStamp(QStringLiteral("\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]"));

}  // namespace

class ReceiveWindowTest : public QObject {
    Q_OBJECT

  private:
    FontPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<TPty> pty_;
    uint32_t tick_ = 0;

    void Open() {
        QVERIFY(e2e::OpenThroughWindow(*form_, QString::fromStdString(pty_->SlavePath())));
    }
    // Sends bytes from the device and waits until the window has taken them.
    void Receive(const std::string& bytes) {
        const int64_t before = form_->Rx.rxCount;
        QVERIFY(pty_->Send(bytes));
        QTRY_COMPARE(form_->Rx.rxCount, before + static_cast<int64_t>(bytes.size()));
    }
    QString Text() const { return form_->Memo->toPlainText(); }
    QString Stamped() const { return Text().replace(kStamp, QStringLiteral("[T]")); }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_.messages.clear();
        prompts_.answer.reset();
        pty_ = std::make_unique<TPty>();
        form_ = std::make_unique<TForm1>();
        form_->getNEWSTimer->stop();
        form_->show();
        Open();
    }
    void cleanup() {
        form_.reset();
        pty_.reset();
        fixture_.Stop();
    }

    void textModeShowsControlBytesAndHoldsBackSplitCharacters() {
        Receive("A\0B\r\n"s);
        QCOMPARE(Text(), QStringLiteral("A\\0B\n"));
        // A lead byte alone waits for its trail byte.
        Receive("\xB0");
        QCOMPARE(Text(), QStringLiteral("A\\0B\n"));
        Receive("\xA1");
        QCOMPARE(Text(), QStringLiteral("A\\0B\n啊"));
        Receive("A\xB0\xA1");
        QCOMPARE(Text(), QStringLiteral("A\\0B\n啊A啊"));
        Receive("C\xB0");
        Receive("\xA1");
        QVERIFY(Text().endsWith(QStringLiteral("A啊C啊")));
        QVERIFY(prompts_.messages.isEmpty());
    }

    void hexDisplaySwitchShowsEachFormSinceTheLastClear() {
        Receive("0");
        TForm1::SetChecked(form_->CheckBox5, true);
        QCOMPARE(Text(), QStringLiteral("30 "));
        Receive("12");
        QCOMPARE(Text(), QStringLiteral("30 31 32 "));
        QTest::mouseClick(form_->CheckBox5, Qt::LeftButton);
        QCOMPARE(Text(), QStringLiteral("012"));
        QTest::mouseClick(form_->CheckBox5, Qt::LeftButton);
        QCOMPARE(Text(), QStringLiteral("30 31 32 "));

        QTest::mouseClick(form_->Button1, Qt::LeftButton);
        QCOMPARE(Text(), QString());
        QVERIFY(form_->Rx.rxRawAll.empty() && form_->Rx.rxTextAll.empty());
        Receive("\x01");
        QCOMPARE(Text(), QStringLiteral("01 "));
    }

    void packetSplitFollowsTheGapBetweenEvents() {
        form_->RxTickSource = [this] { return tick_; };
        TForm1::SetChecked(form_->timeoutCRLF, true);
        form_->timeoutText->setText(QStringLiteral("20"));
        tick_ = 1000;
        Receive("a");
        tick_ += 5;
        Receive("b");
        tick_ += 50;
        Receive("c");
        tick_ += 20;  // not more than the timeout
        Receive("d");
        QCOMPARE(Stamped(), QStringLiteral("\n[T]收←◆ab\n[T]收←◆cd"));
        // A timeout that is no number counts as 1 ms.
        form_->timeoutText->setText(QStringLiteral("abc"));
        EnglishUI = 1;
        tick_ += 1;
        Receive("e");
        tick_ += 2;
        Receive("f");
        QVERIFY(Stamped().endsWith(QStringLiteral("cde\n[T]IN←◆f")));
        // Headers never reach the accumulators.
        QCOMPARE(form_->Rx.rxTextAll, std::string("abcdef"));
    }

    void firstPacketAfterStartGetsItsHeader() {
        TForm1::SetChecked(form_->timeoutCRLF, true);
        form_->timeoutText->setText(QStringLiteral("100000"));
        Receive("x");
        QCOMPARE(Stamped(), QStringLiteral("\n[T]收←◆x"));
    }

    void captureAppendsWhileCheckedAndFailsQuietly() {
        QTemporaryDir dir;
        const QString path = dir.filePath("cap.bin");
        TForm1::ProgramFolder = dir.path();
        TForm1::SetChecked(form_->CheckBox19, true);
        form_->captureFileName = path;
        Receive("one");
        Receive("\x00\xFF"s);
        TForm1::SetChecked(form_->CheckBox19, false);
        Receive("off");
        TForm1::SetChecked(form_->CheckBox19, true);
        form_->captureFileName = path;
        TForm1::ProgramFolder.clear();
        prompts_.messages.clear();
        Receive("two");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("one\x00\xFFtwo", 8));
        // An unwritable place: reception goes on, no message.
        form_->captureFileName = dir.filePath("no/such/dir/cap.bin");
        Receive("lost");
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(Text().endsWith(QStringLiteral("offtwolost")));
    }

    void longChunksRunTheProgressBarAndHideIt() {
        QSignalSpy values(form_->ProgressBar1, &QProgressBar::valueChanged);
        // Written while the window is not serving events: the engine queues it all and
        // hands it over in one event.
        const std::string big(20000, 'z');
        QVERIFY(pty_->Send(big));
        QTRY_COMPARE(form_->Rx.rxCount, int64_t{20000});
        QVERIFY(!values.isEmpty());
        QTRY_VERIFY(form_->ProgressBar1->isHidden());
        QVERIFY(form_->ProgressBar1->updatesEnabled());
    }

    void refreshTickShowsCountsColoursAndHighlights() {
        Receive("abc");
        form_->Rx.txCount = 7;
        form_->Rfreues100msTimer(nullptr);
        QCOMPARE(form_->StatusBar1->PanelText(2), QStringLiteral("R:3"));
        QCOMPARE(form_->StatusBar1->PanelText(1), QStringLiteral("S:7"));
        QCOMPARE(form_->StatusBar1->PanelText(3),
                 QString::fromStdString(pty_->SlavePath()) +
                     QStringLiteral(" 已打开  115200bps,8,1,None,None"));
        QVERIFY(!form_->StatusBar1->Color().isValid());

        const std::pair<int64_t, QColor> steps[] = {{200001, QColor(0xFF, 0xEB, 0xCD)},
                                                    {500001, QColor(0xFF, 0xDA, 0xB9)},
                                                    {1000001, QColor(0xFF, 0xA0, 0x7A)},
                                                    {2000001, QColor(0xFF, 0x63, 0x47)}};
        for (const auto& [count, colour] : steps) {
            form_->Rx.rxCount = count;
            form_->Rfreues100msTimer(nullptr);
            QCOMPARE(form_->StatusBar1->Color(), colour);
        }
        QTest::mouseClick(form_->Button1, Qt::LeftButton);
        form_->Rfreues100msTimer(nullptr);
        QCOMPARE(form_->StatusBar1->PanelText(2), QStringLiteral("R:0"));
        QCOMPARE(form_->StatusBar1->PanelText(1), QStringLiteral("S:0"));
        QVERIFY(!form_->StatusBar1->Color().isValid());

        const auto yellow = [](QWidget* w) { return w->styleSheet().contains("FFFF00"); };
        TForm1::SetChecked(form_->CheckBox5, true);
        form_->NewLine_CB->setChecked(true);
        form_->verifyBox->setCurrentIndex(2);
        form_->Rfreues100msTimer(nullptr);
        QVERIFY(yellow(form_->CheckBox5) && yellow(form_->NewLine_CB));
        QVERIFY(yellow(form_->verifyBox) && yellow(form_->Label10));
        QVERIFY(!yellow(form_->CheckBox4) && !yellow(form_->timeoutCRLF));
        // The line-end box only matters in text mode.
        TForm1::SetChecked(form_->CheckBox4, true);
        form_->verifyBox->setCurrentIndex(0);
        form_->Rfreues100msTimer(nullptr);
        QVERIFY(yellow(form_->CheckBox4) && !yellow(form_->NewLine_CB));
        QVERIFY(!yellow(form_->verifyBox) && !yellow(form_->Label10));
    }

    void fontDialogSetsTheFontAndSaves() {
        QSignalSpy saves(form_->saveconfig, &QPushButton::clicked);
        const QFont before = form_->Memo->font();
        QTest::mouseClick(form_->SpeedButton2, Qt::LeftButton);
        QCOMPARE(form_->Memo->font(), before);
        QFont chosen(QStringLiteral("Noto Sans Mono CJK SC"));
        chosen.setPointSize(17);
        prompts_.answer = chosen;
        QTest::mouseClick(form_->SpeedButton2, Qt::LeftButton);
        QCOMPARE(form_->Memo->font().pointSize(), 17);
        QCOMPARE(saves.count(), 2);
    }
};

QTEST_MAIN(ReceiveWindowTest)
#include "tst_receive_window.moc"
