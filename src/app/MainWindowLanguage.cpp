// The interface language switch and the start-up language hint.
#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/FormWidgets.h"
#include "app/IspSchematic.h"
#include "app/LanguageSystem.h"
#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"

void TForm1::languageChange(QObject* /*Sender*/) {
    // Saving first records the new state while a save error still speaks the old language.
    InvokeClick(saveconfig);
    EnglishUI = CheckBox18->isChecked() ? 1 : 0;
    const bool english = EnglishUI == 1;
    for (const zenta::CaptionEntry& entry : zenta::CaptionTable()) {
        const QString text =
            zenta::CaptionText(entry, english, PortMarkedOpen(), Panel2->isVisible());
        const QString name = QString::fromLatin1(entry.objectName);
        if (name == QLatin1String("TabSheet1")) {
            PageControl1->setTabText(PageControl1->indexOf(TabSheet1), text);
        } else if (auto* button = findChild<QAbstractButton*>(name)) {
            button->setText(text);
        } else if (auto* label = findChild<QLabel*>(name)) {
            label->setText(text);
        }
    }
    LayoutCaptions();
    setWindowTitle(zenta::WindowCaption(english));
    Memo_stm32help->setPlainText(memo::Lines(zenta::Stm32HelpText(english)));
    Image1->SetEnglish(english);
}

// Start-up step 1: the system language sets the interface flag until the settings decide.
void TForm1::ApplySystemLanguage() {
    const int id = zenta::SystemLanguageId();
    if (id == zenta::kLangChineseTaiwan) {
#ifdef _WIN32
        memo::SetText(Memo, zenta::Msg(zenta::MsgId::TraditionalSystemWarning, false));
#endif
    } else if (id == zenta::kLangEnglishUS || id == zenta::kLangEnglishUK) {
        EnglishUI = 1;
#ifdef _WIN32
        memo::SetText(Memo, zenta::Msg(zenta::MsgId::EnglishSystemWarning, true));
#endif
    }
}
