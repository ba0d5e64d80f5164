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

RunTask<bool> TBootLink::EnterBootloader() {
    try {
        port_.SetDTR(true);
        port_.SetRTS(true);  // BOOT0 = 1 through the cable's transistor
        port_.SetDTR(true);
        co_await DelayWithMessages(5);
        port_.SetDTR(false);  // reset released: the chip starts its bootloader
        port_.SetOneStopBit();
    } catch (const PortError&) {
        co_return false;
    }
    co_return true;
}

RunTask<SyncResult> TBootLink::SyncBootloader(SyncTiming timing) {
    const std::string sync(1, static_cast<char>(kSyncByte));
    try {
        SendFrame(sync);
    } catch (const PortError&) {
        messages_.Print(Text(IspText::SendSyncError, false));
        co_return SyncResult::SendFailed;
    }
    messages_.Print(Text(IspText::Sync, false));
    int attempts = 0;
    for (;;) {
        if (Waiting() > 0) {
            // A bootloader that is already synchronised (no reset wiring, or after an
            // aborted run) answers a further 0x7F with NACK: it is listening all the same.
            const std::uint8_t b = TakeReplyByte();
            if (b == kAck || b == kNack) {
                co_return SyncResult::Connected;
            }
            messages_.Print(Text(IspText::AckError, false));
            co_return SyncResult::WrongAnswer;
        }
        ++attempts;
        // The first reply ends the wait: the outcome is the same as after the full wait,
        // only sooner (the chip usually answers within a millisecond).
        co_await DelayUntilReply(timing.waitMs);
        if (attempts > timing.maxWaits) {
            co_return SyncResult::NoAnswer;
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
            co_return SyncResult::Stopped;
        }
    }
}

RunTask<AckResult> TBootLink::AwaitAck(std::uint32_t timeoutMs) {
    const bool came = co_await AwaitReplyBytes(1, timeoutMs);
    if (!came) {
        co_return events_.StopFlag() ? AckResult::Stopped : AckResult::TimedOut;
    }
    co_return TakeReplyByte() == kAck ? AckResult::Ack : AckResult::NotAck;
}

RunTask<bool> TBootLink::AwaitReplyBytes(int n, std::uint32_t timeoutMs) {
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
                co_return false;
            }
            slice = static_cast<int>(std::min<std::uint64_t>(slice, timeoutMs - passed));
        }
        co_await ServeEvents(slice);
        // The window stops everything on a port error; that is the port's failure, not
        // the user's Stop.
        if (port_.Lost()) {
            throw PortError("device lost");
        }
        if (events_.StopFlag()) {
            co_return false;
        }
    }
    co_return true;
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

RunTask<std::uint64_t> TBootLink::DelayUntilReply(int ms) {
    return Delay(ms, true);
}

RunTask<std::uint64_t> TBootLink::DelayWithMessages(int ms) {
    return Delay(ms, false);
}

RunTask<std::uint64_t> TBootLink::Delay(int ms, bool untilReply) {
    const std::uint64_t start = events_.NowMs();
    for (;;) {
        const std::uint64_t passed = events_.NowMs() - start;
        if (passed >= static_cast<std::uint64_t>(ms) || (untilReply && Waiting() > 0)) {
            co_return passed;
        }
        co_await ServeEvents(static_cast<int>(static_cast<std::uint64_t>(ms) - passed));
    }
}

}  // namespace zenta::isp
