#pragma once

#include <QLocale>

namespace zenta {

// Windows-style language identifiers of the locales the window reacts to at start.
inline constexpr int kLangChineseTaiwan = 0x0404;
inline constexpr int kLangEnglishUS = 0x0409;
inline constexpr int kLangEnglishUK = 0x0809;

// The identifier of a locale: one of the three above, else 0.
int LanguageIdOfLocale(const QLocale& locale);
// The running system's identifier, or MainWindow::SystemLanguageSource's when set.
int SystemLanguageId();

}  // namespace zenta
