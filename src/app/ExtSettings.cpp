#include "app/ExtSettings.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>

#include "app/SettingsBinding.h"

namespace zenta {

QString ExtSettingsPath() {
    return QFileInfo(WindowSettingsPath()).dir().filePath(QLatin1String(kExtSettingsFileName));
}

std::unique_ptr<QSettings> OpenExtSettings() {
    return std::make_unique<QSettings>(ExtSettingsPath(), QSettings::IniFormat);
}

void ConsoleOptions::Load(QSettings& s) {
    charMode = s.value(QStringLiteral("console/characterMode"), false).toBool();
    const QString end = s.value(QStringLiteral("console/lineEnd")).toString();
    lineEnd = LineEndFromName(end.toStdString()).value_or(LineEnd::CrLf);
    localEcho = s.value(QStringLiteral("console/localEcho"), false).toBool();
    backspaceDel = s.value(QStringLiteral("console/backspaceDel"), true).toBool();
    pasteDelayMs = std::clamp(s.value(QStringLiteral("console/pasteDelayMs"), 0).toInt(), 0, 1000);
    breakMs = std::clamp(s.value(QStringLiteral("console/breakMs"), 250).toInt(), 1, 5000);
}

void ConsoleOptions::Save(QSettings& s) const {
    s.setValue(QStringLiteral("console/characterMode"), charMode);
    const std::string_view end = LineEndName(lineEnd);
    s.setValue(QStringLiteral("console/lineEnd"),
               QString::fromLatin1(end.data(), static_cast<qsizetype>(end.size())));
    s.setValue(QStringLiteral("console/localEcho"), localEcho);
    s.setValue(QStringLiteral("console/backspaceDel"), backspaceDel);
    s.setValue(QStringLiteral("console/pasteDelayMs"), pasteDelayMs);
    s.setValue(QStringLiteral("console/breakMs"), breakMs);
}

void DisplayOptions::Load(QSettings& s) {
    const QString name = s.value(QStringLiteral("receive/encoding")).toString();
    encoding = TextEncodingFromName(name.toStdString()).value_or(TextEncoding::Gb18030);
    ansiColours = s.value(QStringLiteral("receive/ansiColours"), true).toBool();
    lineStamps = s.value(QStringLiteral("receive/timeStamps"), false).toBool();
    captureStamps = s.value(QStringLiteral("capture/timeStamps"), false).toBool();
    crNewLine = s.value(QStringLiteral("receive/crNewLine"), false).toBool();
    termColumns =
        std::clamp(s.value(QStringLiteral("receive/terminalColumns"), 80).toInt(), 0, 1000);
}

void DisplayOptions::Save(QSettings& s) const {
    s.setValue(QStringLiteral("receive/encoding"),
               QString::fromLatin1(TextEncodingName(encoding).data(),
                                   static_cast<qsizetype>(TextEncodingName(encoding).size())));
    s.setValue(QStringLiteral("receive/ansiColours"), ansiColours);
    s.setValue(QStringLiteral("receive/timeStamps"), lineStamps);
    s.setValue(QStringLiteral("capture/timeStamps"), captureStamps);
    s.setValue(QStringLiteral("receive/crNewLine"), crNewLine);
    s.setValue(QStringLiteral("receive/terminalColumns"), termColumns);
}

}  // namespace zenta
