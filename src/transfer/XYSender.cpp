#include "transfer/XYSender.h"

#include <algorithm>
#include <utility>

#include "transfer/Crc.h"
#include "transfer/YmodemHeader.h"

namespace zenta::transfer {

TXYSender::TXYSender(ISendSource& source, SenderOptions options)
    : source_(source), opt_(std::move(options)) {
    frame_.reserve(3 + 1024 + 2);
    data_.reserve(1024);
}

void TXYSender::Start(std::uint64_t nowMs) {
    if (!NextFile()) {
        return;
    }
    phase_ = Phase::WaitStart;
    startBy_ = nowMs + opt_.startTimeoutMs;
    deadline_ = startBy_;
}

bool TXYSender::NextFile() {
    std::string error;
    file_ = FileInfo{};
    if (!source_.Next(file_, error)) {
        if (!error.empty()) {
            End(TransferState::Failed, error, true);
            return false;
        }
        if (opt_.protocol != XYProtocol::Ymodem || progress_.files == 0) {
            End(TransferState::Failed, "No file to send", true);
            return false;
        }
        batchEnd_ = true;
        return true;
    }
    fileEnded_ = false;
    left_ = opt_.protocol == XYProtocol::Ymodem ? file_.size : -1;
    number_ = opt_.protocol == XYProtocol::Ymodem ? 0 : 1;
    progress_.fileName = file_.name;
    progress_.total = file_.size;
    return true;
}

void TXYSender::Feed(const std::uint8_t* data, std::size_t n, std::uint64_t nowMs) {
    for (std::size_t i = 0; i < n && !Finished(); ++i) {
        const std::size_t before = out_.size();
        Byte(data[i], nowMs);
        // What came with the answer we just acted on was sent before our new frame, so it
        // cannot be about it: a doubled ACK would otherwise confirm a block never received.
        if (out_.size() != before) {
            for (std::size_t k = i + 1; k < n; ++k) {
                ++progress_.errors;
                if (cancel_.See(data[k])) {
                    End(TransferState::RemoteCancelled, "The receiver cancelled the transfer",
                        false);
                    return;
                }
            }
            return;
        }
    }
}

void TXYSender::Byte(std::uint8_t b, std::uint64_t now) {
    if (cancel_.See(b)) {
        End(TransferState::RemoteCancelled, "The receiver cancelled the transfer", false);
        return;
    }
    switch (phase_) {
        case Phase::WaitStart:
        case Phase::WaitDataStart:
            if (b == kCrcRequest || b == kNak) {
                Began(b, now);
            } else if (b == kAck && phase_ == Phase::WaitDataStart) {
                // The header's ACK came twice: still waiting for the 'C'.
            } else if (b != kCan) {
                ++progress_.errors;
            }
            return;
        case Phase::WaitHeaderAck:
        case Phase::WaitAck:
        case Phase::WaitEndAck:
            if (b == kAck) {
                tries_ = 0;
                if (phase_ == Phase::WaitEndAck) {
                    End(TransferState::Done,
                        "Sent " + std::to_string(progress_.files) + " file(s), " +
                            std::to_string(progress_.bytes) + " bytes",
                        false);
                    return;
                }
                if (phase_ == Phase::WaitHeaderAck) {
                    ++number_;
                    phase_ = Phase::WaitDataStart;
                    deadline_ = now + opt_.ackTimeoutMs;
                    return;
                }
                progress_.bytes += payload_;
                ++number_;
                if (!LoadBlock()) {
                    return;
                }
                if (data_.empty()) {
                    SendEot(now);
                } else {
                    SendFrame(now);
                }
            } else if (b == kNak) {
                ++progress_.errors;
                Again(now);
            } else if (b != kCan && b != kCrcRequest) {
                // A stray 'C' is a late start request; anything else is noise.
                ++progress_.errors;
            }
            return;
        case Phase::WaitEotAck:
            if (b == kAck) {
                FileDone(now);
            } else if (b == kNak) {
                // Receivers answer the first EOT with NAK by design.
                SendEot(now);
            } else if (b != kCan && b != kCrcRequest) {
                ++progress_.errors;
            }
            return;
    }
}

void TXYSender::Began(std::uint8_t b, std::uint64_t now) {
    crc_ = b == kCrcRequest;
    tries_ = 0;
    if (phase_ == Phase::WaitDataStart) {
        if (!LoadBlock()) {
            return;
        }
        if (data_.empty()) {
            SendEot(now);
        } else {
            SendFrame(now);
        }
        return;
    }
    if (batchEnd_) {
        const std::vector<std::uint8_t> empty(128, 0);
        FrameFrom(0, empty.data(), empty.size());
        payload_ = 0;
        phase_ = Phase::WaitEndAck;
        Put(frame_.data(), frame_.size());
        deadline_ = now + opt_.endTimeoutMs;
        return;
    }
    if (opt_.protocol == XYProtocol::Ymodem) {
        const std::vector<std::uint8_t> header = BuildYmodemHeader(file_);
        FrameFrom(0, header.data(), header.size());
        payload_ = 0;
        phase_ = Phase::WaitHeaderAck;
        Put(frame_.data(), frame_.size());
        deadline_ = now + opt_.ackTimeoutMs;
        return;
    }
    if (!LoadBlock()) {
        return;
    }
    if (data_.empty()) {
        SendEot(now);
    } else {
        SendFrame(now);
    }
}

bool TXYSender::LoadBlock() {
    data_.clear();
    if (fileEnded_) {
        return true;
    }
    // 1K blocks need CRC-16; a last piece of up to 128 bytes goes in a short block.
    const bool big = opt_.protocol != XYProtocol::Xmodem && crc_;
    std::size_t want = 128;
    if (big) {
        want = 1024;
    }
    if (left_ >= 0) {
        want = static_cast<std::size_t>(std::min<std::int64_t>(want, left_));
    }
    data_.resize(want);
    std::string error;
    std::size_t got = 0;
    while (got < want) {
        const long r = source_.Read(data_.data() + got, want - got, error);
        if (r < 0) {
            End(TransferState::Failed, "Cannot read " + file_.name + ": " + error, true);
            return false;
        }
        if (r == 0) {
            break;
        }
        got += static_cast<std::size_t>(r);
    }
    data_.resize(got);
    if (got < want || (left_ >= 0 && (left_ -= static_cast<std::int64_t>(got)) == 0)) {
        fileEnded_ = true;
    }
    if (left_ > 0 && fileEnded_) {
        End(TransferState::Failed, file_.name + " became shorter while it was sent", true);
        return false;
    }
    return true;
}

void TXYSender::FrameFrom(std::uint8_t number, const std::uint8_t* data, std::size_t n) {
    const std::size_t size = n <= 128 ? 128 : 1024;
    frame_.assign(1, size == 128 ? kSoh : kStx);
    frame_.push_back(number);
    frame_.push_back(static_cast<std::uint8_t>(~number));
    frame_.insert(frame_.end(), data, data + n);
    // YMODEM headers pad with NUL (built full size), file data with SUB.
    frame_.resize(3 + size, kSub);
    const std::uint8_t* body = frame_.data() + 3;
    if (crc_) {
        const std::uint16_t c = Crc16(body, size);
        frame_.push_back(static_cast<std::uint8_t>(c >> 8));
        frame_.push_back(static_cast<std::uint8_t>(c));
    } else {
        frame_.push_back(Checksum8(body, size));
    }
}

void TXYSender::SendFrame(std::uint64_t now) {
    FrameFrom(number_, data_.data(), data_.size());
    payload_ = data_.size();
    phase_ = Phase::WaitAck;
    Put(frame_.data(), frame_.size());
    deadline_ = now + opt_.ackTimeoutMs;
}

void TXYSender::SendEot(std::uint64_t now) {
    if (phase_ == Phase::WaitEotAck) {
        if (++tries_ > opt_.maxRetries) {
            End(TransferState::Failed, "The receiver did not confirm the end of the file", true);
            return;
        }
        // The first NAK is the receiver's check that the EOT was meant.
        if (tries_ > 1) {
            ++progress_.retries;
        }
    }
    payload_ = 0;
    phase_ = Phase::WaitEotAck;
    Put(kEot);
    deadline_ = now + opt_.ackTimeoutMs;
}

void TXYSender::Again(std::uint64_t now) {
    if (++tries_ > opt_.maxRetries) {
        End(TransferState::Failed,
            "Block " + std::to_string(number_) + " was refused " + std::to_string(opt_.maxRetries) +
                " times",
            true);
        return;
    }
    ++progress_.retries;
    Put(frame_.data(), frame_.size());
    deadline_ = now + opt_.ackTimeoutMs;
}

void TXYSender::FileDone(std::uint64_t now) {
    ++progress_.files;
    tries_ = 0;
    if (opt_.protocol != XYProtocol::Ymodem) {
        End(TransferState::Done,
            "Sent " + file_.name + " (" + std::to_string(progress_.bytes) + " bytes)", false);
        return;
    }
    if (!NextFile()) {
        return;
    }
    phase_ = Phase::WaitStart;
    startBy_ = now + opt_.startTimeoutMs;
    deadline_ = startBy_;
}

void TXYSender::Tick(std::uint64_t nowMs) {
    if (Finished() || nowMs < deadline_) {
        return;
    }
    switch (phase_) {
        case Phase::WaitStart:
            End(TransferState::Failed, "No receiver asked for the file", true);
            return;
        case Phase::WaitDataStart:
            // The 'C' after the header was lost: the header again brings ACK and 'C' back.
            phase_ = Phase::WaitHeaderAck;
            --number_;
            Again(nowMs);
            return;
        case Phase::WaitEotAck:
            SendEot(nowMs);
            return;
        case Phase::WaitEndAck:
            End(TransferState::Done,
                "Sent " + std::to_string(progress_.files) + " file(s), " +
                    std::to_string(progress_.bytes) +
                    " bytes (the receiver did not confirm the end of the batch)",
                false);
            return;
        default:
            Again(nowMs);
            return;
    }
}

std::string TXYSender::OnEnd(bool /*complete*/) {
    return {};
}

}  // namespace zenta::transfer
