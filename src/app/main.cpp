#include <QApplication>

#include "app/CloseRequest.h"
#include "app/ComMainForm.h"
#include "serial/ctl/QtDispatcher.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zenta"));
    QApplication::setApplicationDisplayName(QStringLiteral("zenta"));
    // Ports without a dispatcher of their own deliver their events on this thread.
    TQtDispatcher dispatcher;
    TMainThreadDispatcher::SetDefault(&dispatcher);
    int rc = 0;
    {
        TForm1 form;
        const zenta::TCloseRequestWatch closeWatch(&form);
        form.show();
        rc = QApplication::exec();
    }
    TMainThreadDispatcher::SetDefault(nullptr);
    return rc;
}
