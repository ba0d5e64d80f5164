// The line settings, modem lines and purges of a network port: RFC 2217 commands, each
// answer awaited with a time-out and anything the server did not do as asked noted.
#include <algorithm>
#include <cerrno>

#include "serial/CPortTypes.h"
#include "serial/net/NetSerialDevice.h"

namespace zenta::net {

namespace {

const char* ParityName(uint8_t p) {
    static const char* const kNames[] = {"?", "none", "odd", "even", "mark", "space"};
    return p <= 5 ? kNames[p] : "?";
}

const char* StopName(uint8_t s) {
    return s == cpo::kStop1 ? "1" : s == cpo::kStop2 ? "2" : s == cpo::kStop15 ? "1.5" : "?";
}

const char* FlowName(uint8_t f) {
    return f == cpo::kFlowNone       ? "none"
           : f == cpo::kFlowXonXoff  ? "XON/XOFF"
           : f == cpo::kFlowHardware ? "RTS/CTS"
                                     : "other";
}

const char* ControlName(uint8_t v) {
    switch (v) {
        case cpo::kBreakOn:
            return "break on";
        case cpo::kBreakOff:
            return "break off";
        case cpo::kDtrOn:
            return "DTR on";
        case cpo::kDtrOff:
            return "DTR off";
        case cpo::kRtsOn:
            return "RTS on";
        case cpo::kRtsOff:
            return "RTS off";
        default:
            return "another state";
    }
}

}  // namespace

// --- line settings ---

int TNetSerialDevice::Configure(const TDCB& dcb) {
    if (fd_ < 0) {
        return EBADF;
    }
    std::lock_guard config(configMutex_);
    if (scheme_ == TNetScheme::Socket) {
        if (!socketNoted_) {
            socketNoted_ = true;
            std::lock_guard lock(ioMutex_);
            NoteLocked(
                "socket:// carries bytes only: line settings and DTR/RTS do not reach "
                "the far end");
        }
        return 0;
    }
    TLine want;
    want.baud = dcb.BaudRate;
    want.dataSize = dcb.ByteSize;
    want.parity = static_cast<uint8_t>(std::min<uint8_t>(dcb.Parity, 4) + 1);
    want.stopSize = dcb.StopBits == 2   ? cpo::kStop2
                    : dcb.StopBits == 1 ? cpo::kStop15
                                        : cpo::kStop1;
    const uint32_t rts = (dcb.Flags & DCB_fRtsControlMask) >> DCB_fRtsControlShift;
    const uint32_t dtr = (dcb.Flags & DCB_fDtrControlMask) >> DCB_fDtrControlShift;
    want.flow = ((dcb.Flags & DCB_fOutxCtsFlow) || rts == 2) ? cpo::kFlowHardware
                : (dcb.Flags & (DCB_fOutX | DCB_fInX))       ? cpo::kFlowXonXoff
                                                             : cpo::kFlowNone;
    want.dtr = dtr != 0;
    want.rts = rts != 0;

    const bool all = !sent_;
    const TLine had = sent_.value_or(TLine{});
    std::string out;
    std::array<uint32_t, cpo::kCommands> before{};
    std::array<uint32_t, cpo::cgGroups> controlBefore{};
    {
        std::lock_guard lock(ioMutex_);
        for (uint8_t c = 0; c < cpo::kCommands; ++c) {
            before[c] = answers_.Answers(c);
        }
        for (uint8_t g = 0; g < cpo::cgGroups; ++g) {
            controlBefore[g] = answers_.ControlAnswers(static_cast<cpo::TControlGroup>(g));
        }
    }
    const bool baud = all || want.baud != had.baud;
    const bool size = all || want.dataSize != had.dataSize;
    const bool parity = all || want.parity != had.parity;
    const bool stop = all || want.stopSize != had.stopSize;
    const bool flow = all || want.flow != had.flow;
    const bool dtrChanged = all || want.dtr != had.dtr;
    // RTS belongs to the flow control while that is hardware.
    const bool rtsChanged = (all || want.rts != had.rts) && want.flow != cpo::kFlowHardware;
    if (baud) {
        out += SetBaudRateCommand(want.baud);
    }
    if (size) {
        out += ComPortCommand(cpo::kSetDataSize, want.dataSize);
    }
    if (parity) {
        out += ComPortCommand(cpo::kSetParity, want.parity);
    }
    if (stop) {
        out += ComPortCommand(cpo::kSetStopSize, want.stopSize);
    }
    if (flow) {
        out += ComPortCommand(cpo::kSetControl, want.flow);
    }
    if (dtrChanged) {
        out += ComPortCommand(cpo::kSetControl, want.dtr ? cpo::kDtrOn : cpo::kDtrOff);
    }
    if (rtsChanged) {
        out += ComPortCommand(cpo::kSetControl, want.rts ? cpo::kRtsOn : cpo::kRtsOff);
    }
    sent_ = want;
    if (out.empty()) {
        return 0;
    }
    if (int err = SendEncoded(out)) {
        return err;
    }
    // One batch, one round trip: all answers are awaited together.
    const bool waitLines = (dtrChanged || rtsChanged) && !controlSilent_;
    auto answered = [&](uint8_t c) { return answers_.Answers(c) != before[c]; };
    auto controlAnswered = [&](cpo::TControlGroup g) {
        return answers_.ControlAnswers(g) != controlBefore[g];
    };
    auto done = [&] {
        return (!baud || answered(cpo::kSetBaudRate)) && (!size || answered(cpo::kSetDataSize)) &&
               (!parity || answered(cpo::kSetParity)) && (!stop || answered(cpo::kSetStopSize)) &&
               (!flow || controlAnswered(cpo::cgOutFlow)) &&
               (!waitLines || !dtrChanged || controlAnswered(cpo::cgDtr)) &&
               (!waitLines || !rtsChanged || controlAnswered(cpo::cgRts));
    };
    Await(done, answerMs_);

    std::lock_guard lock(ioMutex_);
    if (eof_) {
        return ECONNRESET;
    }
    auto check = [&](bool asked, bool got, const std::string& what, bool same,
                     const std::string& server) {
        if (!asked) {
            return;
        }
        if (!got) {
            NoteLocked("the server did not confirm " + what);
        } else if (!same) {
            NoteLocked("the server set " + server + " instead of " + what);
        }
    };
    check(baud, answered(cpo::kSetBaudRate), std::to_string(want.baud) + " bit/s",
          answers_.BaudRate() == want.baud, std::to_string(answers_.BaudRate()) + " bit/s");
    check(size, answered(cpo::kSetDataSize), std::to_string(want.dataSize) + " data bits",
          answers_.DataSize() == want.dataSize, std::to_string(answers_.DataSize()) + " data bits");
    check(parity, answered(cpo::kSetParity), std::string(ParityName(want.parity)) + " parity",
          answers_.Parity() == want.parity, std::string(ParityName(answers_.Parity())) + " parity");
    check(stop, answered(cpo::kSetStopSize), std::string(StopName(want.stopSize)) + " stop bits",
          answers_.StopSize() == want.stopSize,
          std::string(StopName(answers_.StopSize())) + " stop bits");
    check(flow, controlAnswered(cpo::cgOutFlow), std::string("flow control ") + FlowName(want.flow),
          answers_.Control(cpo::cgOutFlow) == want.flow,
          std::string("flow control ") + FlowName(answers_.Control(cpo::cgOutFlow)));
    if (waitLines && ((dtrChanged && !controlAnswered(cpo::cgDtr)) ||
                      (rtsChanged && !controlAnswered(cpo::cgRts)))) {
        // Said once; later changes are sent without waiting for the silence again.
        controlSilent_ = true;
        NoteLocked("the server did not confirm DTR/RTS");
    }
    return 0;
}

int TNetSerialDevice::Control(uint8_t value, const char* what) {
    if (fd_ < 0) {
        return EBADF;
    }
    const cpo::TControlGroup g = cpo::ControlGroup(value);
    if (scheme_ == TNetScheme::Socket) {
        // As on a pseudo-terminal: no modem lines, and a break that goes nowhere.
        return g == cpo::cgBreak ? 0 : ENOTTY;
    }
    std::lock_guard config(configMutex_);
    uint32_t before = 0;
    {
        std::lock_guard lock(ioMutex_);
        before = answers_.ControlAnswers(g);
    }
    if (int err = SendEncoded(ComPortCommand(cpo::kSetControl, value))) {
        return err;
    }
    const bool lines = g == cpo::cgDtr || g == cpo::cgRts;
    if (lines && controlSilent_) {
        return 0;
    }
    const bool got = Await([&] { return answers_.ControlAnswers(g) != before; }, answerMs_);
    std::lock_guard lock(ioMutex_);
    if (eof_) {
        return ECONNRESET;
    }
    if (!got) {
        if (lines) {
            controlSilent_ = true;
            NoteLocked("the server did not confirm DTR/RTS");
        } else {
            NoteLocked(std::string("the server did not confirm ") + what);
        }
    } else if (answers_.Control(g) != value) {
        NoteLocked(std::string("the server answered ") + ControlName(answers_.Control(g)) + " to " +
                   what);
    }
    return 0;
}

int TNetSerialDevice::SetDTR(bool on) {
    const int err = Control(on ? cpo::kDtrOn : cpo::kDtrOff, on ? "DTR on" : "DTR off");
    if (err == 0) {
        std::lock_guard config(configMutex_);
        if (sent_) {
            sent_->dtr = on;
        }
    }
    return err;
}

int TNetSerialDevice::SetRTS(bool on) {
    const int err = Control(on ? cpo::kRtsOn : cpo::kRtsOff, on ? "RTS on" : "RTS off");
    if (err == 0) {
        std::lock_guard config(configMutex_);
        if (sent_) {
            sent_->rts = on;
        }
    }
    return err;
}

int TNetSerialDevice::SetBreak(bool on) {
    return Control(on ? cpo::kBreakOn : cpo::kBreakOff, on ? "break on" : "break off");
}

int TNetSerialDevice::SetXonXoff(bool on) {
    if (fd_ < 0) {
        return EBADF;
    }
    // Output held here, as if the far end had sent XOFF.
    outputHeld_.store(!on);
    return 0;
}

int TNetSerialDevice::GetModemStatus(uint32_t& status) {
    status = 0;
    if (fd_ < 0) {
        return EBADF;
    }
    if (scheme_ == TNetScheme::Socket) {
        return ENOTTY;
    }
    std::lock_guard lock(ioMutex_);
    // The option's modem bits are the engine's MS_* bits.
    status = answers_.ModemState() & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
    return 0;
}

int TNetSerialDevice::Counters(TLineCounters& counters) {
    if (fd_ < 0) {
        return EBADF;
    }
    if (scheme_ == TNetScheme::Socket) {
        return ENOTTY;
    }
    std::lock_guard lock(ioMutex_);
    counters.frame = answers_.LineErrorCount(cpo::kLineFraming);
    counters.parity = answers_.LineErrorCount(cpo::kLineParity);
    counters.overrun = answers_.LineErrorCount(cpo::kLineOverrun);
    counters.brk = answers_.LineErrorCount(cpo::kLineBreak);
    counters.bufOverrun = 0;
    return 0;
}

int TNetSerialDevice::Flush(bool input, bool output) {
    if (fd_ < 0) {
        return EBADF;
    }
    if (!input && !output) {
        return 0;
    }
    if (scheme_ == TNetScheme::Rfc2217) {
        const uint8_t what = input && output ? cpo::kPurgeBoth
                             : input         ? cpo::kPurgeReceive
                                             : cpo::kPurgeTransmit;
        uint32_t before = 0;
        bool wait = true;
        {
            std::lock_guard lock(ioMutex_);
            before = answers_.Answers(cpo::kPurgeData);
            wait = !purgeSilent_;
            // What arrives until the server confirms was in its buffer before the purge.
            discardInput_ = input;
        }
        if (int err = SendEncoded(ComPortCommand(cpo::kPurgeData, what))) {
            std::lock_guard lock(ioMutex_);
            discardInput_ = false;
            return err;
        }
        const bool got =
            wait && Await([&] { return answers_.Answers(cpo::kPurgeData) != before; }, answerMs_);
        std::lock_guard lock(ioMutex_);
        if (wait && !got) {
            // Said and waited for once; a server that never answers is not waited for again.
            purgeSilent_ = true;
            NoteLocked("the server did not confirm the purge");
        }
    }
    std::lock_guard lock(ioMutex_);
    discardInput_ = false;
    if (input) {
        rxData_.clear();
        rxHead_ = 0;
    }
    return 0;
}

}  // namespace zenta::net
