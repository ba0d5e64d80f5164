// The interface language switch and the start-up language hint.
#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QTabWidget>

#include "app/ConnectionPanel.h"
#include "app/ConsoleBar.h"
#include "app/LanguageSystem.h"
#include "app/LinkBar.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/ProgrammerPage.h"
#include "app/ReceivePanel.h"
#include "app/WindowState.h"
#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"
#include "datapath/qt/ReceiveView.h"
#include "plot/qt/PlotWindow.h"

void MainWindow::onLanguageChanged() {
    // Saving first records the new state while a save error still speaks the old language.
    SaveSettings();
    EnglishUI = englishCheck->isChecked() ? 1 : 0;
    const bool english = EnglishUI == 1;
    for (const zenta::CaptionEntry& entry : zenta::CaptionTable()) {
        const QString text =
            zenta::CaptionText(entry, english, PortMarkedOpen(), sidePanel->isVisible());
        const QString name = QString::fromLatin1(entry.objectName);
        if (name == QLatin1String("preparedPage")) {
            sidePages->setTabText(0, text);
        } else if (auto* button = findChild<QAbstractButton*>(name)) {
            button->setText(text);
        } else if (auto* label = findChild<QLabel*>(name)) {
            label->setText(text);
        }
    }
    plotButton->setText(english ? QStringLiteral("Plot") : QStringLiteral("绘图"));
    optionsButton->setText(english ? QStringLiteral("Options") : QStringLiteral("选项"));
    LayoutCaptions();
    setWindowTitle(zenta::WindowCaption(english));
    prepared->ShowNotes();
    links->SetEnglish(english);
    programmer->SetEnglish(english);
    receive->SetEnglish(english);
    console->SetEnglish(english);
    plot->setEnglish(english);
}

// Start-up step 1: the system language sets the interface flag until the settings decide.
void MainWindow::ApplySystemLanguage() {
    const int id = zenta::SystemLanguageId();
    if (id == zenta::kLangChineseTaiwan) {
#ifdef _WIN32
        View()->setPlainText(zenta::Msg(zenta::MsgId::TraditionalSystemWarning, false));
#endif
    } else if (id == zenta::kLangEnglishUS || id == zenta::kLangEnglishUK) {
        EnglishUI = 1;
#ifdef _WIN32
        View()->setPlainText(zenta::Msg(zenta::MsgId::EnglishSystemWarning, true));
#endif
    }
}
