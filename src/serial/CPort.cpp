#include "serial/CPort.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "serial/PortCore.h"

using zenta::TDeviceFault;
using zenta::detail::TDeliverySlot;
using zenta::detail::TLineWatcher;
using zenta::detail::TRxSettings;

std::function<void(TCustomComPort*, std::exception_ptr)> TCustomComPort::ExceptionHandler;
std::function<void(TCustomComPort&)> TCustomComPort::SetupDialogHook;

TCustomComPort::TCustomComPort(TCustomComPort* /*owner*/) : core_(std::make_unique<TCore>()) {
    buffer_.SetComPort(this);
    parity_.SetComPort(this);
    timeouts_.SetComPort(this);
    flowControl_.SetComPort(this);
}

TCustomComPort::~TCustomComPort() {
    auto listeners = std::move(destroyListeners_);
    for (auto& [key, listener] : listeners) {
        if (listener) {
            listener();
        }
    }
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; the device is closed either way.
    }
    if (eventThread_) {
        StopThread();
    }
}

// --- component model ---

void TCustomComPort::Loaded() {
    loading_ = false;
    if (connected_ && !designing_) {
        connected_ = false;
        try {
            Open();
        } catch (...) {
            // The loader is no caller that could take it: handed to the exception handler.
            ReportHandlerException(std::current_exception());
        }
    }
}

void TCustomComPort::AddDestroyListener(const void* key, std::function<void()> listener) {
    RemoveDestroyListener(key);
    destroyListeners_.emplace_back(key, std::move(listener));
}

void TCustomComPort::RemoveDestroyListener(const void* key) {
    std::erase_if(destroyListeners_, [key](const auto& e) { return e.first == key; });
}

void TCustomComPort::ReportHandlerException(std::exception_ptr error) {
    if (ExceptionHandler) {
        ExceptionHandler(this, error);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zenta: port %s: %s\n", port_.c_str(), e.what());
    } catch (...) {
        // Not a std::exception: nothing more to say about it than that it happened.
        std::fprintf(stderr, "zenta: port %s: unknown error in a handler\n", port_.c_str());
    }
}

void TCustomComPort::SetDeviceFactory(TSerialDeviceFactory factory) {
    core_->factory = std::move(factory);
}

bool TCustomComPort::ServePendingEvents() {
    std::shared_ptr<TDeliverySlot> slot = core_->slot;
    if (!slot) {
        return false;
    }
    if (syncMethod_ == smWindowSync) {
        return TComThread::ServeWindowSync(slot);
    }
    return TComThread::ServeThreadSync(slot);
}

// --- properties ---

void TCustomComPort::SetConnected(bool value) {
    if (loading_ || designing_) {
        connected_ = value;
        return;
    }
    if (value == connected_) {
        return;
    }
    if (value) {
        Open();
    } else {
        Close();
    }
}

void TCustomComPort::SetBaudRate(TBaudRate value) {
    if (value == baudRate_) {
        return;
    }
    baudRate_ = value;
    ApplyDCB();
}

void TCustomComPort::SetCustomBaudRate(int32_t value) {
    if (value == customBaudRate_) {
        return;
    }
    customBaudRate_ = value;
    ApplyDCB();
}

void TCustomComPort::SetPort(const std::string& value) {
    if (value == port_) {
        return;
    }
    const bool reopen = connected_ && !loading_ && !designing_;
    if (reopen) {
        Close();
    }
    port_ = value;
    if (reopen) {
        Open();
    }
}

void TCustomComPort::SetStopBits(TStopBits value) {
    if (value == stopBits_) {
        return;
    }
    stopBits_ = value;
    ApplyDCB();
}

void TCustomComPort::SetDataBits(TDataBits value) {
    if (value == dataBits_) {
        return;
    }
    dataBits_ = value;
    ApplyDCB();
}

void TCustomComPort::SetDiscardNull(bool value) {
    if (value == discardNull_) {
        return;
    }
    discardNull_ = value;
    ApplyDCB();
}

void TCustomComPort::SetEventChar(char value) {
    if (value == eventChar_) {
        return;
    }
    eventChar_ = value;
    ApplyDCB();
}

