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
