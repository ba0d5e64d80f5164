#include "app/core/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <utility>

#include "datapath/DataFolder.h"
#include "datapath/SettingsValues.h"
#include "text/Gb18030.h"

namespace zenta {

namespace {

int IntOr(const QString& value, int fallback) {
    const QByteArray utf8 = value.toUtf8();
    return ParseIntegerOr(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                          fallback);
}

QString Yn(bool b) {
    return b ? QStringLiteral("Y") : QStringLiteral("N");
}

// The file's text as it is built: lines joined with CR LF, in one growing string.
class FileLines {
  public:
    FileLines() { text_.reserve(8192); }
    void Add(const QString& line) {
        Break();
        text_ += line;
    }
    // "N<key>=<marker>,<value>"
    void Key(SettingsKey key, const QString& value, const QString& marker = {}, int row = 0) {
        Break();
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, KeyNumber(key, row)).ptr;
        text_ += QLatin1Char('N');
        text_ += QLatin1StringView(digits, end - digits);
        text_ += QLatin1Char('=');
        text_ += marker;
        text_ += QLatin1Char(',');
        text_ += value;
    }
    const QString& Text() const { return text_; }

  private:
    void Break() {
        if (!first_) {
            text_ += QLatin1StringView("\r\n");
        }
        first_ = false;
    }
    QString text_;
    bool first_ = true;
};

}  // namespace

std::array<PreparedRow, kPreparedRows> DefaultPreparedRows() {
    std::array<PreparedRow, kPreparedRows> rows;
    for (int i = 0; i < kPreparedRows; ++i) {
        rows[i].note = QString::number(i + 1) + QString::fromUtf8("无注释");
    }
    rows[0] = {true, QStringLiteral("13 00 FF 88"), QString::fromUtf8("十六进制数据串1")};
    rows[1] = {false, QStringLiteral("output string"), QString::fromUtf8("字符串1")};
    return rows;
}

SettingsSnapshot DefaultSettingsSnapshot() {
    SettingsSnapshot s;
    s.rows = DefaultPreparedRows();
    return s;
}

