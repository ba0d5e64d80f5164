// The window's build: regions, the prepared-string rows, toggles and the row layout.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/FormWidgets.h"
#include "app/Splitter.h"
#include "app/StatusPanels.h"
#include "support/AppTestSupport.h"

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    std::unique_ptr<TForm1> form_;
    std::optional<ScopedSettingsFolder> settings_;

    // Top edge in window coordinates.
    int Top(QWidget* w) const { return w->mapTo(form_.get(), QPoint(0, 0)).y(); }

  private slots:
    void init() {
        settings_.emplace();
        SetPrompts(&prompts_);
        EnglishUI = 0;
        TForm1::PortEntrySource = [] { return std::vector<std::string>{}; };
        form_ = std::make_unique<TForm1>();
        form_->getNEWSTimer->stop();
    }
    void cleanup() {
        form_.reset();
        SetPrompts(nullptr);
        TForm1::PortEntrySource = nullptr;
        settings_.reset();
    }

    void windowAndRegions() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(form_->geometry(), QRect(250, 180, 850, 600));
        QVERIFY(!form_->Panel2->isVisible());
        QVERIFY(!form_->Splitter1->isVisible());
        QVERIFY(!form_->ProgressBar1->isVisible());
        QCOMPARE(form_->Panel5->height(), 24);
        QCOMPARE(form_->Panel1->height(), 115);
        QCOMPARE(form_->Panel4->height(), 19);
        QCOMPARE(form_->StatusBar1->height(), 20);
        // Bottom stack, top to bottom, under the receive window, which takes the rest.
        QVERIFY(Top(form_->Memo) == 0);
        QCOMPARE(Top(form_->Panel5), form_->Memo->height());
        QCOMPARE(Top(form_->Panel1), Top(form_->Panel5) + 24);
        QCOMPARE(Top(form_->Panel4), Top(form_->Panel1) + 115);
        QCOMPARE(Top(form_->StatusBar1), Top(form_->Panel4) + 19);
        QCOMPARE(Top(form_->StatusBar1) + 20, form_->height());
        QCOMPARE(form_->Memo->width(), form_->width());
        // Status panels from the bar's height.
        const int widths[] = {100, 80, 80, 260, 50};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(form_->StatusBar1->PanelWidth(i), widths[i]);
        }
        QVERIFY(form_->Refresh100msTimer->isActive());
        QVERIFY(!form_->SendStringTimer->isActive());
        QVERIFY(!form_->Send_N_StringTimer->isActive());
        QCOMPARE(form_->verifyBox->count(), 4);
        QCOMPARE(form_->verifyBox->itemText(1), QStringLiteral("modbusCRC16"));
        QCOMPARE(form_->Edit_Data->text(), QStringLiteral("abcdefg"));
        QVERIFY(!form_->CheckBox1->isEnabled());
        QVERIFY(!form_->CheckBox2->isEnabled());
        QCOMPARE(form_->Button_Open->text(), QStringLiteral("打开串口"));
        // Every named control can be found by its name.
        for (const char* name :
             {"Memo", "ComComboBox1", "ComComboBox6", "ComLed1", "Button_Open", "CustomBaudInput",
              "verifyBox", "Edit_Data", "Chart1", "H5", "isp255_stm32", "writefast", "Image1",
              "Button7", "Label6", "getNEWSTimer", "cacelGetnewsTimer", "CheckBox17"}) {
            QVERIFY2(form_->findChild<QObject*>(QString::fromLatin1(name)), name);
        }
    }

    void preparedRowsAreBuiltInOrder() {
        const int h = form_->RowHeight();
        const int t = form_->RowTop();
        QCOMPARE(h, 17);
        QCOMPARE(t, 37);
        QCOMPARE(form_->NList.size(), 150);
        for (int i = 0; i < 50; ++i) {
            auto* box = qobject_cast<QCheckBox*>(form_->NList[i]);
            auto* edit = qobject_cast<QLineEdit*>(form_->NList[50 + i]);
            auto* send = qobject_cast<QPushButton*>(form_->NList[100 + i]);
            QVERIFY(box && edit && send);
            QCOMPARE(box->objectName(), QStringLiteral("HEX%1").arg(i));
            QCOMPARE(edit->objectName(), QStringLiteral("Ndata%1").arg(i));
            QCOMPARE(send->objectName(), QStringLiteral("Nsend%1").arg(i));
            QCOMPARE(box->parentWidget(), form_->TabSheet1);
            QCOMPARE(box->geometry(), QRect(0, h * i + t, h, h));
            QCOMPARE(edit->geometry(), QRect(h, h * i + t, 10 * h, h));
            QCOMPARE(send->geometry(), QRect(11 * h, h * i + t + 1, 7 * h, h));
            QCOMPARE(edit->property("tag").toInt(), i);
            QCOMPARE(send->property("tag").toInt(), i);
            if (i > 1) {
                QCOMPARE(box->text(), QString::number(i));
                QVERIFY(!box->isChecked());
                QVERIFY(edit->text().isEmpty());
                QCOMPARE(edit->toolTip(), QString::number(i + 1) + QStringLiteral("无注释"));
                QCOMPARE(send->text(), QString::number(i + 1));
                QCOMPARE(send->toolTip(), QString::number(i));
            }
        }
        auto* edit0 = static_cast<QLineEdit*>(form_->NList[50]);
        QVERIFY(static_cast<QCheckBox*>(form_->NList[0])->isChecked());
        QCOMPARE(edit0->text(), QStringLiteral("13 00 FF 88"));
        QCOMPARE(edit0->toolTip(), QStringLiteral("十六进制数据串1"));
        QCOMPARE(static_cast<QPushButton*>(form_->NList[100])->text(),
                 QStringLiteral("十六进制数据串1"));
        auto* edit1 = static_cast<QLineEdit*>(form_->NList[51]);
        QVERIFY(!static_cast<QCheckBox*>(form_->NList[1])->isChecked());
        QCOMPARE(edit1->text(), QStringLiteral("output string"));
        QCOMPARE(static_cast<QPushButton*>(form_->NList[101])->text(), QStringLiteral("字符串1"));
    }

    void togglesReturnToTheirStart() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QTest::mouseClick(form_->Button5, Qt::LeftButton);
        QVERIFY(form_->Panel2->isVisible());
        QVERIFY(form_->Splitter1->isVisible());
        QCOMPARE(form_->Button5->text(), QStringLiteral("隐藏"));
        QVERIFY(form_->Memo->width() < form_->width() - 300);
        QTest::mouseClick(form_->Button5, Qt::LeftButton);
        QVERIFY(!form_->Panel2->isVisible());
        QCOMPARE(form_->Button5->text(), QStringLiteral("扩展"));

        EnglishUI = 1;
        form_->Button5Click(form_->Button5);
        QCOMPARE(form_->Button5->text(), QStringLiteral("Hide"));
        form_->Button5Click(form_->Button5);
        QCOMPARE(form_->Button5->text(), QStringLiteral("EXT"));

        QTest::mouseClick(form_->Button6, Qt::LeftButton);
        QVERIFY(!form_->Panel1->isVisible());
        QCOMPARE(form_->Button6->text(), QStringLiteral("■"));
        QTest::mouseClick(form_->Button6, Qt::LeftButton);
        QVERIFY(form_->Panel1->isVisible());
        QCOMPARE(form_->Button6->text(), QStringLiteral("━"));
        QTRY_COMPARE(Top(form_->Panel1), Top(form_->Panel5) + 24);
    }

    void rowLayoutFollowsTheSplitter() {
        form_->show();
        form_->Button5Click(form_->Button5);
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        const int before = form_->Panel2->width();
        form_->Splitter1->MoveBy(-120);
        QCOMPARE(form_->Panel2->width(), before + 120);
        const int h = form_->RowHeight();
        const int page = form_->TabSheet1->width();
        QVERIFY(page > before);
        for (int i = 0; i < 50; ++i) {
            QWidget* edit = form_->NList[50 + i];
            QWidget* send = form_->NList[100 + i];
            QCOMPARE(edit->x(), h);
            QCOMPARE(send->x(), edit->x() + edit->width());
            QCOMPARE(send->x() + send->width(), page);
            QCOMPARE(send->width(), 7 * h);
        }
        QCOMPARE(form_->Label25->x(), form_->NList[100]->x() + 15);
        QCOMPARE(form_->SpeedButton3->x(), page - 25);
        QCOMPARE(form_->SpeedButton4->x(), page - 13);

        // Dragging the bar with the mouse lands in the same place.
        const int widthBefore = form_->Panel2->width();
        QTest::mousePress(form_->Splitter1, Qt::LeftButton, {}, QPoint(1, 50));
        QMouseEvent move(QEvent::MouseMove, QPointF(-39, 50),
                         form_->Splitter1->mapToGlobal(QPointF(-39, 50)), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form_->Splitter1, &move);
        // The bar followed the pointer, so the pointer now sits where it was pressed.
        QTest::mouseRelease(form_->Splitter1, Qt::LeftButton, {}, QPoint(1, 50));
        QCOMPARE(form_->Panel2->width(), widthBefore + 40);
        QCOMPARE(form_->NList[149]->x() + form_->NList[149]->width(), form_->TabSheet1->width());
    }

    void helpLinksAndStatus() {
        form_->Memo->setPlainText(QStringLiteral("old"));
        form_->Button2Click(form_->Button2);
        const QString help = form_->Memo->toPlainText();
        QVERIFY(!help.contains(QStringLiteral("old")));
        for (const char* topic : {"自定义波特率", "校验", "转义", "DTR", "STM32", "版本历史"}) {
            QVERIFY2(help.contains(QString::fromUtf8(topic)), topic);
        }
        // Hovering a link marks it blue and the others black; a panel clears all.
        form_->HeaderMouseMove(form_->H3);
        QCOMPARE(form_->H3->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(form_->H1->palette().color(QPalette::WindowText), QColor(Qt::black));
        form_->HeaderMouseMove(nullptr);
        QCOMPARE(form_->H3->palette().color(QPalette::WindowText), QColor(Qt::black));
        // Before the first open the modem panel is empty.
        form_->Rfreues100msTimer(nullptr);
        QCOMPARE(form_->StatusBar1->PanelText(4), QString());
        QCOMPARE(form_->StatusBar1->PanelText(3),
                 QString::fromStdString(form_->ComPort.Port()) +
                     QStringLiteral(" 已关闭  115200bps,8,1,None,None"));
        // A long port name widens its panel instead of being cut.
        form_->ComPort.SetPort("/dev/serial/by-id/usb-Some_Long_Adapter_Name-if00-port0");
        form_->Rfreues100msTimer(nullptr);
        QLabel* panel3 = form_->StatusBar1->Panel(3);
        QVERIFY(panel3->width() >= panel3->fontMetrics().horizontalAdvance(panel3->text()));
    }

    void startupTickOpensNothingWithoutPorts() {
        // No port entries: the tick still runs the open action, which only enables the send
        // buttons.
        form_->Button_Send->setEnabled(false);
        form_->getNEWSTimer->start();
        QTRY_VERIFY(form_->Button_Send->isEnabled());
        QVERIFY(!form_->ComPort.Connected());
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(form_->CheckBox1->isEnabled());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
