#pragma once
// What every protocol run shares: the bytes it wants written, its progress, how it ended.
// A run has no thread and no timer of its own: the owner feeds it the port's bytes and calls
// Tick at Deadline(), always with the same millisecond clock.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zenta::transfer {

// Control characters of XMODEM and YMODEM.
inline constexpr std::uint8_t kSoh = 0x01;  // 128-byte block
inline constexpr std::uint8_t kStx = 0x02;  // 1024-byte block
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kBs = 0x08;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kCan = 0x18;
inline constexpr std::uint8_t kSub = 0x1A;  // padding of a short last block
inline constexpr std::uint8_t kCrcRequest = 'C';

enum class TransferState {
    Running,
    Done,             // every file went through
    Failed,           // retries exhausted, a time-out, a file error or a broken header
    Cancelled,        // Cancel() here
    RemoteCancelled,  // the other side sent CAN CAN
};

struct TransferProgress {
    std::uint64_t bytes = 0;    // file bytes acknowledged (sender) or written (receiver)
    std::int64_t total = -1;    // size of the current file when known
    std::uint32_t files = 0;    // files completed
    std::uint32_t retries = 0;  // blocks or handshakes sent again
    std::uint32_t errors = 0;   // bad blocks, time-outs and stray bytes seen
    std::string fileName;       // current file
};

class TTransfer {
  public:
    virtual ~TTransfer() = default;

    virtual void Start(std::uint64_t nowMs) = 0;
    // Bytes from the port, as they arrived.
    virtual void Feed(const std::uint8_t* data, std::size_t n, std::uint64_t nowMs) = 0;
    // Time-outs; calling it early does no harm.
    virtual void Tick(std::uint64_t nowMs) = 0;
    // Stops the run: CAN x5 and backspaces go out, a partial file keeps its partial name.
    void Cancel(std::uint64_t nowMs);

    // Bytes to write to the port since the last call.
    std::string TakeOutput();
    bool HasOutput() const { return !out_.empty(); }
    // When Tick next has something to do.
    std::uint64_t Deadline() const { return deadline_; }

    bool Finished() const { return state_ != TransferState::Running; }
    TransferState State() const { return state_; }
    // One line for the user on how the run ended (empty while it runs).
    const std::string& Message() const { return message_; }
    const TransferProgress& Progress() const { return progress_; }

  protected:
    // Ends the run; a failure of any kind also sends the cancel sequence when sendCancel.
    void End(TransferState state, std::string message, bool sendCancel);
    // Called once when the run ends, to close or keep a file; what it returns is added to
    // the message (where a partial file was kept).
    virtual std::string OnEnd(bool complete) = 0;
    void Put(std::uint8_t b) { out_.push_back(static_cast<char>(b)); }
    void Put(const std::uint8_t* data, std::size_t n) {
        out_.append(reinterpret_cast<const char*>(data), n);
    }

    std::string out_;
    std::uint64_t deadline_ = 0;
    TransferProgress progress_;

  private:
    TransferState state_ = TransferState::Running;
    std::string message_;
};

// Two CANs in a row where a control byte is expected mean the other side gave up.
class TCancelWatch {
  public:
    // True when this byte completes a cancel.
    bool See(std::uint8_t b) {
        count_ = b == kCan ? count_ + 1 : 0;
        return count_ >= 2;
    }
    void Reset() { count_ = 0; }

  private:
    int count_ = 0;
};

}  // namespace zenta::transfer
