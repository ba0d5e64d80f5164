// The chart through a real window: received bytes as points, signedness, paging with
// the chart's buttons, real-time refresh from the refresh tick, and a chart that keeps
// to the raw bytes after a preview or a clear.
#include <QChartView>
#include <QCheckBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValueAxis>
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

using namespace zenta::test;

class ChartTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<MainWindow> form_;
    std::unique_ptr<TPty> pty_;

    void Receive(const std::string& bytes) {
        const int64_t before = form_->received.rxCount;
        QVERIFY(pty_->Send(bytes));
        QTRY_COMPARE(form_->received.rxCount, before + static_cast<int64_t>(bytes.size()));
    }
    QString Caption() const { return form_->chart->rangeButton->text(); }
    QList<int> Values() const {
        QList<int> v;
        const QList<QPointF> points = form_->chart->series->points();
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
    // A button a user can click: shown, inside the chart and clear of the other buttons.
    bool Usable(QPushButton* b) const {
        const ChartPanel& c = *form_->chart;
        if (!b->isVisible() || !QRect(QPoint(0, 0), c.view->size()).contains(b->geometry())) {
            return false;
        }
        for (QPushButton* other : {c.rangeButton, c.previousButton, c.nextButton}) {
            if (other != b && other->isVisible() && other->geometry().intersects(b->geometry())) {
                return false;
            }
        }
        return true;
    }
    bool PagingUsable() const {
        const ChartPanel& c = *form_->chart;
        return Usable(c.rangeButton) && Usable(c.previousButton) && Usable(c.nextButton);
    }
    QValueAxis* ValueAxis() const {
        for (QAbstractAxis* a : form_->chart->series->attachedAxes()) {
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
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(form_->size(), QSize(850, 600));
        QVERIFY(e2e::OpenThroughWindow(*form_, QString::fromStdString(pty_->SlavePath())));
    }
    void cleanup() {
        form_.reset();
        pty_.reset();
        fixture_.Stop();
    }

    void bytesBecomePointsUnsignedOrSigned() {
        form_->chart->showButton->click();
        QCOMPARE(Caption(), QStringLiteral("0 - 0"));
        QCOMPARE(form_->chart->series->count(), 0);
        Receive(std::string("\x00\x7F\x80\xFF", 4));
        // Reception alone does not draw.
        QCOMPARE(form_->chart->series->count(), 0);
        form_->chart->showButton->click();
        QCOMPARE(Caption(), QStringLiteral("0 - 4"));
        QCOMPARE(Values(), (QList<int>{0, 127, 128, 255}));
        QCOMPARE(ValueAxis()->max(), 255.0);
        panel_widgets::SetChecked(form_->chart->signedCheck, true);
        QCOMPARE(Values(), (QList<int>{0, 127, -128, -1}));
        QCOMPARE(ValueAxis()->min(), -128.0);
        QCOMPARE(form_->chart->series->color(), QColor(Qt::red));
    }

    void pageButtonsStepThroughTheData() {
        Receive(Pages(1200));
        form_->chart->showButton->click();
        QCOMPARE(Caption(), QStringLiteral("0 - 500"));
        QCOMPARE(Values(), QList<int>(500, 1));
        QVERIFY(PagingUsable());
        form_->chart->nextButton->click();
        QCOMPARE(Caption(), QStringLiteral("500 - 1000"));
        QCOMPARE(Values(), QList<int>(500, 2));
        // At the window's default size the caption and both page buttons stay usable.
        QVERIFY(PagingUsable());
        form_->chart->nextButton->click();
        QCOMPARE(Caption(), QStringLiteral("1000 - 1200"));
        QCOMPARE(Values(), QList<int>(200, 3));
        QVERIFY(PagingUsable());
        form_->chart->nextButton->click();
        QCOMPARE(Caption(), QStringLiteral("1000 - 1200"));
        for (int i = 0; i < 4; ++i) {
            form_->chart->previousButton->click();
        }
        QCOMPARE(Caption(), QStringLiteral("0 - 500"));
        QCOMPARE(form_->chart->page, int64_t{0});
    }

    // Far into the data the range caption is long: at the window's default size it still
    // shows on every page, in the top row beside both page buttons, never over the plot.
    void longRangeCaptionsStayInTheTopRow() {
        Receive(Pages(130000));
        form_->chart->showButton->click();
        const ChartPanel& c = *form_->chart;
        for (int page = 0; page < 260; ++page) {
            QVERIFY2(PagingUsable() && c.rangeButton->y() == 0, qPrintable(Caption()));
            QVERIFY(c.rangeButton->x() + c.rangeButton->width() <= c.previousButton->x());
            form_->chart->nextButton->click();
        }
        QCOMPARE(Caption(), QStringLiteral("129500 - 130000"));
        QVERIFY(c.rangeButton->y() == 0 && PagingUsable());
        // Back at the start the page buttons say how far they go again.
        for (int i = 0; i < 260; ++i) {
            form_->chart->previousButton->click();
        }
        QCOMPARE(Caption(), QStringLiteral("0 - 500"));
        QCOMPARE(c.nextButton->text(), QStringLiteral("500>"));
    }

    void realTimeFollowsTheNewestBytesOnTheTick() {
        panel_widgets::SetChecked(form_->chart->realTimeCheck, true);
        QVERIFY(form_->chart->previousButton->isHidden() && form_->chart->nextButton->isHidden());
        Receive(Pages(5000));
        for (int i = 0; i < 10; ++i) {
            form_->onRefreshTick();
        }
        QCOMPARE(Caption(), QStringLiteral("4500 - 5000"));
        QCOMPARE(Values(), QList<int>(500, 10));
        // The caption shows; the page buttons, which do not apply, stay hidden after a
        // layout pass too.
        form_->LayoutControlPanel();
        QVERIFY(Usable(form_->chart->rangeButton));
        QVERIFY(form_->chart->previousButton->isHidden() && form_->chart->nextButton->isHidden());
        Receive(std::string(100, '\x40'));
        for (int i = 0; i < 10; ++i) {
            form_->onRefreshTick();
        }
        QCOMPARE(Caption(), QStringLiteral("4600 - 5100"));
        QCOMPARE(Values().last(), 0x40);
        panel_widgets::SetChecked(form_->chart->realTimeCheck, false);
        QVERIFY(!form_->chart->previousButton->isHidden() && !form_->chart->nextButton->isHidden());
    }

    void chartKeepsToTheRawBytesAfterPreviewAndClear() {
        Receive(Pages(1200));
        form_->chart->showButton->click();
        form_->chart->nextButton->click();
        form_->chart->nextButton->click();
        QCOMPARE(form_->chart->page, int64_t{2});
        // A preview replaces the raw bytes with 12 display bytes; the count stays 1200.
        QTemporaryDir dir;
        QFile f(dir.filePath("p.bin"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("AB\r\nCD\r\n\0\0", 10);
        f.close();
        form_->files->pathEdit->setText(f.fileName());
        form_->files->openFileButton->click();
        QCOMPARE(form_->received.rxCount, int64_t{1200});
        form_->chart->showButton->click();
        QCOMPARE(Caption(), QStringLiteral("0 - 12"));
        QCOMPARE(Values().size(), 12);
        panel_widgets::SetChecked(form_->chart->realTimeCheck, true);
        form_->chart->showButton->click();
        QCOMPARE(Values().size(), 12);
        panel_widgets::SetChecked(form_->chart->realTimeCheck, false);

        // After a clear and a little new data the old page shows nothing stale.
        form_->receive->clearButton->click();
        form_->chart->showButton->click();
        QCOMPARE(Caption(), QStringLiteral("0 - 0"));
        Receive(Pages(700));
        form_->chart->page = 5;
        form_->chart->showButton->click();
        QCOMPARE(Caption(), QStringLiteral("500 - 700"));
        QCOMPARE(Values(), QList<int>(200, 2));
    }
};

QTEST_MAIN(ChartTest)
#include "tst_chart.moc"
