#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

#include "app/core/LanguageTable.h"

// The little state every panel of the main window reads; lives for the process.

inline uint8_t EnglishUI = 0;  // 1 while the interface is English
inline uint8_t StopFlag = 0;   // ends a running file send or programming run
inline const QString VersionText = QLatin1String(zenta::kVersionText);

// The status bar's words for the line parameters, by the engine's ordinals.
inline const QStringList DataBitsNames = {"5", "6", "7", "8"};
inline const QStringList StopBitsNames = {"1", "1.5", "2"};
inline const QStringList ParityNames = {"None", "Odd", "Even", "Mark", "Space"};
inline const QStringList FlowNames = {"HardWare", "SoftWare", "None", "Custom"};

// Both languages of a two-language text, chosen when shown.
inline QString Tr2(const QString& english, const QString& chinese) {
    return EnglishUI == 1 ? english : chinese;
}
