// The prepared-string page through the live window: click to send on a pty, notes,
// saves on every change, the column width and loop send.
#include <QLabel>
#include <QScrollArea>

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
        QTest::mouseClick(form->prepared->sendButton(0), Qt::LeftButton);
        QCOMPARE(ReadMaster(pty), QByteArray("\x13\x00\xFF\x88", 4));
        QCOMPARE(form->send->lineEdit->text(), QStringLiteral("13 00 FF 88"));
        QVERIFY(form->send->hexSendCheck->isChecked());
        // An empty entry sends nothing and leaves the send line alone.
        form->prepared->sendButton(7)->click();
        QCOMPARE(ReadMaster(pty, 100), QByteArray());
        QCOMPARE(form->send->lineEdit->text(), QStringLiteral("13 00 FF 88"));
        // A text entry switches HEX send off first.
        form->prepared->sendButton(1)->click();
        QCOMPARE(ReadMaster(pty), QByteArray("output string"));
        QVERIFY(!form->send->hexSendCheck->isChecked());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void notesAndEditsAreSaved() {
        ProgramFolder folder;
        {
            auto form = NewWindow();
            prompts_.answers = {std::nullopt, QStringLiteral("reset")};
            QTest::mouseDClick(form->prepared->edit(4), Qt::LeftButton);
            QCOMPARE(form->prepared->sendButton(4)->text(), QStringLiteral("5"));
            QTest::mouseDClick(form->prepared->edit(4), Qt::LeftButton);
            QCOMPARE(prompts_.queries,
                     QStringList(2, "5|Please enter the note:/请输入条目的注释:       "));
            QCOMPARE(form->prepared->sendButton(4)->text(), QStringLiteral("reset"));
            QCOMPARE(form->prepared->sendButton(4)->toolTip(), QStringLiteral("reset"));
            QCOMPARE(form->prepared->edit(4)->toolTip(), QStringLiteral("reset"));
            QVERIFY(folder.Read().contains("N105=,reset\r\r\n"));

            // Each key release and each HEX box click saves at once.
            QTest::keyClicks(form->prepared->edit(4), QStringLiteral("0A 0B"));
            QVERIFY(folder.Read().contains("N5=A,0A 0B\r\r\n"));
            QTest::mouseClick(form->prepared->hexBox(4), Qt::LeftButton, {}, QPoint(4, 8));
            QVERIFY(form->prepared->hexBox(4)->isChecked());
            QVERIFY(folder.Read().contains("N5=H,0A 0B\r\r\n"));
        }
        // A new start shows the note on the button.
        auto form = NewWindow();
        QCOMPARE(form->prepared->sendButton(4)->text(), QStringLiteral("reset"));
        QVERIFY(form->prepared->hexBox(4)->isChecked());
        QCOMPARE(form->prepared->edit(4)->text(), QStringLiteral("0A 0B"));
    }

    void widerButtonsNarrowTheEdits() {
        ProgramFolder folder;
        auto form = NewWindow();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTest::mouseClick(form->sidePanelButton, Qt::LeftButton);
        QVERIFY(form->prepared->page->isVisible());
        const int page = form->prepared->rowsArea->viewport()->width();
        const int h = form->prepared->RowHeight();
        const int button = form->prepared->sendButton(0)->width();
        for (int i = 0; i < 3; ++i) {
            form->prepared->widerButton->click();
        }
        for (int i = 0; i < 50; ++i) {
            QCOMPARE(form->prepared->sendButton(i)->width(), button + 30);
            QCOMPARE(form->prepared->edit(i)->width(), page - button - 30 - h);
            QCOMPARE(form->prepared->sendButton(i)->x(),
                     form->prepared->edit(i)->x() + form->prepared->edit(i)->width());
        }
        QCOMPARE(form->prepared->sendTitle->x(), form->prepared->sendButton(0)->x() + 15);
        QCOMPARE(form->prepared->widerButton->x(), form->prepared->page->width() - 25);
        QVERIFY(
            folder.Read().contains(QStringLiteral("N87=,%1\r\r\n").arg(button + 30).toLatin1()));
        form->prepared->narrowerButton->click();
        QCOMPARE(form->prepared->sendButton(49)->width(), button + 20);

        // Dragging the splitter lays the rows out for the new page width.
        form->sideSplitter->MoveBy(-40);
        QCOMPARE(form->prepared->edit(0)->width(), form->prepared->rowsArea->viewport()->width() -
                                                       form->prepared->sendButton(0)->width() - h);
        QVERIFY(form->prepared->rowsArea->viewport()->width() > page);

        // Every row can be reached: the last one scrolls into view.
        form->prepared->rowsArea->ensureWidgetVisible(form->prepared->sendButton(49));
        const QPoint last =
            form->prepared->sendButton(49)->mapTo(form->prepared->page, QPoint(0, 0));
        QVERIFY(last.y() >= 0);
        QVERIFY(last.y() + form->prepared->sendButton(49)->height() <=
                form->prepared->page->height());
    }

    void loopSendWalksTheNonEmptyEntries() {
        ProgramFolder folder;
        TPty pty;
        auto form = NewWindow();
        QVERIFY(OpenOn(*form, pty));
        form->prepared->edit(1)->clear();
        form->prepared->edit(2)->setText(QStringLiteral("C"));
        panel_widgets::SetChecked(form->send->timedSendCheck, true);
        form->send->timedSendTimer->start();
        panel_widgets::SetChecked(form->prepared->loopCheck, true);
        QVERIFY(form->prepared->loopTimer->isActive());
        QCOMPARE(form->prepared->loopTimer->interval(), 1000);
        QVERIFY(!form->send->timedSendTimer->isActive());
        for (QWidget* w : std::initializer_list<QWidget*>{
                 form->send->hexSendCheck, form->send->timedSendCheck, form->send->intervalEdit,
                 form->send->intervalUnitLabel, form->prepared->loopIntervalEdit}) {
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        }

        const QByteArray hex("\x13\x00\xFF\x88", 4);
        form->prepared->onLoopTick();
        QCOMPARE(ReadMaster(pty), hex);
        form->prepared->onLoopTick();
        QCOMPARE(ReadMaster(pty), QByteArray("C"));
        form->prepared->onLoopTick();
        QCOMPARE(ReadMaster(pty), hex);

        // Closed: the ticks send nothing and the walk does not move on.
        panel_widgets::InvokeClick(form->connection->openButton);
        QVERIFY(!form->port.Connected());
        form->prepared->onLoopTick();
        form->prepared->onLoopTick();
        QCOMPARE(form->prepared->loopPosition, 1);
        panel_widgets::InvokeClick(form->connection->openButton);
        QVERIFY(form->port.Connected());
        form->prepared->onLoopTick();
        QCOMPARE(ReadMaster(pty), QByteArray("C"));

        // Every entry empty: nothing is sent, loop send keeps running.
        for (int i = 0; i < 50; ++i) {
            form->prepared->edit(i)->clear();
        }
        for (int i = 0; i < 3; ++i) {
            form->prepared->onLoopTick();
        }
        QCOMPARE(ReadMaster(pty, 100), QByteArray());
        QVERIFY(form->prepared->loopTimer->isActive());

        // Off again: the HEX and timed boxes come back, the interval box of timed send
        // waits for its own box.
        panel_widgets::SetChecked(form->prepared->loopCheck, false);
        QVERIFY(!form->prepared->loopTimer->isActive());
        QVERIFY(form->send->hexSendCheck->isEnabled());
        QVERIFY(form->send->timedSendCheck->isEnabled());
        QVERIFY(form->prepared->loopIntervalEdit->isEnabled());
        QVERIFY(!form->send->intervalEdit->isEnabled());
        QVERIFY(!form->send->timedSendTimer->isActive());
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
            form->prepared->loopIntervalEdit->setText(QString::fromLatin1(c.text));
            panel_widgets::SetChecked(form->prepared->loopCheck, true);
            QCOMPARE(prompts_.messages, QStringList{zenta::Msg(c.msg, false)});
            QVERIFY(!form->prepared->loopCheck->isChecked());
            QVERIFY(!form->prepared->loopTimer->isActive());
            QVERIFY(form->send->hexSendCheck->isEnabled());
            QVERIFY(form->prepared->loopIntervalEdit->isEnabled());
        }
        // Not a number: the loop runs every millisecond rather than never.
        form->prepared->loopIntervalEdit->setText(QStringLiteral("fast"));
        panel_widgets::SetChecked(form->prepared->loopCheck, true);
        QVERIFY(form->prepared->loopTimer->isActive());
        QCOMPARE(form->prepared->loopTimer->interval(), 1);
    }
};

QTEST_MAIN(PrepTest)
#include "tst_prep.moc"
