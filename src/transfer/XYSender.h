#pragma once
// The sending side of XMODEM (128-byte or 1K blocks; checksum or CRC-16 as the receiver
// asks) and YMODEM batches.

#include <cstdint>
#include <string>
#include <vector>

#include "transfer/FileStore.h"
#include "transfer/Transfer.h"

namespace zenta::transfer {

enum class XYProtocol { Xmodem, Xmodem1K, Ymodem };

struct SenderOptions {
    XYProtocol protocol = XYProtocol::Xmodem;
    std::uint32_t startTimeoutMs = 60000;  // how long a receiver may take to ask for a file
    std::uint32_t ackTimeoutMs = 10000;    // silence after a block before it goes again
    std::uint32_t maxRetries = 10;         // sends of one block
    // Wait for the ACK of YMODEM's closing empty block. Every file was confirmed by then, so
    // silence ends the run as done: lrzsz's rb, for one, may exit before its ACK is read.
    std::uint32_t endTimeoutMs = 2000;
};

class TXYSender : public TTransfer {
  public:
    TXYSender(ISendSource& source, SenderOptions options);

    void Start(std::uint64_t nowMs) override;
    void Feed(const std::uint8_t* data, std::size_t n, std::uint64_t nowMs) override;
    void Tick(std::uint64_t nowMs) override;

  private:
    enum class Phase {
        WaitStart,      // for 'C' / NAK before the first block of a file (or the batch end)
        WaitHeaderAck,  // YMODEM block 0 sent
        WaitDataStart,  // YMODEM: block 0 acknowledged, 'C' to come
        WaitAck,        // a data block sent
        WaitEotAck,
        WaitEndAck,  // YMODEM: the empty block 0 sent
    };

    std::string OnEnd(bool complete) override;
    void Byte(std::uint8_t b, std::uint64_t now);
    void Began(std::uint8_t b, std::uint64_t now);
    bool NextFile();
    bool LoadBlock();
    void SendFrame(std::uint64_t now);
    void SendEot(std::uint64_t now);
    void Again(std::uint64_t now);
    void FileDone(std::uint64_t now);
    void FrameFrom(std::uint8_t number, const std::uint8_t* data, std::size_t n);

    ISendSource& source_;
    SenderOptions opt_;
    Phase phase_ = Phase::WaitStart;
    bool crc_ = true;
    bool batchEnd_ = false;   // YMODEM: no file left, the empty header goes next
    bool fileEnded_ = false;  // the source has no more bytes
    std::uint8_t number_ = 1;
    std::uint32_t tries_ = 0;
    std::size_t payload_ = 0;  // file bytes in the frame in flight
    std::int64_t left_ = -1;   // YMODEM: bytes the header announced and not yet read
    std::uint64_t startBy_ = 0;
    std::vector<std::uint8_t> frame_;
    std::vector<std::uint8_t> data_;
    FileInfo file_;
    TCancelWatch cancel_;
};

}  // namespace zenta::transfer
