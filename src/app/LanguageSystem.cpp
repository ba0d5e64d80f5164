#include "app/LanguageSystem.h"

#include "app/MainWindow.h"

namespace zenta {

int LanguageIdOfLocale(const QLocale& locale) {
    if (locale.language() == QLocale::Chinese && locale.territory() == QLocale::Taiwan) {
        return kLangChineseTaiwan;
    }
    if (locale.language() == QLocale::English) {
        if (locale.territory() == QLocale::UnitedStates) {
            return kLangEnglishUS;
        }
        if (locale.territory() == QLocale::UnitedKingdom) {
            return kLangEnglishUK;
        }
    }
    return 0;
}

int SystemLanguageId() {
    if (MainWindow::SystemLanguageSource) {
        return MainWindow::SystemLanguageSource();
    }
    return LanguageIdOfLocale(QLocale::system());
}

}  // namespace zenta
