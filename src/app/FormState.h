#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

// Window-wide state shared by every part of the main window; lives for the process.

inline uint8_t EnglishUI = 0;  // 1 while the interface is English
inline uint8_t StopFlag = 0;   // ends a running file send or programming run
inline const QString VersionText = QStringLiteral("5.08d2");
inline QString savedHexLine = QStringLiteral("12 FF 00 30");
inline QString savedTextLine = QStringLiteral("abcdefg");

inline const QStringList DataBitsNames = {"5", "6", "7", "8"};
inline const QStringList StopBitsNames = {"1", "1.5", "2"};
inline const QStringList ParityNames = {"None", "Odd", "Even", "Mark", "Space"};
inline const QStringList FlowNames = {"HardWare", "SoftWare", "None", "Custom"};

inline QString PortStateText;
inline QString CtsText;
inline QString DsrText;
inline QString RlsdText;
inline std::array<QString, 5> HeaderLinks;

// Both languages of a two-language text, chosen when shown.
inline QString Tr2(const QString& english, const QString& chinese) {
    return EnglishUI == 1 ? english : chinese;
}
