#pragma once
// What a panel of the main window may ask of the window around it. MainWindow
// implements this by handing each request to the panel that owns the thing asked
// for; panels never reach into one another.

#include <QString>
#include <string>

#include "datapath/TermKeys.h"

class QProgressBar;
class QTimer;
class TComPort;
class TStatusPanels;

namespace zenta {
class ReceiveView;
class ReceiveState;
}  // namespace zenta

class WindowLinks {
  public:
    virtual ~WindowLinks() = default;

    // ---- what every panel shares
    virtual TComPort& Port() = 0;
    virtual zenta::ReceiveState& Received() = 0;
    virtual zenta::ReceiveView* View() = 0;
    virtual QProgressBar* Progress() = 0;
    virtual TStatusPanels* Status() = 0;
    // Appends a text at the end of the receive window.
    virtual void Print(const QString& text) = 0;
    // While on, received bytes reach the chunk tap and the capture file at once and the
    // window shows them at its next turn (a Print shows them first, so the order stays).
    virtual void DeferReceiveDisplay(bool on) = 0;
    // Saves the settings file (what the save button does).
    virtual void SaveSettings() = 0;
    // The window's 100 ms refresh tick.
    virtual QTimer* RefreshTick() = 0;
    // True once the window has begun to close: long operations give up.
    virtual bool Closing() const = 0;

    // ---- the connection
    // The open button's action: opens the port, or closes it when marked open.
    virtual void OpenAction() = 0;
    virtual bool PortMarkedOpen() const = 0;
    // The port was lost or refused a request: the window is left safe (port closed,
    // automatic sends off, sending disabled).
    virtual void RecoverFromPortError() = 0;
    // The port went away during a write: close, try to reopen, else wait for the device.
    virtual void WaitForDevice() = 0;
    virtual void SetOpenEnabled(bool on) = 0;
    virtual void SetSendEnabled(bool on) = 0;
    virtual void SetSendFileEnabled(bool on) = 0;
    // Sending (the send button and the send-file button) follows the port.
    void SetSendingEnabled(bool on) {
        SetSendFileEnabled(on);
        SetSendEnabled(on);
    }

    // ---- the data path
    // Timed send and loop send off, StopFlag set.
    virtual void StopAutomaticSends() = 0;
    virtual bool HexDisplay() const = 0;
    virtual bool PacketSplit() const = 0;
    virtual void SetPacketSplit(bool on) = 0;
    // Reads up to `count` received bytes through the receive path; the bytes taken.
    virtual int ReceiveNow(int count, bool packetDecision) = 0;
    // Puts a prepared line into the send line (HEX box first) and, with `send`, sends it.
    virtual void UsePreparedLine(bool hex, const QString& text, bool send) = 0;
    // Loop send runs: the send line's own automatic options are locked meanwhile.
    virtual void SetLoopSendActive(bool on) = 0;
    virtual bool FileSendRunning() const = 0;
    virtual bool ProgrammerRunning() const = 0;
    // Path in the file row's path box.
    virtual QString FilePath() const = 0;
    // What Enter and the send line's line-end box send.
    virtual zenta::LineEnd SendLineEnd() const = 0;
};
