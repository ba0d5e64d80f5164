#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "app/CloseRequest.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/QuitSignals.h"
#include "app/StartOptions.h"
#include "app/core/CommandLine.h"
#include "app/core/LanguageTable.h"
#include "isp/cli/HeadlessMain.h"
#include "serial/ctl/QtDispatcher.h"

namespace {

QStringList ArgumentList(int argc, char* argv[]) {
    QStringList list;
    for (int i = 0; i < argc; ++i) {
        list << QString::fromLocal8Bit(argv[i]);
    }
    return list;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Parsed before the application object exists, so --help, --version and a bad value
    // need no display and never show half a window.
    const zenta::CommandLineResult cl = zenta::ParseCommandLine(ArgumentList(argc, argv));
    // --flash and --list need no window and no display.
    if (zenta::IsHeadless(cl)) {
        return zenta::RunHeadless(cl);
    }
    if (cl.action != zenta::CommandLineResult::Action::Run) {
        std::FILE* out = cl.action == zenta::CommandLineResult::Action::Error ? stderr : stdout;
        std::fprintf(out, "%s\n", cl.text.toLocal8Bit().constData());
        return cl.exitCode;
    }

    QApplication app(argc, argv);
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
