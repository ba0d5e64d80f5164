#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zenta {

// What the command line asks of this start; unset fields keep the stored settings.
struct StartOptions {
    std::optional<QString> port;  // device path opened at start instead of the stored one
    std::optional<int> baudRate;  // bit rate, from the table or a custom rate
    QString configDir;            // absolute folder of the settings file; empty = default
    std::optional<bool> english;  // interface language of this start only
};

struct CommandLineResult {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    StartOptions options;
    // Help or version text for stdout, or the error for stderr (without a trailing newline).
    QString text;
    // Exit status when the program ends instead of running: 0, or 2 for a bad command line.
    int exitCode = 0;
};

// Lowest and highest bit rate a custom rate may have.
inline constexpr int kMinBitRate = 110;
inline constexpr int kMaxBitRate = 50000000;

// Parses argv (program name first). Qt's own options (-platform, -style, ...) are
// accepted and left for QApplication. Never exits the process.
CommandLineResult ParseCommandLine(const QStringList& arguments);

// A PORT argument as the window opens it: a bare name such as ttyUSB0 means /dev/ttyUSB0,
// a relative path is made absolute. nullopt when it cannot name a port.
std::optional<QString> PortFromArgument(const QString& argument);

}  // namespace zenta
