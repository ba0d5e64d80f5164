#include "support/qt/WindowFixture.h"

#include <QFile>

#include "app/ChartPanel.h"
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
#include "app/StatusPanels.h"
#include "app/UpdateCheck.h"
#include "app/WindowState.h"
#include "datapath/qt/ReceiveView.h"

namespace zenta::test {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ResetWindowGlobals() {
    EnglishUI = 0;
    StopFlag = 0;
    // The window tests lay out the design size, 850x600 at 250,180; the offscreen
    // platform's one screen (800x600) is smaller than that.
    MainWindow::ScreenAreaSource = [] { return QRect(0, 0, 1920, 1080); };
}

void TWindowFixture::Start(UiPrompts& prompts) {
    settings_.emplace();
    SetPrompts(&prompts);
    ResetWindowGlobals();
}

void TWindowFixture::Stop() {
    SetPrompts(nullptr);
    ConnectionPanel::PortEntrySource = nullptr;
    MainWindow::SystemLanguageSource = nullptr;
    ConnectionPanel::SerialByIdFolder = "/dev/serial/by-id";
    zenta::ProgramFolderOverride.clear();
    UpdateCheck::UrlSource = nullptr;
    UpdateCheck::DefaultLinkSource = nullptr;
    UpdateCheck::GiveUpMs = 5000;
    ResetWindowGlobals();
    settings_.reset();
}

}  // namespace zenta::test
