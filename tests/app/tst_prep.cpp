// The prepared-string page through the live window: click to send on a pty, notes,
// saves on every change, the column width and loop send.
#include <QLabel>

#include "app/Splitter.h"

#include "app/core/Messages.h"
#include "app/support/SettingsTestSupport.h"

using namespace zenta::test;

class PrepTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;

  private slots:
    void init() { InstallWindowHooks(prompts_); }
    void cleanup() { RemoveWindowHooks(); }

    void clickSendsTheEntry() {
        ProgramFolder folder;
        TPty pty;
        auto form = NewWindow();
        QVERIFY(OpenOn(*form, pty));
        // No settings file: the first entry is the built-in HEX string.
        QTest::mouseClick(form->RowButton(0), Qt::LeftButton);
        QCOMPARE(ReadMaster(pty), QByteArray("\x13\x00\xFF\x88", 4));
        QCOMPARE(form->Edit_Data->text(), QStringLiteral("13 00 FF 88"));
        QVERIFY(form->CheckBox4->isChecked());
        // An empty entry sends nothing and leaves the send line alone.
        form->RowButton(7)->click();
        QCOMPARE(ReadMaster(pty, 100), QByteArray());
        QCOMPARE(form->Edit_Data->text(), QStringLiteral("13 00 FF 88"));
        // A text entry switches HEX send off first.
        form->RowButton(1)->click();
        QCOMPARE(ReadMaster(pty), QByteArray("output string"));
        QVERIFY(!form->CheckBox4->isChecked());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void notesAndEditsAreSaved() {
        ProgramFolder folder;
        {
            auto form = NewWindow();
            prompts_.answers = {std::nullopt, QStringLiteral("reset")};
            QTest::mouseDClick(form->RowEdit(4), Qt::LeftButton);
            QCOMPARE(form->RowButton(4)->text(), QStringLiteral("5"));
            QTest::mouseDClick(form->RowEdit(4), Qt::LeftButton);
            QCOMPARE(prompts_.queries,
                     QStringList(2, "5|Please enter the note:/请输入条目的注释:       "));
            QCOMPARE(form->RowButton(4)->text(), QStringLiteral("reset"));
            QCOMPARE(form->RowButton(4)->toolTip(), QStringLiteral("reset"));
            QCOMPARE(form->RowEdit(4)->toolTip(), QStringLiteral("reset"));
            QVERIFY(folder.Read().contains("N105=,reset\r\r\n"));

            // Each key release and each HEX box click saves at once.
            QTest::keyClicks(form->RowEdit(4), QStringLiteral("0A 0B"));
            QVERIFY(folder.Read().contains("N5=A,0A 0B\r\r\n"));
            QTest::mouseClick(form->RowHexBox(4), Qt::LeftButton, {}, QPoint(4, 8));
            QVERIFY(form->RowHexBox(4)->isChecked());
            QVERIFY(folder.Read().contains("N5=H,0A 0B\r\r\n"));
        }
        // A new start shows the note on the button.
        auto form = NewWindow();
        QCOMPARE(form->RowButton(4)->text(), QStringLiteral("reset"));
        QVERIFY(form->RowHexBox(4)->isChecked());
        QCOMPARE(form->RowEdit(4)->text(), QStringLiteral("0A 0B"));
    }

    void widerButtonsNarrowTheEdits() {
        ProgramFolder folder;
        auto form = NewWindow();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTest::mouseClick(form->Button5, Qt::LeftButton);
        QVERIFY(form->TabSheet1->isVisible());
        const int page = form->TabSheet1->width();
        const int h = form->RowHeight();
        const int button = form->RowButton(0)->width();
        for (int i = 0; i < 3; ++i) {
            form->SpeedButton3->click();
        }
        for (int i = 0; i < 50; ++i) {
            QCOMPARE(form->RowButton(i)->width(), button + 30);
            QCOMPARE(form->RowEdit(i)->width(), page - button - 30 - h);
            QCOMPARE(form->RowButton(i)->x(), form->RowEdit(i)->x() + form->RowEdit(i)->width());
        }
        QCOMPARE(form->Label25->x(), form->RowButton(0)->x() + 15);
        QCOMPARE(form->SpeedButton3->x(), page - 25);
        QVERIFY(
            folder.Read().contains(QStringLiteral("N87=,%1\r\r\n").arg(button + 30).toLatin1()));
        form->SpeedButton4->click();
        QCOMPARE(form->RowButton(49)->width(), button + 20);

        // Dragging the splitter lays the rows out for the new page width.
        form->Splitter1->MoveBy(-40);
        QCOMPARE(form->RowEdit(0)->width(),
                 form->TabSheet1->width() - form->RowButton(0)->width() - h);
        QVERIFY(form->TabSheet1->width() > page);
    }

    void loopSendWalksTheNonEmptyEntries() {
        ProgramFolder folder;
        TPty pty;
        auto form = NewWindow();
        QVERIFY(OpenOn(*form, pty));
        form->RowEdit(1)->clear();
        form->RowEdit(2)->setText(QStringLiteral("C"));
        TForm1::SetChecked(form->CheckBox3, true);
        form->SendStringTimer->start();
        TForm1::SetChecked(form->CheckBox6, true);
        QVERIFY(form->Send_N_StringTimer->isActive());
        QCOMPARE(form->Send_N_StringTimer->interval(), 1000);
        QVERIFY(!form->SendStringTimer->isActive());
        for (QWidget* w : std::initializer_list<QWidget*>{
                 form->CheckBox4, form->CheckBox3, form->Edit1, form->Label2, form->Edit35}) {
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        }

        const QByteArray hex("\x13\x00\xFF\x88", 4);
        form->Send_N_StringTimerTimer(form->Send_N_StringTimer);
        QCOMPARE(ReadMaster(pty), hex);
        form->Send_N_StringTimerTimer(form->Send_N_StringTimer);
        QCOMPARE(ReadMaster(pty), QByteArray("C"));
        form->Send_N_StringTimerTimer(form->Send_N_StringTimer);
        QCOMPARE(ReadMaster(pty), hex);

        // Closed: the ticks send nothing and the walk does not move on.
        TForm1::InvokeClick(form->Button_Open);
        QVERIFY(!form->ComPort.Connected());
        form->Send_N_StringTimerTimer(form->Send_N_StringTimer);
        form->Send_N_StringTimerTimer(form->Send_N_StringTimer);
        QCOMPARE(form->loopPosition, 1);
        TForm1::InvokeClick(form->Button_Open);
        QVERIFY(form->ComPort.Connected());
        form->Send_N_StringTimerTimer(form->Send_N_StringTimer);
        QCOMPARE(ReadMaster(pty), QByteArray("C"));

        // Every entry empty: nothing is sent, loop send keeps running.
        for (int i = 0; i < 50; ++i) {
            form->RowEdit(i)->clear();
        }
        for (int i = 0; i < 3; ++i) {
            form->Send_N_StringTimerTimer(form->Send_N_StringTimer);
        }
        QCOMPARE(ReadMaster(pty, 100), QByteArray());
        QVERIFY(form->Send_N_StringTimer->isActive());

        // Off again: the HEX and timed boxes come back, the interval box of timed send
        // waits for its own box.
        TForm1::SetChecked(form->CheckBox6, false);
        QVERIFY(!form->Send_N_StringTimer->isActive());
        QVERIFY(form->CheckBox4->isEnabled());
        QVERIFY(form->CheckBox3->isEnabled());
        QVERIFY(form->Edit35->isEnabled());
        QVERIFY(!form->Edit1->isEnabled());
        QVERIFY(!form->SendStringTimer->isActive());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void loopIntervalMustBeANonZeroNumber() {
        ProgramFolder folder;
        auto form = NewWindow();
        struct Case {
            const char* text;
            zenta::MsgId msg;
        };
        for (const Case& c :
             {Case{"0", zenta::MsgId::LoopIntervalZero}, Case{"-5", zenta::MsgId::LoopIntervalZero},
              Case{"", zenta::MsgId::LoopIntervalEmpty}}) {
            prompts_.messages.clear();
            form->Edit35->setText(QString::fromLatin1(c.text));
            TForm1::SetChecked(form->CheckBox6, true);
            QCOMPARE(prompts_.messages, QStringList{zenta::Msg(c.msg, false)});
            QVERIFY(!form->CheckBox6->isChecked());
            QVERIFY(!form->Send_N_StringTimer->isActive());
            QVERIFY(form->CheckBox4->isEnabled());
            QVERIFY(form->Edit35->isEnabled());
        }
        // Not a number: the loop runs every millisecond rather than never.
        form->Edit35->setText(QStringLiteral("fast"));
        TForm1::SetChecked(form->CheckBox6, true);
        QVERIFY(form->Send_N_StringTimer->isActive());
        QCOMPARE(form->Send_N_StringTimer->interval(), 1);
    }
};

QTEST_MAIN(PrepTest)
#include "tst_prep.moc"