QByteArray BuildSettingsFile(const SettingsSnapshot& s) {
    FileLines lines;
    auto add = [&lines](const char* utf8) { lines.Add(QString::fromUtf8(utf8)); };
    add(";删除本文件可以恢复默认值。");
    add(";这是ZENTA的设置保存文件,您在程序中设置好的串口参数和字符串数据都会自动保存,"
        "请最好不要用外部编辑器改动本文件!");
    add(";如果文件被修改后程序不能打开,请删除本文件,程序将会自动生成一个新的ini文件.");
    add(";靠行首的半角分号是注释符号");
    add(";每行都以回车结束");
    add(";C:Chinese汉语,E:English");
    lines.Key(SettingsKey::English,
              s.english ? QStringLiteral("English") : QString::fromUtf8("汉语"));
    add(";当前串口号Port");
    lines.Key(SettingsKey::PortName, s.portName);
    add(";波特率Band rate");
    lines.Key(SettingsKey::BaudRate, QString::number(s.baudRate));
    add(";保存窗口宽度");
    lines.Key(SettingsKey::WindowWidth, QString::number(s.windowWidth));
    add(";保存窗口高度");
    lines.Key(SettingsKey::WindowHeight, QString::number(s.windowHeight));
    add(";保存窗口left");
    lines.Key(SettingsKey::WindowLeft, QString::number(s.windowLeft));
    add(";保存窗口top");
    lines.Key(SettingsKey::WindowTop, QString::number(s.windowTop));
    add(";分割线位置");
    lines.Key(SettingsKey::SidePanelWidth, QString::number(s.sidePanelWidth));
    add(";多条命令的宽度");
    lines.Key(SettingsKey::SendButtonWidth, QString::number(s.sendButtonWidth));
    add(";保存窗口字体名称");
    lines.Key(SettingsKey::FontName, s.fontName);
    add(";保存窗口字体大小");
    lines.Key(SettingsKey::FontSize, QString::number(s.fontSize));
    add(";\"=\"后面的H表示这是个HEX数据串");
    add(";\"=\"后面的A表示这是个ASC字符串");
    add(";Nx表示第几条定义的字符串(1<x<=50)");
    for (int i = 0; i < kPreparedRows; ++i) {
        const PreparedRow& row = s.rows[static_cast<std::size_t>(i)];
        lines.Key(SettingsKey::Note, row.note, {}, i);
        lines.Key(SettingsKey::Row, row.text, row.hex ? QStringLiteral("H") : QStringLiteral("A"),
                  i);
        lines.Add({});
    }
    add(";打开文件地址和名称");
    lines.Key(SettingsKey::FilePath, s.filePath);
    lines.Add({});
    add(";主面板ASC字符串");
    lines.Key(SettingsKey::TextLine, s.savedTextLine);
    add(";主面板HEX数据串");
    lines.Key(SettingsKey::HexLine, s.savedHexLine);
    add(";主面板发送方式(ASC or HEX)");
    lines.Key(SettingsKey::HexSend, s.hexSend ? QStringLiteral("H") : QStringLiteral("A"));
    add(";主面板字符串发送间隔时间ms");
    lines.Key(SettingsKey::TimedInterval, s.timedInterval);
    add(";主面板字符串发送新行");
    lines.Key(SettingsKey::AppendCrLf, Yn(s.appendCrLf));
    add(";多条字符串发送间隔时间ms");
    lines.Key(SettingsKey::LoopInterval, s.loopInterval);
    add(";接收窗口是否HEX显示方式");
    lines.Key(SettingsKey::HexDisplay, Yn(s.hexDisplay));
    add(";校验方式,1=None，2=modbusCRC16，3=ADD，4=XOR");
    lines.Key(SettingsKey::Checksum, QString::number(s.checksumIndex));
    add(";是否超时换行");
    lines.Key(SettingsKey::PacketDisplay, Yn(s.packetDisplay));
    add(";换行超时时间ms");
    lines.Key(SettingsKey::PacketTimeout, s.packetTimeout);
    add(";end");

    // Lines are joined with CR LF and every LF is then written as CR LF, which is
    // what gives the file its CR CR LF breaks.
    QByteArray bytes = ToGb18030(lines.Text());
    bytes.replace("\n", "\r\n");
    return bytes;
}

namespace {

// The end of the line that starts at `from` and the start of the next one. A line ends
// at CR, LF, CR LF or CR CR LF (the writer's own break); the last line may have none.
std::pair<qsizetype, qsizetype> LineEnd(const char* data, qsizetype size, qsizetype from) {
    const auto left = static_cast<std::size_t>(size - from);
    const void* lf = std::memchr(data + from, '\n', left);
    const qsizetype lfAt = lf ? static_cast<const char*>(lf) - data : size;
    const void* cr = std::memchr(data + from, '\r', static_cast<std::size_t>(lfAt - from));
    const qsizetype i = cr ? static_cast<const char*>(cr) - data : lfAt;
    if (i == size || data[i] == '\n') {
        return {i, std::min(i + 1, size)};
    }
    if (i + 1 < size && data[i + 1] == '\n') {
        return {i, i + 2};
    }
    if (i + 2 < size && data[i + 1] == '\r' && data[i + 2] == '\n') {
        return {i, i + 3};
    }
    return {i, i + 1};
}

// The text of a file's fields. Plain ASCII, which most fields are, is the same in GB18030
// and needs no converter; the converter is made once per file (a file has hundreds of
// fields) and starts each field afresh.
class FieldDecoder {
  public:
    QString operator()(const char* data, qsizetype size) {
        const QByteArrayView bytes(data, size);
        return IsAscii(data, size) ? QString::fromLatin1(bytes) : Decode(bytes);
    }

