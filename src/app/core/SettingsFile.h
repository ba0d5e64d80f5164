#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace zenta {

inline constexpr int kPreparedRows = 50;
inline constexpr char kSettingsFileName[] = "zenta5.ini";

// Bit rate per baud-rate index; index 0 is the custom rate, stored as 0.
inline constexpr std::array<int, 26> kBaudRateTable = {
    0,      110,    300,    600,    1200,   2400,    4800,    9600,   14400,
    19200,  38400,  56000,  57600,  115200, 128000,  230400,  256000, 460800,
    500000, 512000, 600000, 750000, 921600, 1000000, 1500000, 2000000};
inline constexpr int kDefaultBaudIndex = 13;  // 115200

struct PreparedRow {
    bool hex = false;
    QString text;
    QString note;
};

// Everything the settings file records, taken from the window's controls.
struct SettingsSnapshot {
    bool english = false;                         // N100
    QString portName;                             // N80
    int baudRate = 115200;                        // N81: kBaudRateTable entry (0 for a custom rate)
    int windowWidth = 850;                        // N82
    int windowHeight = 600;                       // N83
    int windowLeft = 250;                         // N84
    int windowTop = 180;                          // N85
    int sidePanelWidth = 317;                     // N86
    int sendButtonWidth = 119;                    // N87
    QString fontName;                             // N88
    int fontSize = 9;                             // N89
    std::array<PreparedRow, kPreparedRows> rows;  // N1..N50 and notes N101..N150
    QString filePath;                             // N52
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
};

// Built-in prepared rows: row 1 HEX "13 00 FF 88", row 2 "output string", the rest
// empty with the note "<n>无注释".
std::array<PreparedRow, kPreparedRows> DefaultPreparedRows();
// The window's start-up state with the built-in rows (port name and font left empty).
SettingsSnapshot DefaultSettingsSnapshot();

// Before a save the send line's text goes to the slot of its current mode.
void StoreSendLine(SettingsSnapshot& s, const QString& sendLine);

// The whole file: GB18030, lines broken by CR CR LF, ";end" last without a break.
QByteArray BuildSettingsFile(const SettingsSnapshot& s);

// One key line of the file, in file order.
struct SettingsKeyLine {
    int key = 0;  // 0 when the key text is not an integer
    QString marker;
    QString value;
};

// Splits the whole file (no size limit) into key lines. A line ends at LF; bytes
// after the last LF form no line. Lines starting with ";" or CR are skipped. Every
// field stops at CR or at the end of its line, so CR LF and LF-only files read the
// same and nothing is ever read from the next line. A line without "=" is not a key
// line and is skipped; a line without "," has its marker up to the CR and an empty value.
std::vector<SettingsKeyLine> ParseSettingsFile(const QByteArray& file);

// Pure rules of the loader, one per key, so the window only applies results.
int BaudIndexFromSetting(const QString& value);        // N81: 1..25, else 13
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

// Applies one key line to a snapshot the way the loader applies it to the window
// (unknown keys are ignored). Handy for tools and for checking a file's content.
void ApplySettingsLine(const SettingsKeyLine& line, SettingsSnapshot& s);
SettingsSnapshot LoadSettingsSnapshot(const QByteArray& file, SettingsSnapshot base);

// Where the file lives: the executable's folder when it can be written to, else
// <configHome>/zenta/. The live variant reads the application folder and XDG paths.
QString ComputeSettingsPath(const QString& exeDir, bool exeDirWritable, const QString& configHome);
QString SettingsFilePath();
// Folder for saved and captured data: the executable's folder, else <dataHome>/zenta/.
QString ComputeDataFolder(const QString& exeDir, bool exeDirWritable, const QString& dataHome);
QString DataFolderPath();

// Reads the file read-only (so a read-only file still loads); nullopt when it cannot be read.
std::optional<QByteArray> ReadSettingsFile(const QString& path);
// Writes the bytes in one piece, creating the folder; a file marked read-only is
// left alone and counts as a failure. On failure `error` (if given) says why.
bool WriteSettingsFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

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