void TCustomComPort::SetSyncMethod(TSyncMethod value) {
    if (value == syncMethod_) {
        return;
    }
    if (connected_) {
        throw EComPort(CError_ConnChangeProp);
    }
    syncMethod_ = value;
}

void TCustomComPort::SetEventThreadPriority(TThreadPriority value) {
    if (value == threadPriority_) {
        return;
    }
    if (connected_) {
        throw EComPort(CError_ConnChangeProp);
    }
    threadPriority_ = value;
}

void TCustomComPort::SetTriggersOnRxChar(bool value) {
    if (hasLink_) {
        throw EComPort(CError_HasLink);
    }
    triggersOnRxChar_ = value;
}

void TCustomComPort::SetParity(const TComParity& value) {
    parity_.Assign(value);
    ApplyDCB();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& value) {
    flowControl_.Assign(value);
    ApplyDCB();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& value) {
    timeouts_.Assign(value);
    ApplyTimeouts();
}

void TCustomComPort::SetBuffer(const TComBuffer& value) {
    buffer_.Assign(value);
    ApplyBuffer();
}

TDCB TCustomComPort::BuildDCB() const {
    TDCB d;
    d.DCBlength = 28;
    d.BaudRate = baudRate_ == brCustom ? static_cast<uint32_t>(customBaudRate_)
                                       : static_cast<uint32_t>(BaudRateValue(baudRate_));
    d.ByteSize = static_cast<uint8_t>(5 + dataBits_);
    d.Parity = parity_.Bits();
    d.StopBits = stopBits_;
    const int32_t lim = buffer_.InputSize() / 4;
    d.XonLim = static_cast<uint16_t>(lim);
    d.XoffLim = static_cast<uint16_t>(lim);
    d.XonChar = flowControl_.XonChar();
    d.XoffChar = flowControl_.XoffChar();
    d.EvtChar = eventChar_;
    d.Flags = zenta::DcbFlagWord(parity_, flowControl_, discardNull_);
    if (d.Flags & DCB_fErrorChar) {
        d.ErrorChar = parity_.ReplaceChar();
    }
    return d;
}

// --- applying settings ---

bool TCustomComPort::CanApply() const {
    return connected_ && updateCount_ == 0 && !loading_ && !designing_ && core_->device;
}

namespace {

TRxSettings RxSettingsOf(const TCustomComPort& port) {
    TRxSettings s;
    s.discardNull = port.DiscardNull();
    s.eventChar = port.EventChar();
    const int32_t size = port.Buffer().InputSize();
    s.fullMark = size > 0 ? static_cast<std::size_t>(size) * 8 / 10 : 0;
    s.bitRate =
        port.BaudRate() == brCustom ? port.CustomBaudRate() : BaudRateValue(port.BaudRate());
    return s;
}

}  // namespace

void TCustomComPort::ApplyDCB() {
    if (!CanApply()) {
        return;
    }
    refusedLine_ = 0;
    if (int err = core_->device->Configure(BuildDCB())) {
        // The device kept what it had; so does the port, or every later change would
        // carry the refused value along and fail too.
        RestoreLineInForce();
        throw EComPort(CError_SetStateFailed, err);
    }
    KeepLineInForce();
    if (core_->watcher) {
        core_->watcher->SetSettings(RxSettingsOf(*this));
    }
}

void TCustomComPort::ApplyTimeouts() {
    // Kept as data: writes read their time limit when they are issued.
}

void TCustomComPort::ApplyBuffer() {
    if (!CanApply()) {
        return;
    }
    if (buffer_.InputSize() < 0 || buffer_.OutputSize() < 0) {
        throw EComPort(CError_SetupComFailed);
    }
    if (core_->watcher) {
        core_->watcher->SetSettings(RxSettingsOf(*this));
    }
}

void TCustomComPort::SetupComPort() {
    ApplyBuffer();
    ApplyDCB();
    ApplyTimeouts();
}

void TCustomComPort::BeginUpdate() {
    ++updateCount_;
}

void TCustomComPort::EndUpdate() {
    if (updateCount_ <= 0) {
        return;
    }
    if (--updateCount_ == 0) {
        SetupComPort();
    }
}

void TCustomComPort::ShowSetupDialog() {
    if (SetupDialogHook) {
        SetupDialogHook(*this);
    }
}

// --- open and close ---

