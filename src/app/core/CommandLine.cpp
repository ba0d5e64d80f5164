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

bool ParseLineFormat(const QString& text, TDataBits& dataBits, TParityBits& parity,
                     TStopBits& stopBits) {
    static const QRegularExpression form(QStringLiteral("^([5-8])([NEOMS])(1|1\\.5|2)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch()) {
        return false;
    }
    dataBits = static_cast<TDataBits>(dbFive + (m.captured(1).toInt() - 5));
    switch (m.captured(2).toUpper().at(0).toLatin1()) {
        case 'E':
            parity = prEven;
            break;
        case 'O':
            parity = prOdd;
            break;
        case 'M':
            parity = prMark;
            break;
        case 'S':
            parity = prSpace;
            break;
        default:
            parity = prNone;
            break;
    }
    const QString stop = m.captured(3);
    stopBits = stop == QLatin1String("2")     ? sbTwoStopBits
               : stop == QLatin1String("1.5") ? sbOne5StopBits
                                              : sbOneStopBit;
    return true;
}

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

CommandLineResult ParseCommandLine(int argc, char* argv[]) {
    QStringList list;
    for (int i = 0; i < argc; ++i) {
        list << QString::fromLocal8Bit(argv[i]);
    }
    return ParseCommandLine(list);
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
    const QCommandLineOption line(
        QStringLiteral("line"),
        QStringLiteral("Data bits, parity and stop bits, e.g. 8N1, 7E1, 8O2 (parity N, E, O, M "
                       "or S)."),
        QStringLiteral("FORMAT"));
    const QCommandLineOption flow(QStringLiteral("flow"),
                                  QStringLiteral("Flow control: none, rtscts or xonxoff."),
                                  QStringLiteral("none|rtscts|xonxoff"));
    const QCommandLineOption flash(
        QStringLiteral("flash"),
        QStringLiteral("Program FILE (Intel HEX, S-records, ELF or raw binary, told from its "
                       "content) into an STM32 through its bootloader on PORT "
                       "(or the first port of the list), without a window, then exit with 0 "
                       "done, 1 chip or file refused, 2 bad arguments, 3 port failure. "
                       "The bit rate is 115200 unless --baud says otherwise."),
        QStringLiteral("FILE"));
    const QCommandLineOption noVerify(QStringLiteral("no-verify"),
                                      QStringLiteral("With --flash: do not read the image back."));
    const QCommandLineOption erase(
        QStringLiteral("erase"),
        QStringLiteral("With --flash: erase the whole chip (all, the default) or only the "
                       "pages or sectors the image covers (pages)."),
        QStringLiteral("pages|all"));
    const QCommandLineOption noReset(
        QStringLiteral("no-reset"),
        QStringLiteral("With --flash: no DTR/RTS reset; the chip is already in its bootloader."));
    const QCommandLineOption address(
        QStringLiteral("address"),
        QStringLiteral("With --flash: where a raw binary FILE starts, e.g. 0x08004000 (default: "
                       "the flash base, 0x08000000). Other formats carry their own addresses."),
        QStringLiteral("A"));
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("Print the serial ports in list order and exit."));
    parser.addOptions({baud, configDir, lang, line, flow, flash, noVerify, erase, noReset, address,
                       list, help, version});
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
        r.text += QStringLiteral(
            "\n\nExit status of --flash: 0 done, 1 chip or file refused, 2 bad arguments, "
            "3 port failure.");
        return r;
    }
    if (parser.isSet(version)) {
        r.action = CommandLineResult::Action::Version;
        r.text = QStringLiteral("zenta ") + QLatin1String(kVersionText) +
                 QStringLiteral(
                     "\nLicense GPL-3.0-or-later: GNU GPL version 3 or later "
                     "<https://gnu.org/licenses/gpl.html>.\nThis is free software: "
                     "you are free to change and redistribute it.\nThere is NO "
                     "WARRANTY, to the extent permitted by law.");
        return r;
    }
    if (parser.isSet(list)) {
        r.action = CommandLineResult::Action::List;
        return r;
    }
    for (const QCommandLineOption* o : {&noVerify, &erase, &noReset, &address}) {
        if (parser.isSet(*o) && !parser.isSet(flash)) {
            return Fail(QStringLiteral("--%1 goes only with --flash").arg(o->names().front()));
        }
    }
    if (parser.isSet(flash)) {
        r.action = CommandLineResult::Action::Flash;
        r.options.flash.file = parser.value(flash);
        if (r.options.flash.file.isEmpty()) {
            return Fail(QStringLiteral("--flash: the file name is empty"));
        }
        r.options.flash.verify = !parser.isSet(noVerify);
        r.options.flash.reset = !parser.isSet(noReset);
        if (parser.isSet(erase)) {
            const QString value = parser.value(erase).trimmed().toLower();
            if (value != QLatin1String("pages") && value != QLatin1String("all")) {
                return Fail(QStringLiteral("--erase: '%1' is neither pages nor all")
                                .arg(parser.value(erase)));
            }
            r.options.flash.erasePages = value == QLatin1String("pages");
        }
        if (parser.isSet(address)) {
            // 0x... in hex, else decimal: a leading zero never means octal here.
            const QString value = parser.value(address).trimmed();
            const bool hex = value.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
            bool ok = false;
            const qulonglong a = (hex ? value.mid(2) : value).toULongLong(&ok, hex ? 16 : 10);
            if (!ok || a > 0xFFFFFFFFull || (hex && value.size() == 2)) {
                return Fail(QStringLiteral("--address: '%1' is not an address such as 0x08004000")
                                .arg(parser.value(address)));
            }
            r.options.flash.address = static_cast<std::uint32_t>(a);
        }
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
    if (parser.isSet(line)) {
        TDataBits dataBits{};
        TParityBits parity{};
        TStopBits stopBits{};
        if (!ParseLineFormat(parser.value(line), dataBits, parity, stopBits)) {
            return Fail(QStringLiteral("--line: '%1' is not a line format such as 8N1")
                            .arg(parser.value(line)));
        }
        r.options.dataBits = dataBits;
        r.options.parity = parity;
        r.options.stopBits = stopBits;
    }
    if (parser.isSet(flow)) {
        const QString value = parser.value(flow).trimmed().toLower();
        if (value == QLatin1String("none")) {
            r.options.flow = FlowOption::None;
        } else if (value == QLatin1String("rtscts")) {
            r.options.flow = FlowOption::RtsCts;
        } else if (value == QLatin1String("xonxoff")) {
            r.options.flow = FlowOption::XonXoff;
        } else {
            return Fail(QStringLiteral("--flow: '%1' is not none, rtscts or xonxoff")
                            .arg(parser.value(flow)));
        }
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
