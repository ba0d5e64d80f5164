#include <QApplication>
#include <cstdio>

#include "app/CloseRequest.h"
#include "app/DisplayCheck.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/QuitSignals.h"
#include "app/StartOptions.h"
#include "app/core/CommandLine.h"
#include "app/core/LanguageTable.h"
#include "serial/ctl/QtDispatcher.h"

// The window's entry, called by the program once its command line asks for a window.
extern "C" __attribute__((visibility("default"))) int zenta_window_main(int argc, char** argv) {
    const zenta::CommandLineResult cl = zenta::ParseCommandLine(argc, argv);
    // Qt would abort without a display; say so and point to what needs none.
    zenta::DisplayCheck display(argc, argv);
    if (!display.Missing().empty()) {
        std::fputs(zenta::NoDisplayMessage(display.Missing()).c_str(), stderr);
        return 2;
    }
    QApplication app(argc, argv);
    display.Release();
    QApplication::setApplicationName(QStringLiteral("zenta"));
    QApplication::setApplicationVersion(QLatin1String(zenta::kVersionText));
    QApplication::setDesktopFileName(QStringLiteral("org.example.zenta"));
    // Every window and dialog carries the program's icon. No display name is set: Qt would
    // append it to every window title.
    QApplication::setWindowIcon(AppIcon());
    InstallStartOptions(cl.options);
    // Ports without a dispatcher of their own deliver their events on this thread.
    TQtDispatcher dispatcher;
    TMainThreadDispatcher::SetDefault(&dispatcher);
    int rc = 0;
    {
        // Taken before the window is built: building it writes the settings file, and a
        // kill in that moment must still end in the final save, not the default death.
        zenta::QuitSignals quitSignals;
        MainWindow window;
        const zenta::TCloseRequestWatch closeWatch(&window);
        quitSignals.Watch(&window);
        window.show();
        rc = QApplication::exec();
    }
    TMainThreadDispatcher::SetDefault(nullptr);
    return rc;
}
