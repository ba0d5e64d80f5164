#include <algorithm>

#include "serial/CPort.h"
#include "serial/PortCore.h"

using zenta::MonotonicMs;

// --- links ---

void TCustomComPort::RegisterLink(TComLink* link) {
    if (!link || std::find(links_.begin(), links_.end(), link) != links_.end()) {
        throw EComPort(CError_RegFailed);
    }
    links_.push_back(link);
    hasLink_ = std::any_of(links_.begin(), links_.end(),
                           [](const TComLink* l) { return static_cast<bool>(l->OnRxBuf); });
}

void TCustomComPort::UnRegisterLink(TComLink* link) {
    auto it = std::find(links_.begin(), links_.end(), link);
    if (it == links_.end()) {
        throw EComPort(CError_RegFailed);
    }
    links_.erase(it);
    hasLink_ = std::any_of(links_.begin(), links_.end(),
                           [](const TComLink* l) { return static_cast<bool>(l->OnRxBuf); });
}

void TCustomComPort::NotifyLinks(TComLinkEvent event, bool state) {
    // A handler may unregister links; walk a copy.
    const std::vector<TComLink*> links = links_;
    for (TComLink* l : links) {
        switch (event) {
            case leConn:
                if (l->OnConn) {
                    l->OnConn(this, state);
                }
                break;
            case leCTS:
                if (l->OnCTSChange) {
                    l->OnCTSChange(this, state);
                }
                break;
            case leDSR:
                if (l->OnDSRChange) {
                    l->OnDSRChange(this, state);
                }
                break;
            case leRLSD:
                if (l->OnRLSDChange) {
                    l->OnRLSDChange(this, state);
                }
                break;
            case leRing:
                if (l->OnRing) {
                    l->OnRing(this);
                }
                break;
            case leRx:
                if (l->OnRx) {
                    l->OnRx(this, state);
                }
                break;
            case leTx:
                if (l->OnTx) {
                    l->OnTx(this, state);
                }
                break;
            case leTxEmpty:
                if (l->OnTxEmpty) {
                    l->OnTxEmpty(this);
                }
                break;
            case leRxFlag:
                if (l->OnRxFlag) {
                    l->OnRxFlag(this);
                }
                break;
        }
    }
}

void TCustomComPort::NotifyTxBuf(const char* data, int count) {
    const std::vector<TComLink*> links = links_;
    for (TComLink* l : links) {
        if (l->OnTxBuf) {
            l->OnTxBuf(this, data, count);
        }
    }
}

// --- notifications ---

void TCustomComPort::DoAfterClose() {
    if (OnAfterClose) {
        OnAfterClose(this);
    }
}
void TCustomComPort::DoAfterOpen() {
    if (OnAfterOpen) {
        OnAfterOpen(this);
    }
}
void TCustomComPort::DoBeforeClose() {
    if (OnBeforeClose) {
        OnBeforeClose(this);
    }
}
void TCustomComPort::DoBeforeOpen() {
    if (OnBeforeOpen) {
        OnBeforeOpen(this);
    }
}
void TCustomComPort::DoRxChar(int count) {
    if (OnRxChar) {
        OnRxChar(this, count);
    }
}
void TCustomComPort::DoRxBuf(const char* buffer, int count) {
    if (OnRxBuf) {
        OnRxBuf(this, buffer, count);
    }
}
void TCustomComPort::DoTxEmpty() {
    if (OnTxEmpty) {
        OnTxEmpty(this);
    }
}
void TCustomComPort::DoBreak() {
    if (OnBreak) {
        OnBreak(this);
    }
}
void TCustomComPort::DoRing() {
    if (OnRing) {
        OnRing(this);
    }
}
void TCustomComPort::DoRxFlag() {
    if (OnRxFlag) {
        OnRxFlag(this);
    }
}
void TCustomComPort::DoCTSChange(bool state) {
    if (OnCTSChange) {
        OnCTSChange(this, state);
    }
}
void TCustomComPort::DoDSRChange(bool state) {
    if (OnDSRChange) {
        OnDSRChange(this, state);
    }
}
void TCustomComPort::DoError(TComErrors errors) {
    if (OnError) {
        OnError(this, errors);
    }
}
void TCustomComPort::DoRLSDChange(bool state) {
    if (OnRLSDChange) {
        OnRLSDChange(this, state);
    }
}
void TCustomComPort::DoRx80Full() {
    if (OnRx80Full) {
        OnRx80Full(this);
    }
}

// --- one event each ---

void TCustomComPort::CallRxChar() {
    int count = InputCount();
    if (count > 0) {
        NotifyLinks(leRx, true);
    }
    if (count > 0 && !TriggersOnRxChar()) {
        std::vector<char> buf;
        bool read = false;
        int got = 0;
        auto readOnce = [&] {
            if (read) {
                return;
            }
            buf.resize(static_cast<std::size_t>(count));
            read = true;
            got = Read(buf.data(), count);
            DoRxBuf(buf.data(), got);
        };
        const std::vector<TComLink*> links = links_;
        for (TComLink* l : links) {
            if (!l->OnRxBuf) {
                continue;
            }
            readOnce();
            l->OnRxBuf(this, buf.data(), got);
        }
        if (!read && !triggersOnRxChar_) {
            readOnce();
        }
        if (read) {
            count = 0;
        }
    }
    if (count > 0) {
        DoRxChar(count);
    }
}

void TCustomComPort::CallTxEmpty() {
    NotifyLinks(leTx, false);
    NotifyLinks(leTxEmpty, false);
    DoTxEmpty();
}

void TCustomComPort::CallRxFlag() {
    NotifyLinks(leRxFlag, false);
    DoRxFlag();
}