  private:
    // Eight bytes at a time: the check runs over every field of every file loaded.
    static bool IsAscii(const char* data, qsizetype size) {
        qsizetype i = 0;
        for (; i + 8 <= size; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, data + i, sizeof word);
            if (word & 0x8080808080808080u) {
                return false;
            }
        }
        unsigned char high = 0;
        for (; i < size; ++i) {
            high |= static_cast<unsigned char>(data[i]);
        }
        return high < 0x80;
    }

    QString Decode(QByteArrayView bytes) {
        if (!decoder_) {
            decoder_.emplace("GB18030");
        }
        if (!decoder_->isValid()) {
            return FromGb18030(bytes);
        }
        decoder_->resetState();
        return decoder_->decode(bytes);
    }

    std::optional<QStringDecoder> decoder_;
};

}  // namespace

std::vector<SettingsKeyLine> ParseSettingsFile(const QByteArray& file) {
    std::vector<SettingsKeyLine> result;
    result.reserve(128);  // a saved file has about 110 key lines
    FieldDecoder text;
    const char* data = file.constData();
    const qsizetype size = file.size();
    qsizetype next = 0;
    while (next < size) {
        const qsizetype begin = next;
        const std::pair<qsizetype, qsizetype> bounds = LineEnd(data, size, begin);
        const qsizetype end = bounds.first;
        next = bounds.second;
        if (begin == end || data[begin] == ';') {
            continue;
        }
        auto scan = [&](qsizetype from, char stop) {
            if (from >= end) {
                return end;
            }
            const void* at = std::memchr(data + from, stop, static_cast<std::size_t>(end - from));
            return at ? static_cast<qsizetype>(static_cast<const char*>(at) - data) : end;
        };
        const qsizetype keyEnd = scan(begin + 1, '=');
        if (keyEnd >= end) {
            continue;  // no "=" on this line: not a key line
        }
        SettingsKeyLine line;
        line.key = ParseIntegerOr(
            std::string_view(data + begin + 1, static_cast<std::size_t>(keyEnd - begin - 1)), 0);
        const qsizetype markerEnd = scan(keyEnd + 1, ',');
        line.marker = text(data + keyEnd + 1, markerEnd - keyEnd - 1);
        if (markerEnd < end) {
            line.value = text(data + markerEnd + 1, end - markerEnd - 1);
        }
        result.push_back(std::move(line));
    }
    return result;
}

TBaudRate BaudRateFromSetting(const QString& value) {
    // The rates as texts, made once: the value is compared as text ("09600" is no rate).
    static const std::vector<QString> texts = [] {
        std::vector<QString> t;
        for (int i = br110; i <= br2000000; ++i) {
            t.push_back(QString::number(BaudRateValue(static_cast<TBaudRate>(i))));
        }
        return t;
    }();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (value == texts[i]) {
            return static_cast<TBaudRate>(br110 + static_cast<int>(i));
        }
    }
    return kDefaultBaudRate;
}

int WindowWidthFromSetting(const QString& value) {
    return std::max(400, IntOr(value, 850));
}
int WindowHeightFromSetting(const QString& value) {
    return std::max(300, IntOr(value, 600));
}
int WindowLeftFromSetting(const QString& value) {
    return IntOr(value, 250);
}
int WindowTopFromSetting(const QString& value) {
    return IntOr(value, 180);
}
int SidePanelWidthFromSetting(const QString& value) {
    return IntOr(value, 515);
}
int SendButtonWidthFromSetting(const QString& value) {
    return IntOr(value, 120);
}
int FontSizeFromSetting(const QString& value) {
    return IntOr(value, 9);
}
int ChecksumIndexFromSetting(const QString& value) {
    const int index = IntOr(value, 0);
    return index >= 0 && index <= 3 ? index : 0;
}
bool EnglishFromSetting(const QString& value) {
    return value == QLatin1String("English");
}
bool HexRowFromMarker(const QString& marker) {
    return marker == QLatin1String("H");
}
std::optional<bool> HexSendFromSetting(const QString& marker, const QString& value) {
    if (value == QLatin1String("H") || marker == QLatin1String("H")) {
        return true;
    }
    if (value == QLatin1String("A") || marker == QLatin1String("A")) {
        return false;
    }
    return std::nullopt;
}
bool YesFromSetting(const QString& value) {
    return value == QLatin1String("Y");
}
std::optional<bool> YesNoFromSetting(const QString& value) {
    if (value == QLatin1String("Y")) {
        return true;
    }
    if (value == QLatin1String("N")) {
        return false;
    }
    return std::nullopt;
}
std::optional<bool> YesOnlyFromSetting(const QString& value) {
    if (value == QLatin1String("Y")) {
        return true;
    }
    return std::nullopt;
}

