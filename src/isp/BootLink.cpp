#include "isp/BootLink.h"

#include <algorithm>

#include "datapath/ByteForms.h"
#include "isp/BootFrames.h"
#include "isp/IspTexts.h"

namespace zenta::isp {

void TBootLink::ResetReplies() {
    replies_.clear();
    replyPos_ = 0;
}

bool TBootLink::EnterBootloader() {
    try {
        port_.SetDTR(true);
        port_.SetRTS(true);  // BOOT0 = 1 through the cable's transistor
        port_.SetDTR(true);
        DelayWithMessages(5);
        port_.SetDTR(false);  // reset released: the chip starts its bootloader
        port_.SetOneStopBit();
    } catch (const PortError&) {
        return false;
    }
    return true;
}

SyncResult TBootLink::SyncBootloader(const SyncTiming& timing) {
    const std::string sync(1, static_cast<char>(kSyncByte));
    try {
        SendFrame(sync);
    } catch (const PortError&) {
        messages_.Print(Text(IspText::SendSyncError, false));
        return SyncResult::SendFailed;
    }
    messages_.Print(Text(IspText::Sync, false));
    int attempts = 0;
    for (;;) {
        if (Waiting() > 0) {
            // A bootloader that is already synchronised (no reset wiring, or after an
            // aborted run) answers a further 0x7F with NACK: it is listening all the same.
            const std::uint8_t b = TakeReplyByte();
            if (b == kAck || b == kNack) {
                return SyncResult::Connected;
            }
            messages_.Print(Text(IspText::AckError, false));
            return SyncResult::WrongAnswer;
        }
        ++attempts;
        // The first reply ends the wait: the outcome is the same as after the full wait,
        // only sooner (the chip usually answers within a millisecond).
        DelayUntilReply(timing.waitMs);
        if (attempts > timing.maxWaits) {
            return SyncResult::NoAnswer;
        }
        if (attempts % timing.repeatEvery == 0) {
            try {
                SendFrame(sync);
            } catch (const PortError&) {
                messages_.Print(Text(IspText::SendSyncError, false));
            }
            messages_.Print(Text(IspText::Sync, false));
        }
        if (events_.StopFlag()) {
            return SyncResult::Stopped;
        }
    }
}

AckResult TBootLink::AwaitAck(std::uint32_t timeoutMs) {
    if (!AwaitReplyBytes(1, timeoutMs)) {
        return events_.StopFlag() ? AckResult::Stopped : AckResult::TimedOut;
    }
    return TakeReplyByte() == kAck ? AckResult::Ack : AckResult::NotAck;
}

bool TBootLink::AwaitReplyBytes(int n, std::uint32_t timeoutMs) {
    const std::uint64_t start = timeoutMs ? events_.NowMs() : 0;
    while (Waiting() < n) {
        // A gone device would never answer: without this the wait would last until Stop.
        if (port_.Lost()) {
            throw PortError("device lost");
        }
        int slice = kIdleSliceMs;
        if (timeoutMs) {
            const std::uint64_t passed = events_.NowMs() - start;
            if (passed >= timeoutMs) {
                return false;
            }
            slice = static_cast<int>(std::min<std::uint64_t>(slice, timeoutMs - passed));
        }
        events_.ServeEvents(slice);
        // The window stops everything on a port error; that is the port's failure, not
        // the user's Stop.
        if (port_.Lost()) {
            throw PortError("device lost");
        }
        if (events_.StopFlag()) {
            return false;
        }
    }
    return true;
}

std::uint8_t TBootLink::TakeReplyByte() {
    if (replyPos_ >= replies_.size()) {
        return 0;
    }
    return static_cast<std::uint8_t>(replies_[replyPos_++]);
}

std::string TBootLink::TakeReplyByteHex(int width) {
    const char b = static_cast<char>(TakeReplyByte());
    std::string hex = BytesToHex(std::string_view(&b, 1));
    hex.resize(width < 3 ? 2 : 3);
    return hex;
}

std::uint64_t TBootLink::DelayUntilReply(int ms) {
    return Delay(ms, true);
}

std::uint64_t TBootLink::DelayWithMessages(int ms) {
    return Delay(ms, false);
}

std::uint64_t TBootLink::Delay(int ms, bool untilReply) {
    const std::uint64_t start = events_.NowMs();
    for (;;) {
        const std::uint64_t passed = events_.NowMs() - start;
        if (passed >= static_cast<std::uint64_t>(ms) || (untilReply && Waiting() > 0)) {
            return passed;
        }
        events_.ServeEvents(static_cast<int>(static_cast<std::uint64_t>(ms) - passed));
    }
}

}  // namespace zenta::isp
