// The window's build: regions, the prepared-string rows, toggles and the row layout.
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include "app/ChartPanel.h"
#include "app/ConsoleBar.h"
#include "app/CloseRequest.h"
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
#include "app/Splitter.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/UpdateCheck.h"
#include "app/WindowState.h"
#include "datapath/qt/ReceiveView.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    std::unique_ptr<MainWindow> form_;
    TWindowFixture fixture_;

    // Top edge in window coordinates.
    int Top(QWidget* w) const { return w->mapTo(form_.get(), QPoint(0, 0)).y(); }
    QRect InWindow(QWidget* w) const {
        return QRect(w->mapTo(form_.get(), QPoint(0, 0)), w->size());
    }

    // A new window started on a settings file holding these lines, shown.
    void RestartWith(const QStringList& lines) {
        form_.reset();
        QFile f(fixture_.SettingsPath() + QStringLiteral("/zenta5.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
        f.close();
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    // The controls a user sees in the bottom stack: every visible button, label, edit and
    // list that lies at least partly inside the window.
    QList<QWidget*> VisibleControls() const {
        QList<QWidget*> out;
        for (QWidget* region : {form_->fileRow, form_->controlPanel, form_->links->bar}) {
            for (QWidget* w : region->findChildren<QWidget*>()) {
                const bool control =
                    qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w) ||
                    qobject_cast<QComboBox*>(w) ||
                    (qobject_cast<QLineEdit*>(w) && !qobject_cast<QComboBox*>(w->parentWidget()));
                const bool onChart = form_->chart->view->isAncestorOf(w);
                if (control && !onChart && w->isVisible() &&
                    InWindow(w).intersects(form_->rect())) {
                    out << w;
                }
            }
        }
        return out;
    }

    // No two visible controls share a pixel, and the chart's buttons stay clear of each
    // other and of its value axis.
    void CheckNothingOverlaps() const {
        const QList<QWidget*> controls = VisibleControls();
        QVERIFY(controls.size() > 10);
        for (int i = 0; i < controls.size(); ++i) {
            for (int j = i + 1; j < controls.size(); ++j) {
                QVERIFY2(!InWindow(controls[i]).intersects(InWindow(controls[j])),
                         qPrintable(controls[i]->objectName() + " / " + controls[j]->objectName()));
            }
        }
        if (!form_->chart->view->isVisible()) {
            return;
        }
        const int axisRight = static_cast<int>(form_->chart->view->chart()->plotArea().left());
        QList<QRect> buttons;
        for (QPushButton* b :
             {form_->chart->rangeButton, form_->chart->previousButton, form_->chart->nextButton}) {
            if (b->isVisible()) {
                QVERIFY2(b->x() >= axisRight, qPrintable(b->objectName()));
                for (const QRect& other : buttons) {
                    QVERIFY(!other.intersects(b->geometry()));
                }
                buttons << b->geometry();
            }
        }
    }

    // Every visible caption inside the window is shown whole.
    void CheckCaptionsFit() const {
        for (QWidget* w : VisibleControls()) {
            if (!form_->rect().contains(InWindow(w))) {
                continue;
            }
            int needed = 0;
            if (auto* b = qobject_cast<QPushButton*>(w)) {
                needed = b->fontMetrics().horizontalAdvance(b->text());
            } else if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w)) {
                needed = w->sizeHint().width();
            }
            QVERIFY2(w->width() >= needed, qPrintable(w->objectName()));
        }
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        ConnectionPanel::PortEntrySource = [] { return std::vector<std::string>{}; };
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
    }
    void cleanup() {
        form_.reset();
        fixture_.Stop();
    }

    void windowAndRegions() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(form_->geometry(), QRect(250, 180, 850, 600));
        QVERIFY(!form_->sidePanel->isVisible());
        QVERIFY(!form_->sideSplitter->isVisible());
        QVERIFY(!form_->progressBar->isVisible());
        // Bottom stack, top to bottom and edge to edge, under the receive window, which
        // takes the rest.
        QCOMPARE(Top(form_->receive->view), 0);
        QCOMPARE(Top(form_->console->bar), form_->receive->view->height());
        QCOMPARE(Top(form_->fileRow), Top(form_->console->bar) + form_->console->bar->height());
        QCOMPARE(Top(form_->controlPanel), Top(form_->fileRow) + form_->fileRow->height());
        QCOMPARE(Top(form_->links->bar), Top(form_->controlPanel) + form_->controlPanel->height());
        QVERIFY(!form_->controlArea->horizontalScrollBar()->isVisible());
        QCOMPARE(Top(form_->statusBar), Top(form_->links->bar) + form_->links->bar->height());
        QCOMPARE(Top(form_->statusBar) + form_->statusBar->height(), form_->height());
        QVERIFY(form_->receive->view->height() > form_->height() / 2);
        QCOMPARE(form_->receive->view->width(), form_->width());
        // The control panel is tall enough for its lowest control.
        for (QWidget* w : form_->controlPanel->findChildren<QWidget*>()) {
            if (w->isVisible()) {
                QVERIFY2(InWindow(w).bottom() <= InWindow(form_->controlPanel).bottom(),
                         qPrintable(w->objectName()));
            }
        }
        CheckNothingOverlaps();
        CheckCaptionsFit();
        // Status panels side by side, each showing its text whole, the last up to the edge.
        form_->onRefreshTick();
        for (int i = 0; i < TStatusPanels::kPanels; ++i) {
            QLabel* panel = form_->statusBar->Panel(i);
            QVERIFY(panel->width() >= panel->fontMetrics().horizontalAdvance(panel->text()));
            if (i > 0) {
                QVERIFY(panel->x() > form_->statusBar->Panel(i - 1)->geometry().right());
            }
        }
        QCOMPARE(form_->statusBar->Panel(4)->geometry().right(), form_->statusBar->width() - 1);
        QVERIFY(form_->refreshTimer->isActive());
        QVERIFY(!form_->send->timedSendTimer->isActive());
        QVERIFY(!form_->prepared->loopTimer->isActive());
        QCOMPARE(form_->send->checksumBox->count(), 4);
        QCOMPARE(form_->send->checksumBox->itemText(1), QStringLiteral("modbusCRC16"));
        QCOMPARE(form_->send->lineEdit->text(), QStringLiteral("abcdefg"));
        QVERIFY(!form_->connection->dtrCheck->isEnabled());
        QVERIFY(!form_->connection->rtsCheck->isEnabled());
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("打开串口"));
        // The window carries the program's icon.
        QVERIFY(!form_->windowIcon().isNull());
        QVERIFY(!form_->windowIcon().pixmap(32, 32).isNull());
        // Every named control can be found by its name.
        for (const char* name :
             {"receiveView", "portBox", "flowBox", "portLed", "openButton", "customBaudEdit",
              "checksumBox", "sendLineEdit", "chartView", "link5", "ispStartButton", "fastRadio",
              "ispSchematic", "startTimer", "updateGiveUpTimer", "refreshTimer"}) {
            QVERIFY2(form_->findChild<QObject*>(QString::fromLatin1(name)), name);
        }
    }

    // English captions are longer: they still fit, and nothing is pushed over anything.
    void englishCaptionsFit() {
        RestartWith({"N100=,English"});
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("OpenCom"));
        CheckNothingOverlaps();
        CheckCaptionsFit();
    }

    // A stored size is taken as given down to 400 x 300 and up to the screen; the window's
    // own parts never make it larger, and nothing in it overlaps at any width.
    void storedSizeIsKeptWithinLimits() {
        RestartWith({"N100=,English", "N82=,100", "N83=,100"});
        QCOMPARE(form_->size(), QSize(400, 300));
        CheckNothingOverlaps();
        // The buttons at the row's right end stay in reach.
        QVERIFY(form_->rect().contains(InWindow(form_->controlPanelButton)));
        QVERIFY(form_->rect().contains(InWindow(form_->sidePanelButton)));
        // The control panel scrolls sideways: SEND comes into view whole, above the bar.
        QScrollBar* bar = form_->controlArea->horizontalScrollBar();
        QVERIFY(bar->isVisible());
        QVERIFY(!form_->rect().contains(InWindow(form_->send->sendButton)));
        bar->setValue(bar->maximum());
        QCoreApplication::processEvents();
        const QRect send = InWindow(form_->send->sendButton);
        QVERIFY(form_->rect().contains(send));
        QVERIFY(send.bottom() < Top(bar));
        QVERIFY(Top(bar) + bar->height() <= Top(form_->links->bar));
        QCOMPARE(form_->controlPanel->height(), 115);
        for (int width : {560, 700, 760, 1000}) {
            form_->resize(width, 400);
            QTRY_COMPARE(form_->width(), width);
            CheckNothingOverlaps();
        }

        const QRect screen = form_->screen()->availableGeometry();
        RestartWith({"N82=,99999", "N83=,99999", "N86=,99999"});
        QVERIFY(form_->width() <= screen.width());
        QVERIFY(form_->height() <= screen.height());
        const QSize before = form_->size();
        form_->onSidePanelClicked();
        QVERIFY(form_->sidePanel->isVisible());
        QCOMPARE(form_->size(), before);
        QVERIFY(form_->receive->view->width() > 0);
        QVERIFY(InWindow(form_->sidePanel).right() < form_->width());
        panel_widgets::InvokeClick(form_->saveSettingsButton);
        form_.reset();

        // What was saved starts the same window again.
        QFile f(fixture_.SettingsPath() + QStringLiteral("/zenta5.ini"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        QVERIFY(saved.contains(QByteArray("N82=,") + QByteArray::number(before.width()) + "\r"));
        QVERIFY(saved.contains(QByteArray("N83=,") + QByteArray::number(before.height()) + "\r"));
    }

    // Showing and hiding the side panel, at any size, leaves the window's size alone, so
    // the saved size does not creep from one session to the next.
    void sidePanelLeavesTheWindowSize() {
        for (const QSize size : {QSize(850, 600), QSize(400, 300), QSize(700, 420)}) {
            form_->resize(size);
            form_->show();
            QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
            QTRY_COMPARE(form_->size(), size);
            for (int i = 0; i < 4; ++i) {
                QTest::mouseClick(form_->sidePanelButton, Qt::LeftButton);
                QCoreApplication::processEvents();
                QCOMPARE(form_->size(), size);
            }
            form_->onSidePanelClicked();
            form_->sideSplitter->MoveBy(-2000);
            QCoreApplication::processEvents();
            QCOMPARE(form_->size(), size);
            form_->onSidePanelClicked();
            QCoreApplication::processEvents();  // the hidden panel's minimum goes with it
        }
    }

    void preparedRowsAreBuiltInOrder() {
        form_->show();
        form_->onSidePanelClicked();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        const int headerBottom = form_->prepared->textTitle->geometry().bottom();
        QWidget* rows = form_->prepared->rowsHost;
        // The rows scroll below the column titles.
        QVERIFY(form_->prepared->rowsArea->geometry().top() > headerBottom);
        for (int i = 0; i < 50; ++i) {
            auto* box = qobject_cast<QCheckBox*>(form_->prepared->hexBox(i));
            auto* edit = qobject_cast<QLineEdit*>(form_->prepared->edit(i));
            auto* send = qobject_cast<QPushButton*>(form_->prepared->sendButton(i));
            QVERIFY(box && edit && send);
            // The names and tags are how tests and the handlers find a row.
            QCOMPARE(box->objectName(), QStringLiteral("rowHex%1").arg(i));
            QCOMPARE(edit->objectName(), QStringLiteral("rowText%1").arg(i));
            QCOMPARE(send->objectName(), QStringLiteral("rowSend%1").arg(i));
            QCOMPARE(edit->property("tag").toInt(), i);
            QCOMPARE(send->property("tag").toInt(), i);
            QCOMPARE(box->parentWidget(), rows);
            // One row: HEX box, edit and send button side by side on one line, below the
            // column titles and below the previous row, none overlapping another.
            QVERIFY(box->geometry().right() < edit->x());
            QCOMPARE(edit->geometry().right() + 1, send->x());
            QVERIFY(std::abs(send->y() - edit->y()) <= 1);
            QCOMPARE(box->y(), edit->y());
            QVERIFY(edit->y() >= 0);
            if (i > 0) {
                QWidget* above = form_->prepared->edit(i - 1);
                QVERIFY(edit->y() >= above->geometry().bottom() + 1);
                QVERIFY(
                    !send->geometry().intersects(form_->prepared->sendButton(i - 1)->geometry()));
            }
            if (i > 1) {
                QCOMPARE(box->text(), QString::number(i));
                QVERIFY(!box->isChecked());
                QVERIFY(edit->text().isEmpty());
                QCOMPARE(edit->toolTip(), QString::number(i + 1) + QStringLiteral("无注释"));
                QCOMPARE(send->text(), QString::number(i + 1));
                QCOMPARE(send->toolTip(), QString::number(i));
            }
        }
        auto* edit0 = static_cast<QLineEdit*>(form_->prepared->edit(0));
        QVERIFY(static_cast<QCheckBox*>(form_->prepared->hexBox(0))->isChecked());
        QCOMPARE(edit0->text(), QStringLiteral("13 00 FF 88"));
        QCOMPARE(edit0->toolTip(), QStringLiteral("十六进制数据串1"));
        QCOMPARE(static_cast<QPushButton*>(form_->prepared->sendButton(0))->text(),
                 QStringLiteral("十六进制数据串1"));
        auto* edit1 = static_cast<QLineEdit*>(form_->prepared->edit(1));
        QVERIFY(!static_cast<QCheckBox*>(form_->prepared->hexBox(1))->isChecked());
        QCOMPARE(edit1->text(), QStringLiteral("output string"));
        QCOMPARE(static_cast<QPushButton*>(form_->prepared->sendButton(1))->text(),
                 QStringLiteral("字符串1"));
    }

    void togglesReturnToTheirStart() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QTest::mouseClick(form_->sidePanelButton, Qt::LeftButton);
        QVERIFY(form_->sidePanel->isVisible());
        QVERIFY(form_->sideSplitter->isVisible());
        QCOMPARE(form_->sidePanelButton->text(), QStringLiteral("隐藏"));
        QVERIFY(form_->receive->view->width() < form_->width() - 300);
        QTest::mouseClick(form_->sidePanelButton, Qt::LeftButton);
        QVERIFY(!form_->sidePanel->isVisible());
        QCOMPARE(form_->sidePanelButton->text(), QStringLiteral("扩展"));

        EnglishUI = 1;
        form_->onSidePanelClicked();
        QCOMPARE(form_->sidePanelButton->text(), QStringLiteral("Hide"));
        form_->onSidePanelClicked();
        QCOMPARE(form_->sidePanelButton->text(), QStringLiteral("EXT"));

        QTest::mouseClick(form_->controlPanelButton, Qt::LeftButton);
        QVERIFY(!form_->controlPanel->isVisible());
        QCOMPARE(form_->controlPanelButton->text(), QStringLiteral("■"));
        QTest::mouseClick(form_->controlPanelButton, Qt::LeftButton);
        QVERIFY(form_->controlPanel->isVisible());
        QCOMPARE(form_->controlPanelButton->text(), QStringLiteral("━"));
        QTRY_COMPARE(Top(form_->controlPanel), Top(form_->fileRow) + 24);
    }

    void rowLayoutFollowsTheSplitter() {
        form_->show();
        form_->onSidePanelClicked();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        const int before = form_->sidePanel->width();
        form_->sideSplitter->MoveBy(-120);
        QCOMPARE(form_->sidePanel->width(), before + 120);
        const int h = form_->prepared->RowHeight();
        const int page = form_->prepared->rowsArea->viewport()->width();
        QVERIFY(form_->prepared->page->width() > before);
        for (int i = 0; i < 50; ++i) {
            QWidget* edit = form_->prepared->edit(i);
            QWidget* send = form_->prepared->sendButton(i);
            QCOMPARE(edit->x(), h);
            QCOMPARE(send->x(), edit->x() + edit->width());
            QCOMPARE(send->x() + send->width(), page);
            QCOMPARE(send->width(), 7 * h);
        }
        // The column title stays over the send buttons, the page arrows at the right end.
        QVERIFY(form_->prepared->sendTitle->x() >= form_->prepared->sendButton(0)->x());
        QVERIFY(form_->prepared->sendTitle->x() <
                form_->prepared->sendButton(0)->geometry().right());
        const int pageWidth = form_->prepared->page->width();
        QVERIFY(form_->prepared->narrowerButton->geometry().right() < pageWidth);
        QVERIFY(form_->prepared->narrowerButton->geometry().right() >= pageWidth - 3);
        QVERIFY(form_->prepared->widerButton->geometry().right() <
                form_->prepared->narrowerButton->x());

        // Dragging the bar with the mouse lands in the same place.
        const int widthBefore = form_->sidePanel->width();
        QTest::mousePress(form_->sideSplitter, Qt::LeftButton, {}, QPoint(1, 50));
        QMouseEvent move(QEvent::MouseMove, QPointF(-39, 50),
                         form_->sideSplitter->mapToGlobal(QPointF(-39, 50)), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form_->sideSplitter, &move);
        // The bar followed the pointer, so the pointer now sits where it was pressed.
        QTest::mouseRelease(form_->sideSplitter, Qt::LeftButton, {}, QPoint(1, 50));
        QCOMPARE(form_->sidePanel->width(), widthBefore + 40);
        QCOMPARE(form_->prepared->sendButton(49)->x() + form_->prepared->sendButton(49)->width(),
                 form_->prepared->rowsArea->viewport()->width());
    }

    void helpLinksAndStatus() {
        form_->receive->view->setPlainText(QStringLiteral("old"));
        form_->onHelpClicked();
        const QString help = form_->receive->view->toPlainText();
        QVERIFY(!help.contains(QStringLiteral("old")));
        for (const char* topic : {"自定义波特率", "校验", "转义", "DTR", "STM32", "版本历史"}) {
            QVERIFY2(help.contains(QString::fromUtf8(topic)), topic);
        }
        // Hovering a link marks it blue and the others black; a panel clears all.
        form_->links->Highlight(form_->links->labels[2]);
        QCOMPARE(form_->links->labels[2]->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(form_->links->labels[0]->palette().color(QPalette::WindowText), QColor(Qt::black));
        form_->links->Highlight(nullptr);
        QCOMPARE(form_->links->labels[2]->palette().color(QPalette::WindowText), QColor(Qt::black));
        // Before the first open the modem panel is empty.
        form_->onRefreshTick();
        QCOMPARE(form_->statusBar->PanelText(4), QString());
        QCOMPARE(form_->statusBar->PanelText(3),
                 QString::fromStdString(form_->port.Port()) +
                     QStringLiteral(" 已关闭  115200bps,8,1,None,None"));
        // A long port name widens its panel instead of being cut.
        form_->port.SetPort("/dev/serial/by-id/usb-Some_Long_Adapter_Name-if00-port0");
        form_->onRefreshTick();
        QLabel* panel3 = form_->statusBar->Panel(3);
        QVERIFY(panel3->width() >= panel3->fontMetrics().horizontalAdvance(panel3->text()));
    }

    // A close request while a dialog is open (one a user may not even see, on a desktop
    // without a window manager) dismisses the dialog, saves and closes.
    void closeWithADialogOpenSavesAndCloses() {
        SetPrompts(nullptr);  // the real dialogs
        for (int round = 0; round < 2; ++round) {
            form_->show();
            QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
            const QString row = QStringLiteral("unsaved %1").arg(round);
            form_->prepared->edit(5)->setText(row);
            bool dialogWasOpen = false;
            QTimer::singleShot(50, form_.get(), [&] {
                dialogWasOpen = QApplication::activeModalWidget() != nullptr;
                zenta::CloseDespiteDialogs(form_.get());
            });
            if (round == 0) {
                Prompts().ShowMessage(QStringLiteral("a message nobody answers"));
            } else {
                form_->receive->onFontClicked();  // the font dialog
            }
            QVERIFY(dialogWasOpen);
            QTRY_VERIFY(!form_->isVisible());
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
            QFile f(fixture_.SettingsPath() + QStringLiteral("/zenta5.ini"));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll().contains(QByteArray("N6=A,") + row.toLatin1() + "\r"));
            form_ = std::make_unique<MainWindow>();
            form_->startTimer->stop();
        }
        SetPrompts(&prompts_);
    }

    void startupTickOpensNothingWithoutPorts() {
        // No port entries: the tick still runs the open action, which only enables the send
        // buttons.
        form_->send->sendButton->setEnabled(false);
        form_->startTimer->start();
        QTRY_VERIFY(form_->send->sendButton->isEnabled());
        QVERIFY(!form_->port.Connected());
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(form_->connection->dtrCheck->isEnabled());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