std::optional<SettingsKeyHit> ApplySettingsLine(const SettingsKeyLine& line, SettingsSnapshot& s) {
    const int k = line.key;
    const QString& v = line.value;
    if (k >= KeyNumber(SettingsKey::Row) && k < KeyNumber(SettingsKey::Row, kPreparedRows)) {
        const int row = k - KeyNumber(SettingsKey::Row);
        PreparedRow& target = s.rows[static_cast<std::size_t>(row)];
        target.hex = HexRowFromMarker(line.marker);
        target.text = v;
        return SettingsKeyHit{SettingsKey::Row, row};
    }
    if (k >= KeyNumber(SettingsKey::Note) && k < KeyNumber(SettingsKey::Note, kPreparedRows)) {
        const int row = k - KeyNumber(SettingsKey::Note);
        s.rows[static_cast<std::size_t>(row)].note = v;
        return SettingsKeyHit{SettingsKey::Note, row};
    }
    const auto key = static_cast<SettingsKey>(k);
    switch (key) {
        case SettingsKey::English:
            s.english = EnglishFromSetting(v);
            break;
        case SettingsKey::PortName:
            s.portName = v;
            break;
        case SettingsKey::BaudRate:
            s.baudRate = BaudRateValue(BaudRateFromSetting(v));
            break;
        case SettingsKey::WindowWidth:
            s.windowWidth = WindowWidthFromSetting(v);
            break;
        case SettingsKey::WindowHeight:
            s.windowHeight = WindowHeightFromSetting(v);
            break;
        case SettingsKey::WindowLeft:
            s.windowLeft = WindowLeftFromSetting(v);
            break;
        case SettingsKey::WindowTop:
            s.windowTop = WindowTopFromSetting(v);
            break;
        case SettingsKey::SidePanelWidth:
            s.sidePanelWidth = SidePanelWidthFromSetting(v);
            break;
        case SettingsKey::SendButtonWidth:
            s.sendButtonWidth = SendButtonWidthFromSetting(v);
            break;
        case SettingsKey::FontName:
            s.fontName = v;
            break;
        case SettingsKey::FontSize:
            s.fontSize = FontSizeFromSetting(v);
            break;
        case SettingsKey::FilePath:
            s.filePath = v;
            break;
        case SettingsKey::TextLine:
            s.savedTextLine = v;
            break;
        case SettingsKey::HexLine:
            s.savedHexLine = v;
            break;
        case SettingsKey::HexSend:
            s.hexSend = HexSendFromSetting(line.marker, v).value_or(s.hexSend);
            break;
        case SettingsKey::TimedInterval:
            s.timedInterval = v;
            break;
        case SettingsKey::AppendCrLf:
            s.appendCrLf = YesFromSetting(v);
            break;
        case SettingsKey::LoopInterval:
            s.loopInterval = v;
            break;
        case SettingsKey::HexDisplay:
            s.hexDisplay = YesNoFromSetting(v).value_or(s.hexDisplay);
            break;
        case SettingsKey::Checksum:
            s.checksumIndex = ChecksumIndexFromSetting(v);
            break;
        case SettingsKey::PacketDisplay:
            s.packetDisplay = YesOnlyFromSetting(v).value_or(s.packetDisplay);
            break;
        case SettingsKey::PacketTimeout:
            s.packetTimeout = v;
            break;
        default:
            return std::nullopt;  // not a key of the file: ignored
    }
    return SettingsKeyHit{key, 0};
}