void TCustomComPort::CreateHandle() {
    auto device = core_->factory ? core_->factory() : CreateSystemSerialDevice();
    if (!device) {
        throw EComPort(CError_OpenFailed);
    }
    if (int err = device->Open(port_)) {
        throw EComPort(CError_OpenFailed, err, device->Classify(err));
    }
    core_->device = std::move(device);
}

void TCustomComPort::DestroyHandle() {
    core_->watcher.reset();
    if (core_->device) {
        core_->device->Close();
        core_->device.reset();
    }
    core_->rx.Clear();
    core_->lineErrors.store(0);
    core_->txPending.store(false);
}

void TCustomComPort::Open() {
    if (connected_ || designing_) {
        return;
    }
    DoBeforeOpen();
    CreateHandle();
    connected_ = true;
    core_->watcher = std::make_unique<TLineWatcher>(*core_->device, core_->rx, core_->lineErrors,
                                                    core_->txPending, core_->ownerReads);
    core_->watcher->SetSettings(RxSettingsOf(*this));
    lineInForce_.known = false;
    try {
        SetupComPort();
    } catch (...) {
        // Any setup failure leaves the port closed; the caller still gets the exception.
        DestroyHandle();
        connected_ = false;
        lineInForce_.known = false;
        throw;
    }
    ++core_->generation;
    threadCreated_ = false;
    if (!events_.Empty()) {
        core_->threadReads.store(true);
        auto slot = std::make_shared<TDeliverySlot>();
        slot->port = this;
        core_->slot = slot;
        TMainThreadDispatcher* dispatcher =
            dispatcher_ ? dispatcher_ : TMainThreadDispatcher::Default();
        eventThread_ = std::make_unique<TComThread>(*this, slot, *core_->watcher, dispatcher,
                                                    syncMethod_, events_, core_->generation);
        threadCreated_ = true;
    }
    NotifyLinks(leConn, true);
    DoAfterOpen();
    ReportSignalsAtOpen();
}

void TCustomComPort::ReportSignalsAtOpen() {
    bool s = Signals().Contains(csCTS);
    NotifyLinks(leCTS, s);
    DoCTSChange(s);
    s = Signals().Contains(csDSR);
    NotifyLinks(leDSR, s);
    DoDSRChange(s);
    s = Signals().Contains(csRLSD);
    NotifyLinks(leRLSD, s);
    DoRLSDChange(s);
}

void TCustomComPort::StopThread() {
    if (!eventThread_) {
        return;
    }
    std::shared_ptr<TDeliverySlot> slot = core_->slot;
    bool serve = false;
    TComEvents events;
    uint64_t generation = 0;
    {
        std::lock_guard lock(slot->mutex);
        slot->stop = true;
        if (slot->pending && !slot->running) {
            // The thread handed this over before the stop: run it here, the event loop
            // may never come back to it.
            slot->pending = false;
            slot->running = true;
            serve = true;
            events = slot->events;
            generation = slot->generation;
        }
        slot->messages.clear();
    }
    slot->Signal();
    if (serve) {
        try {
            Deliver(events, generation);
        } catch (...) {
            // Served inside Close, whose caller did not ask for the handler's failure.
            ReportHandlerException(std::current_exception());
        }
        std::lock_guard lock(slot->mutex);
        slot->running = false;
        slot->done = true;
    }
    if (!eventThread_) {
        return;  // a handler closed the port meanwhile
    }
    eventThread_->Stop();
    if (core_->threadId.load() == std::this_thread::get_id()) {
        // Closed from a handler on the event thread itself (smNone): it ends on return.
        eventThread_.release()->Join();
        return;
    }
    eventThread_.reset();
    core_->threadReads.store(false);
}

void TCustomComPort::Close() {
    if (!connected_ || designing_) {
        return;
    }
    NotifyLinks(leCTS, false);
    NotifyLinks(leDSR, false);
    NotifyLinks(leRLSD, false);
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
    DoBeforeClose();
    std::exception_ptr purgeError;
    try {
        AbortAllAsync();
    } catch (...) {
        // Closing goes on; the purge failure is raised once the port is closed.
        purgeError = std::current_exception();
    }
    if (threadCreated_) {
        StopThread();
        threadCreated_ = false;
        // A handler served during the stop may have closed the port already.
        if (!connected_) {
            return;
        }
    }
    DestroyHandle();
    connected_ = false;
    lineInForce_.known = false;
    NotifyLinks(leConn, false);
    DoAfterClose();
    if (purgeError) {
        std::rethrow_exception(purgeError);
    }
}

