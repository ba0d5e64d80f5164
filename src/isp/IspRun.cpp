#include "isp/IspRun.h"

#include "isp/BootFrames.h"
#include "isp/IspTexts.h"

namespace zenta::isp {

void TIspRun::PutBackLine(const Saved& saved) {
    if (saved.haveLine) {
        try {
            window_.RestoreLine(saved.line);
        } catch (const PortError&) {
            // A port that failed keeps what it could take; the ending goes on.
        }
    } else {
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
    }
    window_.SetPacketSplit(saved.packetSplit);
}

RunEnd TIspRun::Run(const RunSettings& settings) {
    settings_ = settings;
    chip_ = {};
    window_.SetStartEnabled(false);
    window_.ClearReceiveText();
    saved_ = {port_.Connected(), window_.BaudOrdinal(), window_.PacketSplit(), false, {}};
    saved_.haveLine = window_.SaveLine(saved_.line);
    window_.SetPacketSplit(false);
    window_.StopAutomaticSends();

    // A port that cannot be opened is reported by the Open action; the run then goes
    // on with a closed port and fails at the first 0x7F.
    if (!port_.Connected() && !window_.OpenAction()) {
        window_.OpenAction();
        messages_.MessageBox(Text(IspText::PortError, English()));
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
        port_.SetEightDataBits();
    } catch (const PortError&) {
        Print(IspText::SetBaudError);
    }

    THexFile file;
    if (!file.Open(window_.FileName())) {
        messages_.MessageBox(Text(IspText::FileMissing, English()));
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
        messages_.Print(RefusedImageText(parsed, English()));
        return Ending(RunEnd::NotHex);
    }
    if (parsed.missingEnd) {
        messages_.Print(MissingEndLine(English()));
    }
    // What no chip can take is refused before the chip is touched.
    if (image_.HasOutside()) {
        messages_.Print(OutsideFlashLine(image_.Outside(), English()));
        return Ending(RunEnd::Refused);
    }
    if (image_.Empty()) {
        Print(IspText::NoFlashData);
        return Ending(RunEnd::Refused);
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
    portUp_ = port_.Connected();
    try {
        if (settings.reset) {
            if (!link_.EnterBootloader()) {
                Print(IspText::ResetError);
            }
            link_.DelayWithMessages(10);  // the chip starts its bootloader after the reset
        }
        Print(IspText::Connecting);
        window_.ResetReceiveCount();
        link_.ResetReplies();

        switch (link_.SyncBootloader(settings.sync)) {
            case SyncResult::Connected:
                break;
            case SyncResult::Stopped:
                return Finish(Step::Stopped);
            default:
                Print(IspText::NoConnection);
                return Ending(RunEnd::NoConnection);
        }
        Print(IspText::Connected);
        window_.CaretToEnd();

        Step step = Identify(true);
        if (step == Step::Ok) {
            step = CheckFits();
        }
        if (step == Step::Ok) {
            step = Erase();
        }
        if (step == Step::Ok) {
            t0_ = events_.NowMs();
            step = WriteBlocks();
            t1_ = events_.NowMs();
        }
        if (step == Step::Ok && settings.verify) {
            step = Verify();
        }
        if (step == Step::Ok) {
            window_.SetProgress(100, false);
            window_.SetOpenEnabled(true);
            step = Go();
        }
        return Finish(step);
    } catch (const PortError&) {
        return PortFailure();
    }
}

RunEnd TIspRun::Finish(Step step) {
    switch (step) {
        case Step::NotAck:
            Print(IspText::DataCheck);
            return Ending(RunEnd::DataCheck);
        case Step::Refused:
            return Ending(RunEnd::Refused);
        case Step::Stopped:
            // The window stops everything when the port fails: that is no user's Stop.
            if (portUp_ && port_.Lost()) {
                return PortFailure();
            }
            return Ending(RunEnd::UserAbort);
        case Step::Ok:
            break;
    }
    std::string report = ReportLine(image_.WrittenLength(), t1_ - t0_);
    if (settings_.verify) {
        report += Text(IspText::Verified, English());
    }
    messages_.Print(report);
    Print(IspText::Running);
    port_.SetRTS(false);  // BOOT0 back to 0: the next reset starts the user program
    window_.ReleaseResetBoxes();
    return Ending(RunEnd::Programmed);
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
            messages_.MessageBox(Text(IspText::PortError, English()));
        }
    } else {
        window_.ClosePort();
    }
    return end;
}

// The port failed under a frame: nothing more is sent; the line settings go back into
// the boxes (and the port, when it comes back) and the port stays closed.
RunEnd TIspRun::PortFailure() {
    window_.StopAutomaticSends();
    events_.SetStopFlag(true);
    window_.ClosePort();
    if (!saved_.wasOpen) {
        window_.ForgetPort();
    }
    window_.SetSendFileEnabled(false);
    window_.SetSendEnabled(false);
    window_.SetProgress(1, false);
    messages_.MessageBox(Text(IspText::PortError, English()));
    PutBackLine(saved_);
    window_.SetStartEnabled(true);
    // Left disabled the user could not open the port again.
    window_.SetOpenEnabled(true);
    return RunEnd::PortFailure;
}

}  // namespace zenta::isp
