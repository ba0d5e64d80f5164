// The window on a screen smaller than its design size: run at a scale factor of 1.5, so
// the offscreen platform's 800x800 screen offers 533x533 to the window.
#include <QApplication>
#include <QScreen>
#include <QScrollArea>

#include "app/Splitter.h"
#include "app/core/ScreenFit.h"
#include "app/support/SettingsTestSupport.h"

using namespace zenta::test;

class ScreenFitTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;

    // A window laid out on the real screen.
    static std::unique_ptr<MainWindow> ScreenWindow() {
        ResetWindowGlobals();
        MainWindow::ScreenAreaSource = nullptr;
        auto form = std::make_unique<MainWindow>();
        form->startTimer->stop();
        return form;
    }

    static QRect Area() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    // Everything the user needs lies on the screen: the window, its control panel and the
    // send button.
    static void ExpectOnScreen(MainWindow& form) {
        const QRect area = Area();
        // Fitted again once the frame is known.
        QTRY_VERIFY2(area.contains(form.frameGeometry()),
                     qPrintable(QStringLiteral("%1,%2 %3x%4")
                                    .arg(form.frameGeometry().x())
                                    .arg(form.frameGeometry().y())
                                    .arg(form.frameGeometry().width())
                                    .arg(form.frameGeometry().height())));
        // The control panel scrolls sideways in a narrow window, so its controls need only
        // lie within the screen's height.
        for (QWidget* w : std::initializer_list<QWidget*>{form.controlArea, form.statusBar,
                                                          form.send->sendButton}) {
            const QPoint top = w->mapToGlobal(QPoint(0, 0));
            QVERIFY2(top.y() >= area.top() && top.y() + w->height() - 1 <= area.bottom(),
                     qPrintable(w->objectName()));
        }
        QVERIFY(area.contains(form.controlArea->mapToGlobal(QPoint(0, 0))));
    }

  private slots:
    void init() { InstallWindowHooks(prompts_); }
    void cleanup() { RemoveWindowHooks(); }

    void fittingKeepsTheWholeWindowInTheArea() {
        const QRect area(0, 0, 640, 400);
        const QSize minimum(200, 150);
        // Larger than the area: shrunk to it.
        QCOMPARE(zenta::FitIntoArea(QRect(250, 180, 850, 600), area, minimum),
                 QRect(0, 0, 640, 400));
        // Inside already: left alone.
        QCOMPARE(zenta::FitIntoArea(QRect(10, 20, 300, 200), area, minimum),
                 QRect(10, 20, 300, 200));
        // Off the area to any side: moved back, size kept.
        QCOMPARE(zenta::FitIntoArea(QRect(-900, 350, 300, 200), area, minimum),
                 QRect(0, 200, 300, 200));
        QCOMPARE(zenta::FitIntoArea(QRect(5000, -80, 300, 200), area, minimum),
                 QRect(340, 0, 300, 200));
        // A second screen's area to the right, with an offset origin.
        QCOMPARE(zenta::FitIntoArea(QRect(0, 0, 300, 200), QRect(1280, 30, 800, 570), minimum),
                 QRect(1280, 30, 300, 200));
        // A minimum larger than the area: the top left corner stays reachable.
        QCOMPARE(zenta::FitIntoArea(QRect(300, 300, 100, 100), area, QSize(700, 500)),
                 QRect(0, 0, 700, 500));
    }

    void defaultWindowFitsTheScreen() {
        ProgramFolder folder;
        QVERIFY(Area().width() < 850 && Area().height() < 600);  // the design size
        auto form = ScreenWindow();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        ExpectOnScreen(*form);
        // The side panel shows inside the window, and the window stays on the screen.
        QTest::mouseClick(form->sidePanelButton, Qt::LeftButton);
        QVERIFY(form->sidePanel->isVisible());
        QVERIFY(form->rect().contains(form->sidePanel->geometry()));
        QVERIFY(form->receive->view->width() >= form->sideSplitter->MinSize);
        ExpectOnScreen(*form);
    }

    void storedGeometryIsFittedIntoTheScreen() {
        ProgramFolder folder;
        // Written on a large monitor, placed partly left of and above this screen.
        folder.Write(FileOf({"N82=,3000", "N83=,2000", "N84=,-400", "N85=,-300"}));
        auto form = ScreenWindow();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        ExpectOnScreen(*form);
        QCOMPARE(form->frameGeometry(), Area());
    }
};

int main(int argc, char** argv) {
    // Before the application: Qt reads the factor once.
    qputenv("QT_SCALE_FACTOR", "1.5");
    QApplication app(argc, argv);
    ScreenFitTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screen_fit.moc"
