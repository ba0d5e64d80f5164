// The interface language: the switch with the window in various states, the language
// of messages around a switch, persistence and the system language at start.
#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>

#include "app/LanguageSystem.h"
#include "app/PanelWidgets.h"
#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"
#include "app/support/SettingsTestSupport.h"

using namespace zenta::test;

class LanguageTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;

    static void ExpectEnglish(MainWindow& form, bool english) {
        QCOMPARE(EnglishUI, english ? 1 : 0);
        QCOMPARE(form.connection->flowLabel->text(),
                 english ? QStringLiteral("FlowCtrl") : QStringLiteral("流  控"));
        QCOMPARE(form.send->sendButton->text(),
                 english ? QStringLiteral("SEND") : QStringLiteral("发  送"));
        QCOMPARE(form.sidePages->tabText(0),
                 english ? QStringLiteral("Send Multi Char") : QStringLiteral("多条字符串发送"));
        QCOMPARE(form.windowTitle(), zenta::WindowCaption(english));
        QCOMPARE(form.programmer->helpText->toPlainText().startsWith(QStringLiteral("According")),
                 english);
    }

  private slots:
    void init() { InstallWindowHooks(prompts_); }
    void cleanup() { RemoveWindowHooks(); }

    void switchFollowsPortAndPanelState() {
        ProgramFolder folder;
        TPty pty;
        auto form = NewWindow();
        ExpectEnglish(*form, false);
        QVERIFY(OpenOn(*form, pty));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTest::mouseClick(form->sidePanelButton, Qt::LeftButton);

        QTest::mouseClick(form->englishCheck, Qt::LeftButton);
        ExpectEnglish(*form, true);
        QCOMPARE(form->connection->openButton->text(), QStringLiteral("CloseCom"));
        QCOMPARE(form->sidePanelButton->text(), QStringLiteral("Hide"));
        QVERIFY(folder.Read().contains("N100=,English\r\r\n"));

        panel_widgets::SetChecked(form->englishCheck, false);
        ExpectEnglish(*form, false);
        QCOMPARE(form->connection->openButton->text(), QStringLiteral("关闭串口"));
        QCOMPARE(form->sidePanelButton->text(), QStringLiteral("隐藏"));
        QVERIFY(folder.Read().contains(zenta::ToGb18030(QStringLiteral("N100=,汉语\r\r\n"))));
        // Captions that change with state later still follow the language.
        panel_widgets::InvokeClick(form->connection->openButton);
        QCOMPARE(form->connection->openButton->text(), QStringLiteral("打开串口"));
        QVERIFY(prompts_.messages.isEmpty());
    }

    // Captions differ in length between the languages: in both, every caption of the
    // control panels fits its control and no two controls of a panel overlap.
    void captionsFitInBothLanguages() {
        ProgramFolder folder;
        auto form = NewWindow();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        for (const bool english : {true, false}) {
            panel_widgets::SetChecked(form->englishCheck, english);
            for (QWidget* panel : std::initializer_list<QWidget*>{
                     form->receive->buttonsBox, form->receive->optionsBox, form->send->optionsBox,
                     form->connection->box}) {
                QList<QWidget*> kids;
                for (QWidget* w : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                    if (w->isVisible()) {
                        kids << w;
                    }
                }
                for (QWidget* w : kids) {
                    QString text;
                    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                        text = b->text().trimmed();
                    } else if (auto* l = qobject_cast<QLabel*>(w)) {
                        text = l->text().trimmed();
                    }
                    QVERIFY2(w->width() >= w->fontMetrics().horizontalAdvance(text),
                             qPrintable(w->objectName()));
                    QVERIFY2(panel->rect().contains(w->geometry()), qPrintable(w->objectName()));
                    for (QWidget* other : kids) {
                        QVERIFY2(w == other || !w->geometry().intersects(other->geometry()),
                                 qPrintable(w->objectName() + " / " + other->objectName()));
                    }
                }
            }
        }
    }

    void messagesSpeakTheLanguageOfTheirMoment() {
        ProgramFolder folder;
        auto form = NewWindow();
        // The save at the start of a switch still reports in the old language.
        folder.SetWritable(false);
        QFile::setPermissions(folder.Ini(), QFileDevice::ReadOwner);
        panel_widgets::SetChecked(form->englishCheck, true);
        QCOMPARE(prompts_.messages, QStringList{zenta::Msg(zenta::MsgId::IniError, false)});
        ExpectEnglish(*form, true);
        // A message after the switch is English.
        prompts_.messages.clear();
        form->prepared->loopIntervalEdit->setText(QStringLiteral("0"));
        panel_widgets::SetChecked(form->prepared->loopCheck, true);
        QCOMPARE(prompts_.messages, QStringList{QStringLiteral("please enter a number!")});
    }

    void englishSurvivesARestart() {
        ProgramFolder folder;
        {
            auto form = NewWindow();
            panel_widgets::SetChecked(form->englishCheck, true);
            form->close();
        }
        auto form = NewWindow();
        QVERIFY(form->englishCheck->isChecked());
        ExpectEnglish(*form, true);
        QCOMPARE(form->connection->openButton->text(), QStringLiteral("OpenCom"));
        QCOMPARE(form->sidePanelButton->text(), QStringLiteral("EXT"));
    }

    // From the second start the file holds the built-in notes ("4无注释"): they are no
    // notes of the user's, so the English rows, like the first start's, show no Chinese.
    // The link bar and the note dialog follow the language too; the file keeps its bytes.
    void englishRowsAndLinksFromTheSecondStart() {
        ProgramFolder folder;
        {
            auto form = NewWindow();
            panel_widgets::SetChecked(form->englishCheck, true);
            form->close();
        }
        const QByteArray written = folder.Read();
        QVERIFY(written.contains(zenta::ToGb18030(QStringLiteral("4无注释"))));
        auto form = NewWindow();
        QVERIFY(form->englishCheck->isChecked());
        const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
        for (int i = 0; i < zenta::kPreparedRows; ++i) {
            for (const QString& shown :
                 {form->prepared->sendButton(i)->text(), form->prepared->edit(i)->toolTip()}) {
                QVERIFY2(!shown.contains(chinese), qPrintable(shown));
            }
        }
        QCOMPARE(form->prepared->sendButton(0)->text(), QStringLiteral("HEX string 1"));
        QCOMPARE(form->prepared->sendButton(1)->text(), QStringLiteral("String 1"));
        QCOMPARE(form->prepared->sendButton(3)->text(), QStringLiteral("4"));
        for (const ClickLabel* link : form->links->labels) {
            QVERIFY2(!link->text().contains(chinese), qPrintable(link->text()));
        }
        // The note dialog asks in English and starts empty for a built-in note.
        prompts_.answers = {std::nullopt};
        form->prepared->onRowNoteRequested(3);
        QCOMPARE(prompts_.queries, QStringList{QStringLiteral("4|Please enter the note:")});
        // A note of the user's is shown as it is, in both languages.
        prompts_.answers = {QStringLiteral("reset 复位")};
        form->prepared->onRowNoteRequested(3);
        QCOMPARE(form->prepared->sendButton(3)->text(), QStringLiteral("reset 复位"));
        panel_widgets::SetChecked(form->englishCheck, false);
        QCOMPARE(form->prepared->sendButton(0)->text(), QStringLiteral("十六进制数据串1"));
        QCOMPARE(form->prepared->sendButton(4)->text(), QStringLiteral("5"));
        QCOMPARE(form->prepared->sendButton(3)->text(), QStringLiteral("reset 复位"));
        QCOMPARE(form->links->labels[2]->text(), QStringLiteral("使用说明"));
        form->close();
        // The built-in notes are written back as they were read.
        QVERIFY(folder.Read().contains(zenta::ToGb18030(QStringLiteral("N105=,5无注释"))));
    }

    void systemLanguageGivesWayToTheFile() {
        QCOMPARE(zenta::LanguageIdOfLocale(QLocale(QStringLiteral("en_US"))),
                 zenta::kLangEnglishUS);
        QCOMPARE(zenta::LanguageIdOfLocale(QLocale(QStringLiteral("en_GB"))),
                 zenta::kLangEnglishUK);
        QCOMPARE(zenta::LanguageIdOfLocale(QLocale(QStringLiteral("zh_TW"))),
                 zenta::kLangChineseTaiwan);
        QCOMPARE(zenta::LanguageIdOfLocale(QLocale(QStringLiteral("zh_CN"))), 0);
        QCOMPARE(zenta::LanguageIdOfLocale(QLocale(QStringLiteral("en_AU"))), 0);

        // An English system without a file still ends start-up in Chinese.
        ProgramFolder folder;
        MainWindow::SystemLanguageSource = [] { return zenta::kLangEnglishUS; };
        auto form = NewWindow();
        ExpectEnglish(*form, false);
    }
};

QTEST_MAIN(LanguageTest)
#include "tst_language.moc"
