#include "app/ExtSettings.h"

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

void DisplayOptions::Load(QSettings& s) {
    const QString name = s.value(QStringLiteral("receive/encoding")).toString();
    encoding = TextEncodingFromName(name.toStdString()).value_or(TextEncoding::Gb18030);
    ansiColours = s.value(QStringLiteral("receive/ansiColours"), true).toBool();
    lineStamps = s.value(QStringLiteral("receive/timeStamps"), false).toBool();
    captureStamps = s.value(QStringLiteral("capture/timeStamps"), false).toBool();
    crNewLine = s.value(QStringLiteral("receive/crNewLine"), false).toBool();
}

void DisplayOptions::Save(QSettings& s) const {
    s.setValue(QStringLiteral("receive/encoding"),
               QString::fromLatin1(TextEncodingName(encoding).data(),
                                   static_cast<qsizetype>(TextEncodingName(encoding).size())));
    s.setValue(QStringLiteral("receive/ansiColours"), ansiColours);
    s.setValue(QStringLiteral("receive/timeStamps"), lineStamps);
    s.setValue(QStringLiteral("capture/timeStamps"), captureStamps);
    s.setValue(QStringLiteral("receive/crNewLine"), crNewLine);
}

}  // namespace zenta
