#include "app/HighlightSettings.h"

#include <QColor>
#include <QString>

namespace zenta {

namespace {

std::u16string unitsOf(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<std::size_t>(s.size()));
}

const QString kGroup = QStringLiteral("highlight");

}  // namespace

std::vector<HighlightRule> LoadHighlightRules(QSettings& s) {
    s.beginGroup(kGroup);
    if (!s.contains(QStringLiteral("rules/size"))) {
        s.endGroup();
        return DefaultHighlightRules();
    }
    std::vector<HighlightRule> rules;
    const int n = s.beginReadArray(QStringLiteral("rules"));
    for (int i = 0; i < n; ++i) {
        s.setArrayIndex(i);
        HighlightRule r;
        r.pattern = unitsOf(s.value(QStringLiteral("pattern")).toString());
        r.regex = s.value(QStringLiteral("regex"), false).toBool();
        r.matchCase = s.value(QStringLiteral("matchCase"), false).toBool();
        r.background = s.value(QStringLiteral("background"), false).toBool();
        const QColor c = QColor::fromString(s.value(QStringLiteral("colour")).toString());
        if (r.pattern.empty() || !c.isValid())
            continue;
        r.colour = c.rgb() & 0xFFFFFFu;
        rules.push_back(std::move(r));
    }
    s.endArray();
    s.endGroup();
    return rules;
}

void SaveHighlightRules(QSettings& s, const std::vector<HighlightRule>& rules) {
    s.beginGroup(kGroup);
    s.remove(QStringLiteral("rules"));
    s.beginWriteArray(QStringLiteral("rules"), static_cast<int>(rules.size()));
    for (int i = 0; i < static_cast<int>(rules.size()); ++i) {
        const HighlightRule& r = rules[static_cast<std::size_t>(i)];
        s.setArrayIndex(i);
        s.setValue(QStringLiteral("pattern"),
                   QString::fromUtf16(r.pattern.data(), static_cast<qsizetype>(r.pattern.size())));
        s.setValue(QStringLiteral("regex"), r.regex);
        s.setValue(QStringLiteral("matchCase"), r.matchCase);
        s.setValue(QStringLiteral("colour"), QColor::fromRgb(r.colour).name());
        s.setValue(QStringLiteral("background"), r.background);
    }
    s.endArray();
    s.endGroup();
}

std::vector<HighlightRule> DefaultHighlightRules() {
    HighlightRule error{u"ERROR", false, true, 0xE00000, false};
    HighlightRule pass{u"PASS", false, true, 0x80E080, true};
    return {error, pass};
}

}  // namespace zenta