SettingsSnapshot LoadSettingsSnapshot(const QByteArray& file, SettingsSnapshot base,
                                      const SettingsKeyTaken& taken) {
    for (const SettingsKeyLine& line : ParseSettingsFile(file)) {
        if (const std::optional<SettingsKeyHit> hit = ApplySettingsLine(line, base); hit && taken) {
            taken(base, *hit);
        }
    }
    return base;
}

QString ComputeSettingsPath(const QString& exeDir, bool portable, const QString& configHome) {
    const QString folder = portable ? exeDir : configHome + QStringLiteral("/zenta");
    return QDir(folder).filePath(QLatin1String(kSettingsFileName));
}

namespace {
QString ExeDir() {
    return QCoreApplication::applicationDirPath();
}
// The same rule as the data folder's, so settings and saved data agree on where the
// program's folder is used: a portable copy's own folder, never a system folder.
bool ExeDirPortable() {
    return zenta::PortableFolder(QFile::encodeName(ExeDir()).toStdString());
}
}  // namespace

QString SettingsFilePath() {
    // GenericConfigLocation is $XDG_CONFIG_HOME (or ~/.config) itself.
    return ComputeSettingsPath(
        ExeDir(), ExeDirPortable(),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

std::optional<QByteArray> ReadSettingsFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return f.readAll();
}

bool IsSettingsFile(const QByteArray& file) {
    if (file.isEmpty()) {
        return true;
    }
    SettingsSnapshot scratch;
    for (const SettingsKeyLine& line : ParseSettingsFile(file)) {
        if (ApplySettingsLine(line, scratch)) {
            return true;
        }
    }
    return false;
}

bool KeepUnreadableSettingsFile(const QString& path, QString* error, QString* backup) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return true;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = QStringLiteral("%1 cannot be read: %2").arg(path, f.errorString());
        }
        return false;
    }
    const QByteArray old = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error) {
            *error = QStringLiteral("%1 cannot be read: %2").arg(path, f.errorString());
        }
        return false;
    }
    if (IsSettingsFile(old)) {
        return true;
    }
    // Never over an earlier backup: that may be the user's only copy.
    const std::string wanted = QFile::encodeName(path + QStringLiteral(".bak")).toStdString();
    const QString target = QFile::decodeName(QByteArray::fromStdString(zenta::FreePath(wanted)));
    std::string why;
    if (!zenta::WriteNewFile(
            QFile::encodeName(target).toStdString(),
            std::string_view(old.constData(), static_cast<std::size_t>(old.size())), &why)) {
        if (error) {
            *error = QStringLiteral("%1 cannot be kept as %2: %3")
                         .arg(path, target, QString::fromLocal8Bit(why.c_str()));
        }
        return false;
    }
    if (backup) {
        *backup = target;
    }
    return true;
}

bool WriteSettingsFile(const QString& path, const QByteArray& bytes, QString* error,
                       QString* backup) {
    auto fail = [error](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    const QFileInfo info(path);
    // Also honour the permission bits: a superuser may write anything, but a file
    // marked read-only is the user's wish to keep it.
    const auto writeBits =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & writeBits))) {
        return fail(QStringLiteral("%1 is read-only").arg(path));
    }
    // Likewise a folder marked read-only: its file cannot be created.
    const QFileInfo folder(info.absolutePath());
    if (folder.isDir() &&
        !zenta::FolderWritable(QFile::encodeName(folder.absoluteFilePath()).toStdString())) {
        return fail(QStringLiteral("%1 is read-only").arg(folder.absoluteFilePath()));
    }
    if (!QDir().mkpath(info.absolutePath())) {
        return fail(QStringLiteral("cannot create %1").arg(info.absolutePath()));
    }
    // A file the loader could not read is the user's, not ours: keep it before replacing it.
    QString why;
    if (!KeepUnreadableSettingsFile(path, &why, backup)) {
        return fail(why);
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        return fail(f.errorString());
    }
    if (f.write(bytes) != bytes.size() || !f.commit()) {
        return fail(f.errorString());
    }
    return true;
}

}  // namespace zenta
