#include "app/core/CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "app/core/LanguageTable.h"

namespace zenta {

namespace {

// Options QApplication takes for itself; known here so they are not refused.
const char* const kQtValueOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin",
    "style",    "stylesheet",         "session",       "display",
    "geometry", "qwindowgeometry",    "qwindowtitle",  "qwindowicon",
    "title",
};
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

CommandLineResult Fail(const QString& why) {
    CommandLineResult r;
    r.action = CommandLineResult::Action::Error;
    r.exitCode = 2;
    r.text = QStringLiteral("zenta: %1\nTry 'zenta --help' for more information.").arg(why);
    return r;
}

std::optional<int> BitRateFromArgument(const QString& text) {
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < kMinBitRate || value > kMaxBitRate) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

}  // namespace

std::optional<QString> PortFromArgument(const QString& argument) {
    // The port list cuts an entry at its first blank, so such a name could never be opened.
    if (argument.isEmpty() || argument.contains(QLatin1Char(' ')) ||
        argument.contains(QLatin1Char('\t')) || argument.contains(QLatin1Char('\n'))) {
        return std::nullopt;
    }
    if (argument.startsWith(QLatin1Char('/'))) {
        return argument;
    }
    if (argument.contains(QLatin1Char('/'))) {
        return QFileInfo(argument).absoluteFilePath();
    }
    return QStringLiteral("/dev/") + argument;
}

CommandLineResult ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // "-platform offscreen" is one option for Qt, not six letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Serial-port terminal with an STM32 programmer."));
    parser.addPositionalArgument(
        QStringLiteral("PORT"),
        QStringLiteral("Serial port to open at start instead of the stored one "
                       "(/dev/ttyUSB0, or ttyUSB0 for short)."),
        QStringLiteral("[PORT]"));
    const QCommandLineOption baud(
        QStringLiteral("baud"),
        QStringLiteral("Bit rate, e.g. 115200 (%1 to %2).").arg(kMinBitRate).arg(kMaxBitRate),
        QStringLiteral("RATE"));
    const QCommandLineOption configDir(
        QStringLiteral("config-dir"),
        QStringLiteral("Folder of the settings file (instead of $ZENTA_CONFIG_DIR)."),
        QStringLiteral("DIR"));
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  QStringLiteral("Interface language of this start: zh or en."),
                                  QStringLiteral("zh|en"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    parser.addOptions({baud, configDir, lang, help, version});
    for (const char* name : kQtValueOptions) {
        QCommandLineOption o(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(o);
    }
    for (const char* name : kQtFlagOptions) {
        QCommandLineOption o(QString::fromLatin1(name));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(o);
    }

    if (!parser.parse(arguments)) {
        return Fail(parser.errorText());
    }
    CommandLineResult r;
    if (parser.isSet(help)) {
        r.action = CommandLineResult::Action::Help;
        r.text = parser.helpText().trimmed();
        // Without an application object the parser cannot name the program itself.
        r.text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                       QStringLiteral("Usage: zenta"));
        return r;
    }
    if (parser.isSet(version)) {
        r.action = CommandLineResult::Action::Version;
        r.text = QStringLiteral("zenta ") + QLatin1String(kVersionText);
        return r;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        return Fail(QStringLiteral("only one PORT may be given, not %1: %2")
                        .arg(positional.size())
                        .arg(positional.join(QLatin1Char(' '))));
    }
    if (positional.size() == 1) {
        r.options.port = PortFromArgument(positional.front());
        if (!r.options.port) {
            return Fail(QStringLiteral("'%1' is not a port name").arg(positional.front()));
        }
    }
    if (parser.isSet(baud)) {
        r.options.baudRate = BitRateFromArgument(parser.value(baud));
        if (!r.options.baudRate) {
            return Fail(QStringLiteral("--baud: '%1' is not a bit rate from %2 to %3")
                            .arg(parser.value(baud))
                            .arg(kMinBitRate)
                            .arg(kMaxBitRate));
        }
    }
    if (parser.isSet(configDir)) {
        const QString dir = parser.value(configDir);
        const QFileInfo info(dir);
        if (dir.isEmpty()) {
            return Fail(QStringLiteral("--config-dir: the folder name is empty"));
        }
        if (info.exists() && !info.isDir()) {
            return Fail(QStringLiteral("--config-dir: '%1' is not a folder").arg(dir));
        }
        r.options.configDir = QDir::cleanPath(info.absoluteFilePath());
    }
    if (parser.isSet(lang)) {
        const QString value = parser.value(lang).trimmed().toLower();
        if (value == QLatin1String("zh")) {
            r.options.english = false;
        } else if (value == QLatin1String("en")) {
            r.options.english = true;
        } else {
            return Fail(QStringLiteral("--lang: '%1' is not a language; use zh or en")
                            .arg(parser.value(lang)));
        }
    }
    return r;
}

}  // namespace zenta
