// The chart through a real window: received bytes as points, signedness, paging with
// the chart's buttons, real-time refresh from the refresh tick, and a chart that keeps
// to the raw bytes after a preview or a clear.
#include <QCheckBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/support/E2eDriver.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

class ChartTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<TPty> pty_;

    void Receive(const std::string& bytes) {
        const int64_t before = form_->Rx.rxCount;
        QVERIFY(pty_->Send(bytes));
        QTRY_COMPARE(form_->Rx.rxCount, before + static_cast<int64_t>(bytes.size()));
    }
    QString Caption() const { return form_->SpeedButton1->text(); }
    QList<int> Values() const {
        QList<int> v;
        const QList<QPointF> points = form_->Series1->points();
        for (int i = 0; i < points.size(); ++i) {
            if (points[i].x() != i + 1) {
                return {};
            }
            v << static_cast<int>(points[i].y());
        }
        return v;
    }
    // One page of bytes whose values say which page they are on.
    static std::string Pages(int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i) {
            s.push_back(static_cast<char>(i / 500 + 1));
        }
        return s;
    }
    QValueAxis* ValueAxis() const {
        for (QAbstractAxis* a : form_->Series1->attachedAxes()) {
            if (a->orientation() == Qt::Vertical) {
                return qobject_cast<QValueAxis*>(a);
            }
        }
        return nullptr;
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        pty_ = std::make_unique<TPty>();
        form_ = std::make_unique<TForm1>();
        form_->getNEWSTimer->stop();
        form_->show();
        QVERIFY(e2e::OpenThroughWindow(*form_, QString::fromStdString(pty_->SlavePath())));
    }
    void cleanup() {
        form_.reset();
        pty_.reset();
        fixture_.Stop();
    }

    void bytesBecomePointsUnsignedOrSigned() {
        form_->BitBtn1->click();
        QCOMPARE(Caption(), QStringLiteral("0 - 0"));
        QCOMPARE(form_->Series1->count(), 0);
        Receive(std::string("\x00\x7F\x80\xFF", 4));
        // Reception alone does not draw.
        QCOMPARE(form_->Series1->count(), 0);
        form_->BitBtn1->click();
        QCOMPARE(Caption(), QStringLiteral("0 - 4"));
        QCOMPARE(Values(), (QList<int>{0, 127, 128, 255}));
        QCOMPARE(ValueAxis()->max(), 255.0);
        TForm1::SetChecked(form_->CheckBox13, true);
        QCOMPARE(Values(), (QList<int>{0, 127, -128, -1}));
        QCOMPARE(ValueAxis()->min(), -128.0);
        QCOMPARE(form_->Series1->color(), QColor(Qt::red));
    }

    void pageButtonsStepThroughTheData() {
        Receive(Pages(1200));
        form_->BitBtn1->click();
        QCOMPARE(Caption(), QStringLiteral("0 - 500"));
        QCOMPARE(Values(), QList<int>(500, 1));
        form_->BitBtn3->click();
        QCOMPARE(Caption(), QStringLiteral("500 - 1000"));
        QCOMPARE(Values(), QList<int>(500, 2));
        form_->BitBtn3->click();
        QCOMPARE(Caption(), QStringLiteral("1000 - 1200"));
        QCOMPARE(Values(), QList<int>(200, 3));
        form_->BitBtn3->click();
        QCOMPARE(Caption(), QStringLiteral("1000 - 1200"));
        for (int i = 0; i < 4; ++i) {
            form_->BitBtn2->click();
        }
        QCOMPARE(Caption(), QStringLiteral("0 - 500"));
        QCOMPARE(form_->chartPage, int64_t{0});
    }

    void realTimeFollowsTheNewestBytesOnTheTick() {
        TForm1::SetChecked(form_->CheckBox14, true);
        QVERIFY(form_->BitBtn2->isHidden() && form_->BitBtn3->isHidden());
        Receive(Pages(5000));
        for (int i = 0; i < 10; ++i) {
            form_->Rfreues100msTimer(nullptr);
        }
        QCOMPARE(Caption(), QStringLiteral("4500 - 5000"));
        QCOMPARE(Values(), QList<int>(500, 10));
        Receive(std::string(100, '\x40'));
        for (int i = 0; i < 10; ++i) {
            form_->Rfreues100msTimer(nullptr);
        }
        QCOMPARE(Caption(), QStringLiteral("4600 - 5100"));
        QCOMPARE(Values().last(), 0x40);
        TForm1::SetChecked(form_->CheckBox14, false);
        QVERIFY(!form_->BitBtn2->isHidden() && !form_->BitBtn3->isHidden());
    }

    void chartKeepsToTheRawBytesAfterPreviewAndClear() {
        Receive(Pages(1200));
        form_->BitBtn1->click();
        form_->BitBtn3->click();
        form_->BitBtn3->click();
        QCOMPARE(form_->chartPage, int64_t{2});
        // A preview replaces the raw bytes with 12 display bytes; the count stays 1200.
        QTemporaryDir dir;
        QFile f(dir.filePath("p.bin"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("AB\r\nCD\r\n\0\0", 10);
        f.close();
        form_->Edit2->setText(f.fileName());
        form_->Button3->click();
        QCOMPARE(form_->Rx.rxCount, int64_t{1200});
        form_->BitBtn1->click();
        QCOMPARE(Caption(), QStringLiteral("0 - 12"));
        QCOMPARE(Values().size(), 12);
        TForm1::SetChecked(form_->CheckBox14, true);
        form_->BitBtn1->click();
        QCOMPARE(Values().size(), 12);
        TForm1::SetChecked(form_->CheckBox14, false);

        // After a clear and a little new data the old page shows nothing stale.
        form_->Button1->click();
        form_->BitBtn1->click();
        QCOMPARE(Caption(), QStringLiteral("0 - 0"));
        Receive(Pages(700));
        form_->chartPage = 5;
        form_->BitBtn1->click();
        QCOMPARE(Caption(), QStringLiteral("500 - 700"));
        QCOMPARE(Values(), QList<int>(200, 2));
    }
};

QTEST_MAIN(ChartTest)
#include "tst_chart.moc"
