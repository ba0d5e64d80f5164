#pragma once
// The receiving side of XMODEM (checksum, CRC-16, 1K blocks) and YMODEM batches.

#include <cstdint>
#include <string>
#include <vector>

#include "transfer/FileStore.h"
#include "transfer/Transfer.h"

namespace zenta::transfer {

struct ReceiverOptions {
    bool ymodem = false;
    // Ask for CRC-16 with 'C'; XMODEM falls back to the checksum (NAK) after three 'C'
    // nobody answered. False asks for the checksum from the start.
    bool crc = true;
    // XMODEM carries no name.
    std::string xmodemName = "received.bin";
    // XMODEM (and YMODEM without a size) pads the last block with SUB; drop trailing SUBs.
    bool stripPadding = true;
    std::uint32_t startIntervalMs = 3000;  // between 'C' / NAK while waiting for a sender
    std::uint32_t blockTimeoutMs = 10000;  // silence before a block is asked for again
    std::uint32_t charTimeoutMs = 1000;    // silence inside a block
    std::uint32_t purgeQuietMs = 250;      // quiet line after a damaged block before the NAK
    std::uint32_t maxRetries = 10;         // in a row, for one block or one handshake
    // Blocks past a YMODEM size that are acknowledged and dropped before the run fails.
    std::uint32_t maxExtraBlocks = 16;
};

class TXYReceiver : public TTransfer {
  public:
    TXYReceiver(IReceiveSink& sink, ReceiverOptions options);

    void Start(std::uint64_t nowMs) override;
    void Feed(const std::uint8_t* data, std::size_t n, std::uint64_t nowMs) override;
    void Tick(std::uint64_t nowMs) override;

  private:
    std::string OnEnd(bool complete) override;
    void Byte(std::uint8_t b, std::uint64_t now);
    void HeaderByte(std::uint8_t b, std::uint64_t now);
    void FrameDone(std::uint64_t now);
    void Accept(const std::uint8_t* payload, std::size_t n, std::uint64_t now);
    void Eot(std::uint64_t now);
    // Counts an error; asks for the block again at once, or after the line went quiet.
    void BadBlock(const char* what, std::uint64_t now, bool purge);
    void AskAgain(std::uint64_t now);
    void Reply(std::uint8_t b, std::uint64_t now);
    void SendStart(std::uint64_t now);
    bool WriteOut(const std::uint8_t* data, std::size_t n);
    bool FlushHeld(bool last);
    bool OpenFile(const FileInfo& info);
    void FinishFile(std::uint64_t now);

    IReceiveSink& sink_;
    ReceiverOptions opt_;
    bool crc_;
    bool handshake_ = true;    // no block of this file (or batch header) seen yet
    bool wantHeader_ = false;  // YMODEM: block 0 expected next
    bool fileOpen_ = false;
    bool purging_ = false;             // dropping bytes until the line is quiet
    bool eotOnce_ = false;             // the first EOT was answered with NAK
    bool eotAcked_ = false;            // YMODEM: the last EOT was acknowledged
    std::uint8_t expect_ = 1;          // block number expected next
    std::uint32_t tries_ = 0;          // handshakes or errors in a row
    std::uint32_t quietStarts_ = 0;    // start requests nobody answered
    std::uint32_t extra_ = 0;          // blocks past the size
    std::vector<std::uint8_t> frame_;  // the block being received, control byte first
    std::size_t frameSize_ = 0;        // 0: between blocks
    std::vector<std::uint8_t> held_;   // last block, kept back to strip its padding
    std::int64_t left_ = -1;           // bytes the YMODEM header still promises
    TCancelWatch cancel_;
};

}  // namespace zenta::transfer
