#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "isp/IspInterfaces.h"
#include "isp/RunTask.h"

namespace zenta::isp {

enum class SyncResult { Connected, NoAnswer, WrongAnswer, SendFailed, Stopped };
enum class AckResult { Ack, NotAck, Stopped, TimedOut };

// Timing of the synchronisation: a 0x7F every `repeatEvery` waits of `waitMs`, giving up
// after `maxWaits` waits (about 10.1 s).
struct SyncTiming {
    int waitMs = 100;
    int repeatEvery = 10;
    int maxWaits = 100;
};

// The link to the chip's bootloader: reset lines, synchronisation, frames, and the
// bootloader's replies in arrival order.
//
// The replies are a stream of their own, fed with every received chunk while the receive
// window shows the same bytes; clearing the window during a run therefore neither loses
// a reply nor makes a negative count look like waiting bytes.
class TBootLink {
  public:
    TBootLink(IspPort& port, IspEvents& events, IspMessages& messages)
        : port_(port), events_(events), messages_(messages) {}

    // The receive path hands every received chunk here.
    void AppendReplies(std::string_view bytes) { replies_.append(bytes); }
    // Positions count from the next byte received.
    void ResetReplies();
    std::int64_t Waiting() const { return static_cast<std::int64_t>(replies_.size() - replyPos_); }

    // DTR/RTS reset into the bootloader; false when a step raised.
    RunTask<bool> EnterBootloader();
    RunTask<SyncResult> SyncBootloader(SyncTiming timing = {});
    // Waits for one more byte and consumes it; timeoutMs 0 waits until Stop. Throws
    // PortError when the device went away, also when that stopped the wait.
    RunTask<AckResult> AwaitAck(std::uint32_t timeoutMs = 0);
    // Waits until n unconsumed bytes are present; false when stopped or timed out.
    // Throws PortError.
    RunTask<bool> AwaitReplyBytes(int n, std::uint32_t timeoutMs = 0);
    std::uint8_t TakeReplyByte();
    // The next byte as HEX text: two digits, and a blank when width is 3.
    std::string TakeReplyByteHex(int width);
    void DropPendingReplies() { replyPos_ = replies_.size(); }
    // Serves events until at least `ms` passed; returns the milliseconds that passed.
    RunTask<std::uint64_t> DelayWithMessages(int ms);
    // The same, ended early by an unconsumed reply byte.
    RunTask<std::uint64_t> DelayUntilReply(int ms);
    // Throws PortError.
    void SendFrame(std::string_view frame) { port_.Write(frame); }

    // Longest single block of an idle wait; the port's loss is noticed at this pace.
    static constexpr int kIdleSliceMs = 100;

    // Where the run waits: its driver serves events for at most WaitMs() and resumes it.
    RunPausePoint& Pauses() { return pause_; }
    // The run's waits: it pauses here; the driver resumes it.
    RunPausePoint::Awaiter ServeEvents(int maxWaitMs) { return pause_.Pause(maxWaitMs); }

  private:
    RunTask<std::uint64_t> Delay(int ms, bool untilReply);

    IspPort& port_;
    IspEvents& events_;
    IspMessages& messages_;
    std::string replies_;
    std::size_t replyPos_ = 0;
    RunPausePoint pause_;
};

}  // namespace zenta::isp
