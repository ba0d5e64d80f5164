#include "isp/IspRun.h"

#include "isp/BootFrames.h"
#include "isp/IspTexts.h"

namespace zenta::isp {

namespace {

constexpr int kParityEvenOrdinal = 2;
// Bytes on the line per written block: command, address and data frames.
constexpr std::int64_t kBytesPerBlock = 2 + 5 + kBlockSize + 2;

}  // namespace

void TIspRun::PutBackLine(const Saved& saved) {
    try {
        window_.SetParityEven(false);
    } catch (const PortError&) {
        // The parity box falls back on its own; the ending goes on.
    }
    try {
        window_.SetBaudOrdinal(saved.baud);
    } catch (const PortError&) {
        // Same: the bit rate box keeps what it could set.
    }
    window_.SetPacketSplit(saved.packetSplit);
}

RunEnd TIspRun::Run(const RunSettings& settings) {
    window_.SetStartEnabled(false);
    window_.ClearReceiveText();
    saved_ = {port_.Connected(), window_.BaudOrdinal(), window_.PacketSplit()};
    window_.SetPacketSplit(false);
    window_.StopAutomaticSends();

    // A port that cannot be opened is reported by the Open action; the run then goes
    // on with a closed port and fails at the first 0x7F.
    if (!port_.Connected() && !window_.OpenAction()) {
        window_.OpenAction();
        messages_.MessageBox(Text(IspText::PortError, messages_.English()));
        window_.SetProgress(1, false);
        window_.SetSendFileEnabled(true);
        window_.SetOpenEnabled(true);
        window_.SetStartEnabled(true);
        PutBackLine(saved_);
        return RunEnd::PortOpenFailed;
    }

    try {
        window_.SetBaudOrdinal(settings.speedOrdinal);
        window_.SetParityEven(true);
    } catch (const PortError&) {
        Print(IspText::SetBaudError);
    }

    THexFile file;
    if (!file.Open(window_.FileName())) {
        messages_.MessageBox(Text(IspText::FileMissing, messages_.English()));
        window_.SetStartEnabled(true);
        window_.SetProgress(1, false);
        window_.SetSendFileEnabled(false);
        window_.SetOpenEnabled(true);
        PutBackLine(saved_);
        return RunEnd::FileMissing;
    }
    messages_.Print(FileLine(window_.FileName(), file.Size(), window_.BitRate()));
    window_.Repaint();
    file.ReadText(text_);

    const HexParseResult parsed = image_.Parse(text_);
    if (parsed.status != HexStatus::Ok) {
        Print(IspText::NotHex);
        if (parsed.status == HexStatus::BadChecksum) {
            messages_.Print(ChecksumLine(parsed.line, messages_.English()));
        }
        return Ending(RunEnd::NotHex);
    }
    return Exchange(settings);
}

RunEnd TIspRun::Exchange(const RunSettings& settings) {
    events_.SetStopFlag(false);
    window_.SetProgress(0, true);
    window_.SetSendFileEnabled(false);
    window_.SetOpenEnabled(false);
    window_.ResetReceiveCount();
    link_.ResetReplies();
    try {
        if (!link_.EnterBootloader()) {
            Print(IspText::ResetError);
        }
        link_.DelayWithMessages(10);
        Print(IspText::Connecting);
        window_.ResetReceiveCount();
        link_.ResetReplies();

        switch (link_.SyncBootloader(settings.sync)) {
            case SyncResult::Connected:
                break;
            case SyncResult::Stopped:
                return Ending(RunEnd::UserAbort);
            default:
                Print(IspText::NoConnection);
                return Ending(RunEnd::NoConnection);
        }
        Print(IspText::Connected);
        window_.CaretToEnd();

        Step step = Identify();
        if (step == Step::Ok) {
            step = EraseAll();
        }
        std::uint64_t t0 = 0;
        std::uint64_t t1 = 0;
        if (step == Step::Ok) {
            t0 = events_.NowMs();
            step = WriteBlocks();
            t1 = events_.NowMs();
        }
        if (step == Step::Ok) {
            window_.SetProgress(100, false);
            window_.SetOpenEnabled(true);
            step = Go();
        }
        if (step == Step::NotAck) {
            Print(IspText::DataCheck);
            return Ending(RunEnd::DataCheck);
        }
        if (step == Step::Stopped) {
            return Ending(RunEnd::UserAbort);
        }

        messages_.Print(ReportLine(image_.WrittenLength(), t1 - t0));
        Print(IspText::Running);
        port_.SetRTS(false);  // BOOT0 back to 0: the next reset starts the user program
        window_.ReleaseResetBoxes();
        return Ending(RunEnd::Programmed);
    } catch (const PortError&) {
        return PortFailure();
    }
}

TIspRun::Step TIspRun::Ack() {
    switch (link_.AwaitAck()) {
        case AckResult::Ack:
            return Step::Ok;
        case AckResult::NotAck:
            return Step::NotAck;
        case AckResult::Stopped:
            break;
    }
    return Step::Stopped;
}

TIspRun::Step TIspRun::Command(std::uint8_t code) {
    link_.SendFrame(CommandFrame(code));
    return Ack();
}

TIspRun::Step TIspRun::Identify() {
    // Get Version: version, two option bytes, a closing ACK left unread.
    link_.DropPendingReplies();
    if (Step s = Command(kCmdGetVersion); s != Step::Ok) {
        return s;
    }
    if (!link_.AwaitReplyBytes(4)) {
        return Step::Stopped;
    }
    std::string line = "\r\nVersion:V" + link_.TakeReplyByteHex(2) + ",Protection state:";
    line += link_.TakeReplyByteHex(3);
    line += link_.TakeReplyByteHex(3) + " |back:";
    messages_.Print(line);

    // Get ID: count byte and the two product-ID bytes.
    link_.DropPendingReplies();
    if (Step s = Command(kCmdGetId); s != Step::Ok) {
        return s;
    }
    if (!link_.AwaitReplyBytes(4)) {
        return Step::Stopped;
    }
    line = "\r\nMCU TYPE:" + link_.TakeReplyByteHex(3) + ",MCUID:";
    line += link_.TakeReplyByteHex(3);
    line += link_.TakeReplyByteHex(3) + " |back:";
    messages_.Print(line);

    // The flash size register, shown as it comes.
    link_.DropPendingReplies();
    if (Step s = Command(kCmdReadMemory); s != Step::Ok) {
        return s;
    }
    link_.SendFrame(AddressFrame(kFlashSizeRegister));
    if (Step s = Ack(); s != Step::Ok) {
        return s;
    }
    if (Step s = Command(0x03); s != Step::Ok) {  // count frame: four bytes
        return s;
    }
    if (!link_.AwaitReplyBytes(4)) {
        return Step::Stopped;
    }
    line = "\r\nCapacity:";
    for (int i = 0; i < 4; ++i) {
        line += link_.TakeReplyByteHex(3);
    }
    messages_.Print(line + "|back:");
    return Step::Ok;
}

TIspRun::Step TIspRun::EraseAll() {
    link_.DropPendingReplies();
    if (Step s = Command(kCmdErase); s != Step::Ok) {
        return s;
    }
    link_.SendFrame(EraseAllFrame());
    if (Step s = Ack(); s != Step::Ok) {
        return s;
    }
    Print(IspText::Erased);
    return Step::Ok;
}

TIspRun::Step TIspRun::WriteBlocks() {
    link_.DropPendingReplies();
    const std::uint64_t written = image_.WrittenLength();
    for (std::uint64_t offset = 0; offset < written; offset += kBlockSize) {
        if (Step s = Command(kCmdWriteMemory); s != Step::Ok) {
            return s;
        }
        link_.SendFrame(AddressFrame(kFlashBase + static_cast<std::uint32_t>(offset)));
        if (Step s = Ack(); s != Step::Ok) {
            return s;
        }
        link_.SendFrame(DataFrame(image_.Data() + offset));
        if (Step s = Ack(); s != Step::Ok) {
            return s;
        }
        const std::int64_t tx = window_.AddTxCount(kBytesPerBlock);
        window_.ShowBlockStatus(tx, static_cast<std::int64_t>(offset));
        window_.SetProgress(static_cast<int>(offset * 100 / written + 1), true);
        events_.ServeEvents(0);
        if (events_.StopFlag()) {
            return Step::Stopped;
        }
        events_.ServeEvents(0);
    }
    return Step::Ok;
}

TIspRun::Step TIspRun::Go() {
    link_.DropPendingReplies();
    if (Step s = Command(kCmdGo); s != Step::Ok) {
        return s;
    }
    link_.SendFrame(AddressFrame(kFlashBase));
    return Ack();
}

RunEnd TIspRun::Ending(RunEnd end) {
    if (end == RunEnd::UserAbort) {
        events_.SetStopFlag(false);
        Print(IspText::Abort);
    }
    window_.SetProgress(1, false);
    window_.SetSendFileEnabled(false);
    window_.SetOpenEnabled(true);
    window_.SetStartEnabled(true);
    PutBackLine(saved_);
    if (saved_.wasOpen) {
        try {
            window_.OpenPort();
        } catch (const PortError&) {
            messages_.MessageBox(Text(IspText::PortError, messages_.English()));
        }
    } else {
        window_.ClosePort();
    }
    return end;
}

// The port failed under a frame: nothing more is sent and nothing is put back.
RunEnd TIspRun::PortFailure() {
    window_.StopAutomaticSends();
    events_.SetStopFlag(true);
    window_.ClosePort();
    window_.SetSendFileEnabled(false);
    window_.SetSendEnabled(false);
    window_.SetProgress(1, false);
    messages_.MessageBox(Text(IspText::PortError, messages_.English()));
    window_.SetStartEnabled(true);
    // Left disabled the user could not open the port again.
    window_.SetOpenEnabled(true);
    return RunEnd::PortFailure;
}

}  // namespace zenta::isp