void TCustomComPort::CloseAfterRefusal() {
    if (core_->threadReads.load() && core_->threadId.load() == std::this_thread::get_id()) {
        // The event thread cannot wait for itself; the owner sees the failure anyway.
        return;
    }
    Close();
}

// --- line control ---

void TCustomComPort::SetDTR(bool state) {
    if (!connected_ || !core_->device) {
        return;
    }
    const int err = core_->device->SetDTR(state);
    if (core_->device->Classify(err) == TDeviceFault::Gone) {
        CloseAfterRefusal();
    }
}

void TCustomComPort::SetRTS(bool state) {
    if (!connected_ || !core_->device) {
        return;
    }
    const int err = core_->device->SetRTS(state);
    if (core_->device->Classify(err) == TDeviceFault::Gone) {
        CloseAfterRefusal();
    }
}

void TCustomComPort::SetBreak(bool state) {
    if (!connected_ || !core_->device) {
        throw EComPort(CError_EscapeComFailed);
    }
    if (int err = core_->device->SetBreak(state)) {
        throw EComPort(CError_EscapeComFailed, err);
    }
}

void TCustomComPort::SetXonXoff(bool state) {
    if (!connected_ || !core_->device) {
        throw EComPort(CError_EscapeComFailed);
    }
    if (int err = core_->device->SetXonXoff(state)) {
        throw EComPort(CError_EscapeComFailed, err);
    }
}

// --- line status ---

uint32_t TCustomComPort::TakeLineErrors() {
    if (!connected_ || !core_->device) {
        throw EComPort(CError_ClearComFailed);
    }
    // Without an event thread reading, nobody else reads the device. An owner that reads
    // for itself drained it just before it delivered what the queue holds.
    const bool ownerHasInput = core_->ownerReads.load() && core_->rx.Size() > 0;
    if (!core_->ThreadDrains() && core_->watcher && !ownerHasInput) {
        core_->watcher->Drain();
    }
    return core_->lineErrors.exchange(0);
}

int TCustomComPort::InputCount() {
    TakeLineErrors();
    return static_cast<int>(std::min<std::size_t>(core_->rx.Size(), 0x7FFFFFFF));
}

int TCustomComPort::OutputCount() {
    TakeLineErrors();
    int queued = 0;
    int err = core_->device->OutputQueue(queued);
    const TDeviceFault fault = core_->device->Classify(err);
    if (fault != TDeviceFault::None && fault != TDeviceFault::Unsupported) {
        throw EComPort(CError_ClearComFailed, err);
    }
    std::lock_guard lock(core_->writeMutex);
    for (const TAsync* a : core_->writes) {
        queued += a->Size - a->Transferred;
    }
    return queued;
}

TComStateFlags TCustomComPort::StateFlags() {
    TakeLineErrors();
    // termios reports none of these holds.
    return TComStateFlags();
}

TComErrors TCustomComPort::LastErrors() {
    return ErrorWordToErrors(TakeLineErrors(), parity_.Check());
}

TComSignals TCustomComPort::Signals() {
    if (!connected_ || !core_->device) {
        throw EComPort(CError_ModemStatFailed);
    }
    uint32_t status = 0;
    int err = core_->device->GetModemStatus(status);
    // A line without modem wires (a pseudo-terminal) has no signals.
    if (core_->device->Classify(err) == TDeviceFault::Unsupported) {
        return TComSignals();
    }
    if (err != 0) {
        throw EComPort(CError_ModemStatFailed, err);
    }
    return ModemStatusToSignals(status);
}

void TCustomComPort::ClearBuffer(bool input, bool output) {
    if (!connected_ || !core_->device) {
        throw EComPort(CError_PurgeFailed);
    }
    // One step with respect to the event thread's reads, so no byte read before the purge
    // lands in the queue after it.
    const int err =
        core_->watcher ? core_->watcher->Purge(input, output) : core_->device->Flush(input, output);
    if (err != 0) {
        throw EComPort(CError_PurgeFailed, err);
    }
}
