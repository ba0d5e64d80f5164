#pragma once

#include <QByteArray>
#include <QString>

#include "serial/CPortTypes.h"

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace zenta {

inline constexpr int kPreparedRows = 50;
inline constexpr char kSettingsFileName[] = "zenta5.ini";
inline constexpr TBaudRate kDefaultBaudRate = br115200;

// The key numbers of the settings file (the N of "N<key>=<marker>,<value>"); the writer,
// the loader and the window all name keys through this.
enum class SettingsKey : int {
    Row = 1,  // N1..N50: a prepared row's text, marker "H" for HEX
    FilePath = 52,
    TextLine = 53,  // the send line's text in text mode
    HexLine = 54,   // ... and in HEX mode
    HexSend = 55,
    TimedInterval = 56,
    AppendCrLf = 57,
    LoopInterval = 58,
    HexDisplay = 59,
    Checksum = 60,
    PacketDisplay = 64,
    PacketTimeout = 65,
    PortName = 80,
    BaudRate = 81,
    WindowWidth = 82,
    WindowHeight = 83,
    WindowLeft = 84,
    WindowTop = 85,
    SidePanelWidth = 86,
    SendButtonWidth = 87,
    FontName = 88,
    FontSize = 89,
    English = 100,
    Note = 101,  // N101..N150: a prepared row's note
};

// The key number of a key; rows 0..49 for Row and Note.
constexpr int KeyNumber(SettingsKey key, int row = 0) {
    return static_cast<int>(key) + row;
}

struct PreparedRow {
    bool hex = false;
    QString text;
    QString note;
    bool operator==(const PreparedRow&) const = default;
};

// Everything the settings file records, taken from the window's controls.
struct SettingsSnapshot {
    bool english = false;                                  // N100
    QString portName;                                      // N80
    int baudRate = 115200;                                 // N81: bit rate (0 for a custom rate)
    int windowWidth = 850;                                 // N82
    int windowHeight = 600;                                // N83
    int windowLeft = 250;                                  // N84
    int windowTop = 180;                                   // N85
    int sidePanelWidth = 317;                              // N86
    int sendButtonWidth = 119;                             // N87
    QString fontName;                                      // N88
    int fontSize = 9;                                      // N89
    std::array<PreparedRow, kPreparedRows> rows;           // N1..N50 and notes N101..N150
    QString filePath;                                      // N52
    QString savedTextLine = QStringLiteral("abcdefg");     // N53
    QString savedHexLine = QStringLiteral("12 FF 00 30");  // N54
    bool hexSend = false;                                  // N55
    QString timedInterval = QStringLiteral("1000");        // N56
    bool appendCrLf = false;                               // N57
    QString loopInterval = QStringLiteral("1000");         // N58
    bool hexDisplay = false;                               // N59
    int checksumIndex = 0;                                 // N60
    bool packetDisplay = false;                            // N64
    QString packetTimeout = QStringLiteral("20");          // N65
    bool operator==(const SettingsSnapshot&) const = default;
};

// Built-in prepared rows: row 1 HEX "13 00 FF 88", row 2 "output string", the rest
// empty with the note "<n>无注释".
std::array<PreparedRow, kPreparedRows> DefaultPreparedRows();
// The window's start-up state with the built-in rows (port name and font left empty).
SettingsSnapshot DefaultSettingsSnapshot();

// The whole file: GB18030, lines broken by CR CR LF, ";end" last without a break.
QByteArray BuildSettingsFile(const SettingsSnapshot& s);

// One key line of the file, in file order.
struct SettingsKeyLine {
    int key = 0;  // 0 when the key text is not an integer
    QString marker;
    QString value;
};

// Splits the whole file (no size limit) into key lines. A line ends at CR, LF, CR LF or
// CR CR LF, so files from any editor read the same; the last line needs no break. Empty
// lines and lines starting with ";" are skipped. A line without "=" is not a key line and
// is skipped; a line without "," has its marker up to the line's end and an empty value.
std::vector<SettingsKeyLine> ParseSettingsFile(const QByteArray& file);

// Pure rules of the loader, one per key.
TBaudRate BaudRateFromSetting(const QString& value);   // N81: a listed rate, else 115200
int WindowWidthFromSetting(const QString& value);      // N82
int WindowHeightFromSetting(const QString& value);     // N83
int WindowLeftFromSetting(const QString& value);       // N84
int WindowTopFromSetting(const QString& value);        // N85
int SidePanelWidthFromSetting(const QString& value);   // N86
int SendButtonWidthFromSetting(const QString& value);  // N87
int FontSizeFromSetting(const QString& value);         // N89
int ChecksumIndexFromSetting(const QString& value);    // N60: out of 0..3 counts as 0 (None)
bool EnglishFromSetting(const QString& value);         // N100
bool HexRowFromMarker(const QString& marker);          // N1..N50
std::optional<bool> HexSendFromSetting(const QString& marker, const QString& value);  // N55
bool YesFromSetting(const QString& value);                                            // N57
std::optional<bool> YesNoFromSetting(const QString& value);    // N59: nullopt = unchanged
std::optional<bool> YesOnlyFromSetting(const QString& value);  // N64: only "Y" changes it

// A key line the loader took: which key, and the row for Row and Note.
struct SettingsKeyHit {
    SettingsKey key = SettingsKey::Row;
    int row = 0;
};

// Applies one key line to a snapshot by the rules above; nullopt for a key the file
// format does not have (ignored). A key whose rule says "unchanged" still counts as taken.
std::optional<SettingsKeyHit> ApplySettingsLine(const SettingsKeyLine& line, SettingsSnapshot& s);

// The loader: every key line of the file, in file order, applied to `base`. After each
// taken line `taken` (if given) sees the snapshot so far and the key, which is how the
// window passes each value on to its controls in the file's order.
using SettingsKeyTaken = std::function<void(const SettingsSnapshot&, SettingsKeyHit)>;
SettingsSnapshot LoadSettingsSnapshot(const QByteArray& file, SettingsSnapshot base,
                                      const SettingsKeyTaken& taken = {});

// Where the file lives: the executable's folder for a portable copy (the user's own,
// writable folder outside the system's program folders: PortableFolder), else
// <configHome>/zenta/. The live variant reads the application folder and XDG paths.
QString ComputeSettingsPath(const QString& exeDir, bool portable, const QString& configHome);
QString SettingsFilePath();

// Reads the file read-only (so a read-only file still loads); nullopt when it cannot be read.
std::optional<QByteArray> ReadSettingsFile(const QString& path);
// True when the loader can read `file` as a settings file: empty, or holding at least
// one key it takes. Anything else (another program's file, UTF-16, binary) is not.
bool IsSettingsFile(const QByteArray& file);
// To run before anything is written over `path`: an existing file that is not a settings
// file is copied to "<path>.bak" (or a free name beside it when that exists). False when
// the file exists but could not be read or copied; then it must not be written over.
// `error` says why; `backup` (if given) gets the copy's path when one was made.
bool KeepUnreadableSettingsFile(const QString& path, QString* error = nullptr,
                                QString* backup = nullptr);
// Writes the bytes in one piece, creating the folder; a file marked read-only is
// left alone and counts as a failure, and an existing file that is not a settings file
// is kept first (above). On failure `error` (if given) says why; `backup` (if given) gets
// the path of such a copy when this write made one.
bool WriteSettingsFile(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                       QString* backup = nullptr);

// Saves run on every key release, so a failing save reports once and then stays
// quiet until a save has succeeded again.
class SaveFailureLatch {
  public:
    // Returns true when this failure should be shown to the user.
    bool OnSaveResult(bool ok) {
        if (ok) {
            reported_ = false;
            return false;
        }
        const bool show = !reported_;
        reported_ = true;
        return show;
    }

  private:
    bool reported_ = false;
};

}  // namespace zenta