void TCustomComPort::CallRing() {
    NotifyLinks(leRing, false);
    DoRing();
}

void TCustomComPort::CallBreak() {
    DoBreak();
}

void TCustomComPort::CallRx80Full() {
    DoRx80Full();
}

void TCustomComPort::CallError() {
    TComErrors errors = LastErrors();
    if (core_->watcher && core_->watcher->TakeLossReport()) {
        errors.Include(ceIO);
    }
    if (!errors.Empty()) {
        DoError(errors);
    }
}

void TCustomComPort::CallCTSChange() {
    const bool s = Signals().Contains(csCTS);
    NotifyLinks(leCTS, s);
    DoCTSChange(s);
}

void TCustomComPort::CallDSRChange() {
    const bool s = Signals().Contains(csDSR);
    NotifyLinks(leDSR, s);
    DoDSRChange(s);
}

void TCustomComPort::CallRLSDChange() {
    const bool s = Signals().Contains(csRLSD);
    NotifyLinks(leRLSD, s);
    DoRLSDChange(s);
}

// --- delivery ---

void TCustomComPort::Deliver(TComEvents events, uint64_t generation) {
    static constexpr TComEvent kOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                           evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};
    for (TComEvent event : kOrder) {
        if (!events.Contains(event)) {
            continue;
        }
        // A handler that closed (or reopened) the port ends this wake-up.
        if (!connected_ || generation != core_->generation) {
            return;
        }
        switch (event) {
            case evError:
                CallError();
                break;
            case evRxChar:
                CallRxChar();
                break;
            case evTxEmpty:
                CallTxEmpty();
                break;
            case evBreak:
                CallBreak();
                break;
            case evRing:
                CallRing();
                break;
            case evCTS:
                CallCTSChange();
                break;
            case evDSR:
                CallDSRChange();
                break;
            case evRxFlag:
                CallRxFlag();
                break;
            case evRLSD:
                CallRLSDChange();
                break;
            case evRx80Full:
                CallRx80Full();
                break;
        }
    }
}

void TCustomComPort::RunWindowEvent(uint32_t flag, uint64_t generation) {
    if (!connected_ || generation != core_->generation) {
        return;
    }
    try {
        switch (flag) {
            case EV_RXCHAR:
                CallRxChar();
                break;
            case EV_RXFLAG:
                CallRxFlag();
                break;
            case EV_TXEMPTY:
                CallTxEmpty();
                break;
            case EV_CTS:
                CallCTSChange();
                break;
            case EV_DSR:
                CallDSRChange();
                break;
            case EV_RLSD:
                CallRLSDChange();
                break;
            case EV_BREAK:
                CallBreak();
                break;
            case EV_ERR:
                CallError();
                break;
            case EV_RING:
                CallRing();
                break;
            case EV_RX80FULL:
                CallRx80Full();
                break;
            default:
                break;
        }
    } catch (...) {
        // Window sync: the event thread already went on, so the failure has no caller.
        ReportHandlerException(std::current_exception());
    }
}

void TCustomComPort::WaitForEvent(TComEvents& events, const zenta::TWakeEvent* stop,
                                  int timeoutMs) {
    if (threadCreated_) {
        throw EComPort(CError_ThreadCreated);
    }
    if (!connected_ || !core_->watcher) {
        throw EComPort(CError_WaitFailed);
    }
    // A device lost before the call leaves nothing to wait for either.
    if (core_->watcher->Lost()) {
        throw EComPort(CError_WaitFailed, core_->watcher->LostError());
    }
    const TComEvents mask = events;
    events = TComEvents();
    const int64_t deadline = timeoutMs < 0 ? -1 : MonotonicMs() + timeoutMs;
    for (;;) {
        int remaining = -1;
        if (deadline >= 0) {
            remaining = static_cast<int>(std::max<int64_t>(0, deadline - MonotonicMs()));
        }
        const TComEvents seen = core_->watcher->Wait(stop, remaining) & mask;
        if (!seen.Empty()) {
            events = seen;
            return;
        }
        // A lost device would otherwise leave nothing to wait for.
        if (core_->watcher->Lost()) {
            throw EComPort(CError_WaitFailed, core_->watcher->LostError());
        }
        if (stop && stop->IsSet()) {
            return;
        }
        if (deadline >= 0 && MonotonicMs() >= deadline) {
            return;
        }
    }
}

void TCustomComPort::SetOwnerReads(bool on) {
    if (core_->ownerReads.exchange(on) != on && core_->slot) {
        // The event thread's wait includes the device or not; it picks the change up now.
        core_->slot->Signal();
    }
}

bool TCustomComPort::OwnerReads() const {
    return core_->ownerReads.load();
}

void TCustomComPort::SetRxHold(int ms, int maxBytes) {
    core_->rxHoldBytes.store(std::max(1, maxBytes));
    core_->rxHoldMs.store(std::max(0, ms));
}

bool TCustomComPort::ServeInput(int timeoutMs) {
    if (!connected_ || !core_->watcher || !core_->ownerReads.load()) {
        throw EComPort(CError_WaitFailed);
    }
    TComEvents events;
    if (core_->rx.Size() == 0) {
        events = core_->watcher->WaitInput(timeoutMs);
    }
    if (core_->rx.Size() > 0) {
        events.Include(evRxChar);
    }
    events = events & events_;
    if (events.Empty()) {
        return false;
    }
    try {
        Deliver(events, core_->generation);
    } catch (...) {
        // As on the event thread: the owner's wait does not end in a handler's failure.
        ReportHandlerException(std::current_exception());
    }
    return true;
}
