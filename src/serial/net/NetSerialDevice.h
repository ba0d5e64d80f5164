// A serial port on another machine, behind the same device interface as a local one:
// rfc2217:// speaks Telnet with the COM-PORT option to a serial server, socket:// carries
// plain bytes. Only ever connects; never listens.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "serial/SerialDevice.h"
#include "serial/net/ComPortOption.h"
#include "serial/net/NetUrl.h"
#include "serial/net/Telnet.h"

namespace zenta::net {

class TNetSerialDevice : public ISerialDevice {
  public:
    // Name lookup and connect together.
    static constexpr int kConnectMs = 5000;
    // How long the server may take to answer a batch of settings, or the option request.
    static constexpr int kAnswerMs = 1500;

    explicit TNetSerialDevice(int answerMs = kAnswerMs);
    ~TNetSerialDevice() override;

    int Open(const std::string& path) override;
    int Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    int PollFd() const override { return fd_; }

    int Configure(const TDCB& dcb) override;
    long Read(void* buf, std::size_t count) override;
    long Write(const void* buf, std::size_t count) override;

    int SetDTR(bool on) override;
    int SetRTS(bool on) override;
    int GetModemStatus(uint32_t& status) override;
    int SetBreak(bool on) override;
    int SetXonXoff(bool on) override;
    int Flush(bool input, bool output) override;
    int OutputQueue(int& count) override;
    int Counters(TLineCounters& counters) override;
    int TransmitChar(char ch) override;

    TWaitResult Wait(const TWakeEvent* wake, bool input, bool output, int timeoutMs) override;
    TDeviceFault Classify(int systemError) const override;
    std::vector<std::string> TakeNotes() override;

    // Why the last Open failed when the system error alone does not say (a refused name,
    // a server that does not speak the COM-PORT option).
    const std::string& OpenError() const { return openError_; }
    std::string ServerSignature() const;

  private:
    struct TLine {
        uint32_t baud = 0;
        uint8_t dataSize = 0, parity = 0, stopSize = 0, flow = 0;
        bool dtr = false, rts = false;
    };

    int OpenUrl(const std::string& path);
    int Connect(const TNetAddress& address);
    int Negotiate();
    // Sends already encoded bytes (queued when the socket is full). Returns an error number.
    int SendEncoded(const std::string& bytes);
    // Negotiation answers; dropped while the server leaves a full queue unread.
    void SendReplies(const std::string& bytes);
    int FlushTxLocked();
    // One receive from the socket into the decoded queue; ioMutex_ held. Returns the raw
    // count, 0 at the end of the stream, or a negated error number.
    long PumpLocked();
    // Reads the socket until pred holds (with ioMutex_ held) or timeoutMs pass.
    bool Await(const std::function<bool()>& pred, int timeoutMs);
    // Sends a SET-CONTROL and waits for its group's answer unless the server is known to
    // leave that group unanswered. Returns an error number (never for a missing answer).
    int Control(uint8_t value, const char* what);
    void NoteLocked(std::string text);
    void SignalData();
    std::size_t RxAvailLocked() const { return rxData_.size() - rxHead_; }

    const int answerMs_;
    int fd_ = -1;
    int dataEvent_ = -1;
    TNetScheme scheme_ = TNetScheme::Rfc2217;
    std::string openError_;

    // The decoder and what it learnt; received data not yet read.
    mutable std::mutex ioMutex_;
    TTelnetCodec codec_;
    TComPortAnswers answers_;
    std::string rxData_;
    std::size_t rxHead_ = 0;
    std::vector<char> raw_;
    bool eof_ = false;
    // The connection ended or failed: writes fail as on an unplugged adapter.
    std::atomic<bool> lost_{false};
    bool discardInput_ = false;
    std::vector<std::string> notes_;
    bool signatureNoted_ = false;
    bool purgeSilent_ = false;

    // Encoded bytes the socket has not taken yet.
    std::mutex sendMutex_;
    std::string txBuf_;
    std::size_t txHead_ = 0;
    int sendError_ = 0;
    std::atomic<bool> outputHeld_{false};
    // The server asked us to pause sending (FLOWCONTROL-SUSPEND).
    std::atomic<bool> serverSuspended_{false};

    // Line settings last sent; the server's silence on DTR/RTS is only waited out once.
    std::mutex configMutex_;
    std::optional<TLine> sent_;
    bool controlSilent_ = false;
    bool socketNoted_ = false;
};

}  // namespace zenta::net

// A network port device (rfc2217:// or socket://).
std::unique_ptr<ISerialDevice> CreateNetSerialDevice();
