#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "serial/CPortTypes.h"

namespace zenta {

enum class FlowOption { None, RtsCts, XonXoff };

// What `--flash FILE` asks of the programmer.
struct FlashOptions {
    QString file;
    bool verify = true;       // --no-verify clears it
    bool erasePages = false;  // --erase pages: only the pages or sectors the image covers
    bool reset = true;        // --no-reset: the chip is already in its bootloader
    // --address: where a raw binary file starts; unset = the flash base.
    std::optional<std::uint32_t> address;
};

// What the command line asks of this start; unset fields keep the stored settings.
struct StartOptions {
    std::optional<QString> port;  // device path opened at start instead of the stored one
    std::optional<int> baudRate;  // bit rate, from the table or a custom rate
    QString configDir;            // absolute folder of the settings file; empty = default
    std::optional<bool> english;  // interface language of this start only
    // --line 8N1: data bits, parity, stop bits.
    std::optional<TDataBits> dataBits;
    std::optional<TParityBits> parity;
    std::optional<TStopBits> stopBits;
    std::optional<FlowOption> flow;  // --flow none|rtscts|xonxoff
    FlashOptions flash;              // with Action::Flash
};

struct CommandLineResult {
    // Flash and List run without a window (and without a display).
    enum class Action { Run, Help, Version, Error, Flash, List };
    Action action = Action::Run;
    StartOptions options;
    // Help or version text for stdout, or the error for stderr (without a trailing newline).
    QString text;
    // Exit status when the program ends instead of running: 0, or 2 for a bad command line.
    // --flash ends with 0 done, 1 chip or file refused, 2 bad arguments, 3 port failure.
    int exitCode = 0;
};

// Lowest and highest bit rate a custom rate may have.
inline constexpr int kMinBitRate = 110;
inline constexpr int kMaxBitRate = 50000000;

// Parses argv (program name first). Qt's own options (-platform, -style, ...) are
// accepted and left for QApplication. Never exits the process.
CommandLineResult ParseCommandLine(const QStringList& arguments);
// The same from main()'s arguments, in the locale's encoding.
CommandLineResult ParseCommandLine(int argc, char* argv[]);

// "8N1", "7E2", "8n1.5": data bits 5 to 8, parity N/E/O/M/S, stop bits 1, 1.5 or 2.
bool ParseLineFormat(const QString& text, TDataBits& dataBits, TParityBits& parity,
                     TStopBits& stopBits);

// A PORT argument as the window opens it: a bare name such as ttyUSB0 means /dev/ttyUSB0,
// a relative path is made absolute. nullopt when it cannot name a port.
std::optional<QString> PortFromArgument(const QString& argument);

}  // namespace zenta
