#pragma once

#include <QString>

namespace zenta {

// User-facing texts of the window. Two-language texts are chosen when shown; the few
// one-language texts read the same in both (the `english` flag is then ignored).
enum class MsgId {
    // Start-up warnings about the system code page (one language each).
    TraditionalSystemWarning,
    EnglishSystemWarning,
    // Opening the port and driving DTR/RTS.
    OpenError,
    DtrError,
    RtsError,
    // Custom bit rate dialog (English only).
    CustomBaudCaption,
    CustomBaudPrompt,
    CustomBaudNotANumber,
    CustomBaudNone,
    CustomBaudTooHigh,
    CustomBaudTooLow,
    CustomBaudUnsupported,
    // Settings file could not be written.
    IniError,
    // A settings file the loader could not read was kept under another name (%1).
    SettingsKeptAs,
    // Another window holds the settings folder (%1): this one does not save.
    SettingsInUse,
    // Status bar port state word.
    PortOpenedState,
    PortClosedState,
    // The device did not take a line value; %1 lists them.
    LineNotTaken,
    // Packet timeout plausibility note.
    PacketTimeoutNote,
    // Send line.
    InvalidHexSend,
    InvalidHexKey,
    EmptyPayloadChecksum,
    OpeningPort,
    AutoRepair,
    ClosingPort,
    ReopeningPort,
    ReopenFailed,
    TimedIntervalEmpty,
    TimedIntervalZero,
    // Prepared strings.
    NotePrompt,
    LoopIntervalEmpty,
    LoopIntervalZero,
};

QString Msg(MsgId id, bool english);

// Modem input texts of the status bar: "CTS=1 " / "CTS=0 " and so on.
QString CtsText(bool on);
QString DsrText(bool on);
QString RlsdText(bool on);

}  // namespace zenta
