#pragma once
// The second settings file, zenta-ext.ini beside zenta5.ini: every option the original
// program does not have. zenta5.ini itself never gains a key.

#include <QSettings>
#include <QString>
#include <memory>

#include "datapath/TermKeys.h"
#include "datapath/text/TextEncoding.h"

namespace zenta {

inline constexpr char kExtSettingsFileName[] = "zenta-ext.ini";

// Path of the second file, in the folder of the first.
QString ExtSettingsPath();
std::unique_ptr<QSettings> OpenExtSettings();

// How the receive window works as a device's console.
struct ConsoleOptions {
    bool charMode = false;            // every key goes out at once
    LineEnd lineEnd = LineEnd::CrLf;  // what Enter and the send line's line-end box send
    bool localEcho = false;           // character mode shows typed keys itself
    bool backspaceDel = true;         // Backspace sends DEL (7Fh), else BS (08h)
    int pasteDelayMs = 0;             // between characters of a paste, for slow bootloaders
    int breakMs = 250;

    void Load(QSettings& settings);
    void Save(QSettings& settings) const;
    bool operator==(const ConsoleOptions&) const = default;
};

// How received text is shown and captured.
struct DisplayOptions {
    TextEncoding encoding = TextEncoding::Gb18030;
    bool ansiColours = true;     // colour sequences shown as colours
    bool lineStamps = false;     // "[hh:mm:ss.mmm] " before each received line, display only
    bool captureStamps = false;  // the same stamps in the capture file
    bool crNewLine = false;      // a CR without LF ends the line (CR-only devices)
    int termColumns = 80;        // the screen width devices draw for; 0 = unlimited

    void Load(QSettings& settings);
    void Save(QSettings& settings) const;
    bool operator==(const DisplayOptions&) const = default;
};

}  // namespace zenta
