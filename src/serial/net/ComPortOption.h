// RFC 2217 (Telnet COM-PORT-OPTION, 44): the client's commands as bytes to send, and the
// server's answers and notifications as state. No sockets.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zenta::net {

namespace cpo {
// Client commands; the server answers with the same code plus kServer.
constexpr uint8_t kSignature = 0;
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kNotifyLineState = 6;
constexpr uint8_t kNotifyModemState = 7;
constexpr uint8_t kFlowControlSuspend = 8;
constexpr uint8_t kFlowControlResume = 9;
constexpr uint8_t kSetLineStateMask = 10;
constexpr uint8_t kSetModemStateMask = 11;
constexpr uint8_t kPurgeData = 12;
constexpr uint8_t kCommands = 13;
constexpr uint8_t kServer = 100;

// SET-PARITY values.
constexpr uint8_t kParityNone = 1, kParityOdd = 2, kParityEven = 3, kParityMark = 4,
                  kParitySpace = 5;
// SET-STOPSIZE values.
constexpr uint8_t kStop1 = 1, kStop2 = 2, kStop15 = 3;
// SET-CONTROL values.
constexpr uint8_t kFlowNone = 1, kFlowXonXoff = 2, kFlowHardware = 3;
constexpr uint8_t kBreakOn = 5, kBreakOff = 6;
constexpr uint8_t kDtrOn = 8, kDtrOff = 9;
constexpr uint8_t kRtsOn = 11, kRtsOff = 12;
// PURGE-DATA values.
constexpr uint8_t kPurgeReceive = 1, kPurgeTransmit = 2, kPurgeBoth = 3;
// Line state bits.
constexpr uint8_t kLineBreak = 16, kLineFraming = 8, kLineParity = 4, kLineOverrun = 2;
constexpr uint8_t kLineErrors = kLineBreak | kLineFraming | kLineParity | kLineOverrun;
// Modem state bits (the same as the MS_* bits of the engine).
constexpr uint8_t kModemDcd = 128, kModemRi = 64, kModemDsr = 32, kModemCts = 16;

// SET-CONTROL values fall in groups, each answered with its own state.
enum TControlGroup : uint8_t { cgOutFlow, cgBreak, cgDtr, cgRts, cgInFlow, cgGroups };
TControlGroup ControlGroup(uint8_t value);
}  // namespace cpo

// A whole sub-negotiation of option 44 (IAC SB 44 command value IAC SE), value escaped.
std::string ComPortCommand(uint8_t command, std::string_view value);
std::string ComPortCommand(uint8_t command, uint8_t value);
std::string SetBaudRateCommand(uint32_t rate);
// A signature request when text is empty.
std::string SignatureCommand(std::string_view text);

// What the server has answered and notified so far.
class TComPortAnswers {
  public:
    // Longest signature kept.
    static constexpr std::size_t kMaxSignature = 256;

    // Takes the payload of one option-44 sub-negotiation from the server. Returns false
    // for one it does not understand (ignored).
    bool Take(std::string_view payload);

    // Counts answers, so a waiter sees a new one arrive even when its value repeats.
    uint32_t Answers(uint8_t command) const { return answers_[command]; }
    uint32_t ControlAnswers(cpo::TControlGroup g) const { return controlAnswers_[g]; }

    uint32_t BaudRate() const { return baudRate_; }
    uint8_t DataSize() const { return dataSize_; }
    uint8_t Parity() const { return parity_; }
    uint8_t StopSize() const { return stopSize_; }
    uint8_t Control(cpo::TControlGroup g) const { return control_[g]; }
    uint8_t ModemState() const { return modemState_; }
    uint8_t LineState() const { return lineState_; }
    // How many notifications carried each error bit (framing, parity, overrun, break).
    uint32_t LineErrorCount(uint8_t bit) const;
    // The server asked us to stop sending (FLOWCONTROL-SUSPEND) and has not resumed.
    bool Suspended() const { return suspended_; }
    const std::string& Signature() const { return signature_; }
    // The server asked for our signature; cleared by taking it.
    bool TakeSignatureRequest();

  private:
    std::array<uint32_t, cpo::kCommands> answers_{};
    std::array<uint32_t, cpo::cgGroups> controlAnswers_{};
    std::array<uint8_t, cpo::cgGroups> control_{};
    uint32_t baudRate_ = 0;
    uint8_t dataSize_ = 0;
    uint8_t parity_ = 0;
    uint8_t stopSize_ = 0;
    uint8_t modemState_ = 0;
    uint8_t lineState_ = 0;
    std::array<uint32_t, 4> lineErrors_{};
    bool suspended_ = false;
    bool signatureRequested_ = false;
    std::string signature_;
};

}  // namespace zenta::net
