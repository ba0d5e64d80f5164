#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// What a programming run needs of the world around it. The window implements these on
// the real port and controls; tests implement them on a pseudo-terminal without a window.
namespace zenta::isp {

// A port operation failed (the device refused it or is gone).
class PortError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class IspPort {
  public:
    virtual ~IspPort() = default;
    virtual bool Connected() const = 0;
    // One blocking write of the whole frame. Throws PortError.
    virtual void Write(std::string_view frame) = 0;
    // Throw PortError.
    virtual void SetDTR(bool on) = 0;
    virtual void SetRTS(bool on) = 0;
    virtual void SetOneStopBit() = 0;
    // The bootloader needs eight data bits. Throws PortError.
    virtual void SetEightDataBits() {}
    // The device went away while the run waited for it (unplugged adapter).
    virtual bool Lost() const = 0;
};

// The line settings a run changes, as the port engine's ordinals (bit-rate table,
// TDataBits, TParityBits, TStopBits).
struct IspLine {
    int baudOrdinal = 0;
    int dataBits = 3;  // dbEight
    int parity = 0;    // prNone
    int stopBits = 0;  // sbOneStopBit
};

// The clock, the event loop and the Stop button.
class IspEvents {
  public:
    virtual ~IspEvents() = default;
    virtual std::uint64_t NowMs() = 0;
    // Serves the window's pending events (received bytes, timers, Stop). With maxWaitMs > 0
    // it blocks until at least one event was served or maxWaitMs passed, so waiting for a
    // silent chip costs no CPU.
    virtual void ServeEvents(int maxWaitMs) = 0;
    virtual bool StopFlag() const = 0;
    virtual void SetStopFlag(bool on) = 0;
};

// Texts for the user: UTF-8.
class IspMessages {
  public:
    virtual ~IspMessages() = default;
    virtual bool English() const = 0;
    // Appends to the receive window.
    virtual void Print(const std::string& text) = 0;
    virtual void MessageBox(const std::string& text) = 0;
    // Asks a yes/no question; true only on the user's yes. Without a way to ask, no.
    virtual bool Confirm(const std::string& /*text*/) { return false; }
};

// The window's controls that a run takes over and gives back.
class IspWindow {
  public:
    virtual ~IspWindow() = default;
    virtual void SetStartEnabled(bool on) = 0;
    virtual void SetOpenEnabled(bool on) = 0;
    virtual void SetSendFileEnabled(bool on) = 0;
    virtual void SetSendEnabled(bool on) = 0;
    virtual void ClearReceiveText() = 0;
    virtual void CaretToEnd() = 0;
    virtual void Repaint() = 0;
    virtual bool PacketSplit() const = 0;
    virtual void SetPacketSplit(bool on) = 0;
    // Loop send and timed send off, their timers stopped.
    virtual void StopAutomaticSends() = 0;
    // The Open button's action; false when it raised a port error.
    virtual bool OpenAction() = 0;
    // Bit-rate ordinal of the port; setting it sets the combo box and the port (throws).
    virtual int BaudOrdinal() const = 0;
    virtual void SetBaudOrdinal(int ordinal) = 0;
    // Bits per second of the port's present ordinal.
    virtual int BitRate() const = 0;
    // Even or no parity on the port and in the parity box (throws).
    virtual void SetParityEven(bool even) = 0;
    virtual void OpenPort() = 0;   // throws PortError
    virtual void ClosePort() = 0;  // never throws
    virtual void SetProgress(int position, bool visible) = 0;
    // "S:" and "File:" panels during the block loop.
    virtual void ShowBlockStatus(std::int64_t txCount, std::int64_t blockOffset) = 0;
    virtual std::int64_t AddTxCount(std::int64_t bytes) = 0;
    // rxCount = 0, raw and HEX accumulators emptied.
    virtual void ResetReceiveCount() = 0;
    // RTS and DTR boxes unchecked (their handlers run).
    virtual void ReleaseResetBoxes() = 0;
    virtual std::string FileName() const = 0;

    // The port's line settings and the boxes that show them, taken before the run and put
    // back at every ending. A window that cannot offer them returns false; the run then
    // puts back the bit rate and sets no parity, as it always did.
    virtual bool SaveLine(IspLine& /*line*/) const { return false; }
    virtual void RestoreLine(const IspLine& /*line*/) {}  // throws PortError
    // After a port failure of a run that opened the port itself: the port stays closed,
    // so the window must not reopen it when the device comes back.
    virtual void ForgetPort() {}
};

}  // namespace zenta::isp
