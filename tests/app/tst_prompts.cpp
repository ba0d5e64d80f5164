// The real dialogs behind the window's questions.
#include <QApplication>
#include <QInputDialog>
#include <QTimer>
#include <QtTest>

#include "app/UiPrompts.h"

class PromptsTest : public QObject {
    Q_OBJECT

  private slots:
    // A note longer than a line edit's default limit comes back whole, edited.
    void longNoteIsNotCut() {
        const QString note(40000, QLatin1Char('n'));
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            shown = dialog->textValue();
            dialog->setTextValue(shown + QStringLiteral("!"));
            dialog->accept();
        });
        DialogPrompts prompts;
        const std::optional<QString> answer = prompts.InputQuery("1", "note", note);
        QCOMPARE(shown.size(), note.size());
        QVERIFY(answer.has_value());
        QCOMPARE(answer->size(), note.size() + 1);
    }
};

QTEST_MAIN(PromptsTest)
#include "tst_prompts.moc"
