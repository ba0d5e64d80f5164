#include "transfer/XYReceiver.h"

#include <algorithm>
#include <utility>

#include "transfer/Crc.h"
#include "transfer/YmodemHeader.h"

namespace zenta::transfer {

TXYReceiver::TXYReceiver(IReceiveSink& sink, ReceiverOptions options)
    : sink_(sink), opt_(std::move(options)), crc_(opt_.crc || opt_.ymodem) {
    frame_.reserve(3 + 1024 + 2);
}

void TXYReceiver::Start(std::uint64_t nowMs) {
    wantHeader_ = opt_.ymodem;
    expect_ = opt_.ymodem ? 0 : 1;
    if (!opt_.ymodem && !OpenFile(FileInfo{opt_.xmodemName, -1, 0})) {
        return;
    }
    SendStart(nowMs);
}

bool TXYReceiver::OpenFile(const FileInfo& info) {
    std::string error;
    if (!sink_.Open(info, error)) {
        End(TransferState::Failed, error, true);
        return false;
    }
    fileOpen_ = true;
    held_.clear();
    left_ = info.size;
    extra_ = 0;
    progress_.fileName = info.name;
    progress_.total = info.size;
    return true;
}

void TXYReceiver::SendStart(std::uint64_t now) {
    // XMODEM senders that know no CRC stay silent on 'C': after three, ask for the checksum.
    if (!opt_.ymodem && crc_ && quietStarts_ >= 3) {
        crc_ = false;
    }
    Put(crc_ ? kCrcRequest : kNak);
    deadline_ = now + opt_.startIntervalMs;
}

void TXYReceiver::Reply(std::uint8_t b, std::uint64_t now) {
    Put(b);
    deadline_ = now + opt_.blockTimeoutMs;
}

void TXYReceiver::Feed(const std::uint8_t* data, std::size_t n, std::uint64_t nowMs) {
    for (std::size_t i = 0; i < n && !Finished(); ++i) {
        Byte(data[i], nowMs);
    }
}

void TXYReceiver::Byte(std::uint8_t b, std::uint64_t now) {
    if (purging_) {
        // Skip the rest of a damaged block: only a quiet line is a known place to restart.
        deadline_ = now + opt_.purgeQuietMs;
        return;
    }
    if (frameSize_ == 0) {
        HeaderByte(b, now);
        return;
    }
    frame_.push_back(b);
    deadline_ = now + opt_.charTimeoutMs;
    if (frame_.size() == 3 && static_cast<std::uint8_t>(frame_[1] + frame_[2]) != 0xFF) {
        BadBlock("a broken block number", now, true);
        return;
    }
    if (frame_.size() == frameSize_) {
        FrameDone(now);
    }
}

void TXYReceiver::HeaderByte(std::uint8_t b, std::uint64_t now) {
    if (cancel_.See(b)) {
        End(TransferState::RemoteCancelled, "The sender cancelled the transfer", false);
        return;
    }
    if (b == kSoh || b == kStx) {
        frame_.assign(1, b);
        frameSize_ = 3 + (b == kSoh ? 128 : 1024) + (crc_ ? 2 : 1);
        deadline_ = now + opt_.charTimeoutMs;
    } else if (b == kEot) {
        Eot(now);
    } else if (b != kCan) {
        // Out of step with the sender (the rest of a block, line noise): wait for quiet.
        ++progress_.errors;
        purging_ = true;
        deadline_ = now + opt_.purgeQuietMs;
    }
}

void TXYReceiver::FrameDone(std::uint64_t now) {
    const std::size_t len = frameSize_ - 3 - (crc_ ? 2 : 1);
    const std::uint8_t* payload = frame_.data() + 3;
    const std::uint8_t number = frame_[1];
    frameSize_ = 0;
    bool good;
    if (crc_) {
        const std::uint16_t want =
            static_cast<std::uint16_t>((frame_[3 + len] << 8) | frame_[3 + len + 1]);
        good = Crc16(payload, len) == want;
    } else {
        good = Checksum8(payload, len) == frame_[3 + len];
    }
    if (!good) {
        BadBlock("bad block check", now, true);
        return;
    }
    cancel_.Reset();
    eotOnce_ = false;
    eotAcked_ = false;
    if (number == expect_) {
        tries_ = 0;
        handshake_ = false;
        Accept(payload, len, now);
        return;
    }
    // Our ACK was lost and the sender repeats the block (in YMODEM, also the header just
    // before the data): confirm it again.
    if (number == static_cast<std::uint8_t>(expect_ - 1) &&
        (!handshake_ || (opt_.ymodem && expect_ == 1))) {
        ++progress_.retries;
        Reply(kAck, now);
        if (opt_.ymodem && number == 0) {
            Put(kCrcRequest);  // the sender also waits for the start of the data again
        }
        return;
    }
    End(TransferState::Failed,
        "Block " + std::to_string(number) + " out of sequence (expected " +
            std::to_string(expect_) + ")",
        true);
}

void TXYReceiver::BadBlock(const char* what, std::uint64_t now, bool purge) {
    ++progress_.errors;
    frameSize_ = 0;
    frame_.clear();
    if (++tries_ > opt_.maxRetries) {
        End(TransferState::Failed, std::string("Too many errors in a row (") + what + ")", true);
        return;
    }
    if (purge) {
        purging_ = true;
        deadline_ = now + opt_.purgeQuietMs;
        return;
    }
    AskAgain(now);
}

void TXYReceiver::AskAgain(std::uint64_t now) {
    ++progress_.retries;
    if (handshake_) {
        SendStart(now);
    } else {
        Reply(kNak, now);
    }
}

void TXYReceiver::Accept(const std::uint8_t* payload, std::size_t n, std::uint64_t now) {
    if (wantHeader_) {
        FileInfo info;
        switch (ParseYmodemHeader(payload, n, info)) {
            case HeaderKind::EndOfBatch:
                Put(kAck);
                End(TransferState::Done,
                    "Received " + std::to_string(progress_.files) + " file(s), " +
                        std::to_string(progress_.bytes) + " bytes",
                    false);
                return;
            case HeaderKind::Malformed:
                End(TransferState::Failed, "The sender's file header is malformed", true);
                return;
            case HeaderKind::File:
                break;
        }
        if (!OpenFile(info)) {
            return;
        }
        wantHeader_ = false;
        handshake_ = true;  // the data starts after another 'C'
        expect_ = 1;
        Put(kAck);
        SendStart(now);
        return;
    }
    ++expect_;
    if (left_ >= 0) {
        // The header's size is the truth: padding and anything past it are dropped.
        if (left_ == 0 && ++extra_ > opt_.maxExtraBlocks) {
            End(TransferState::Failed, "The sender sends more than the size it announced", true);
            return;
        }
        const std::size_t take = static_cast<std::size_t>(std::min<std::int64_t>(left_, n));
        if (!WriteOut(payload, take)) {
            return;
        }
        left_ -= static_cast<std::int64_t>(take);
    } else {
        if (!FlushHeld(false)) {
            return;
        }
        held_.assign(payload, payload + n);
    }
    Reply(kAck, now);
}

bool TXYReceiver::WriteOut(const std::uint8_t* data, std::size_t n) {
    std::string error;
    if (n > 0 && !sink_.Write(data, n, error)) {
        End(TransferState::Failed, error, true);
        return false;
    }
    progress_.bytes += n;
    return true;
}

bool TXYReceiver::FlushHeld(bool last) {
    std::size_t n = held_.size();
    if (last && opt_.stripPadding) {
        while (n > 0 && held_[n - 1] == kSub) {
            --n;
        }
    }
    const bool ok = WriteOut(held_.data(), n);
    held_.clear();
    return ok;
}

void TXYReceiver::Eot(std::uint64_t now) {
    if (eotAcked_) {
        // Our ACK to the last EOT was lost.
        ++progress_.retries;
        Put(kAck);
        SendStart(now);
        return;
    }
    if (wantHeader_ || !fileOpen_) {
        ++progress_.errors;
        return;
    }
    // A single EOT may be a damaged byte: only a repeated one ends the file.
    if (!eotOnce_) {
        eotOnce_ = true;
        Reply(kNak, now);
        return;
    }
    eotOnce_ = false;
    if (!FlushHeld(true)) {
        return;
    }
    if (left_ > 0) {
        End(TransferState::Failed,
            progress_.fileName + " ended " + std::to_string(left_) +
                " bytes short of the size the sender announced",
            true);
        return;
    }
    Put(kAck);
    FinishFile(now);
}

void TXYReceiver::FinishFile(std::uint64_t now) {
    const std::string where = sink_.Close(true);
    fileOpen_ = false;
    ++progress_.files;
    if (!opt_.ymodem) {
        End(TransferState::Done,
            "Received " + where + " (" + std::to_string(progress_.bytes) + " bytes)", false);
        return;
    }
    wantHeader_ = true;
    handshake_ = true;
    eotAcked_ = true;
    expect_ = 0;
    tries_ = 0;
    SendStart(now);
}

void TXYReceiver::Tick(std::uint64_t nowMs) {
    if (Finished() || nowMs < deadline_) {
        return;
    }
    if (purging_) {
        purging_ = false;
        AskAgain(nowMs);
        return;
    }
    if (frameSize_ != 0) {
        // The rest of the block never came.
        BadBlock("a block stopped short", nowMs, false);
        return;
    }
    if (handshake_) {
        if (++tries_ > opt_.maxRetries) {
            End(TransferState::Failed, "No answer from the sender", true);
            return;
        }
        ++progress_.retries;
        ++quietStarts_;
        SendStart(nowMs);
        return;
    }
    BadBlock("the sender went quiet", nowMs, false);
}

std::string TXYReceiver::OnEnd(bool /*complete*/) {
    if (!fileOpen_) {
        return {};
    }
    // Every block that passed its check belongs in the partial file, padding and all.
    if (!held_.empty()) {
        std::string error;
        if (sink_.Write(held_.data(), held_.size(), error)) {
            progress_.bytes += held_.size();
        }
        held_.clear();
    }
    fileOpen_ = false;
    const std::string kept = sink_.Close(false);
    return kept.empty() ? std::string() : "partial file kept as " + kept;
}

}  // namespace zenta::transfer
