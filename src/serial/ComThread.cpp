#include "serial/PortCore.h"

using zenta::MonotonicMs;
using zenta::detail::TDeliverySlot;
using zenta::detail::TLineWatcher;

namespace {

// Window-sync messages go out in the delivery order.
constexpr uint32_t kWindowOrder[] = {EV_ERR, EV_RXCHAR, EV_TXEMPTY, EV_BREAK, EV_RING,
                                     EV_CTS, EV_DSR,    EV_RXFLAG,  EV_RLSD,  EV_RX80FULL};

}  // namespace

TComThread::TComThread(TCustomComPort& port, std::shared_ptr<TDeliverySlot> slot,
                       TLineWatcher& watcher, TMainThreadDispatcher* dispatcher, TSyncMethod method,
                       TComEvents mask, uint64_t generation)
    : port_(port),
      slot_(std::move(slot)),
      watcher_(watcher),
      dispatcher_(dispatcher),
      method_(method),
      mask_(mask),
      generation_(generation),
      priority_(port.EventThreadPriority()) {
    thread_ = std::thread([this] { Execute(); });
}

TComThread::~TComThread() {
    Stop();
    Join();
}

void TComThread::Stop() {
    {
        std::lock_guard lock(slot_->mutex);
        slot_->stop = true;
    }
    slot_->Signal();
    std::this_thread::yield();
}

void TComThread::Join() {
    if (thread_.joinable() && !OnThisThread()) {
        thread_.join();
    }
}

void TComThread::Execute() {
    port_.core_->threadId.store(std::this_thread::get_id());
    zenta::SetThisThreadPriority(priority_);
    TComEvents collected;
    bool inFlight = false;
    bool clean = true;
    // When received bytes were last handed over; -1: never, so the first goes at once.
    int64_t lastRxHandMs = -1;
    int holdTimeout = -1;
    for (;;) {
        {
            std::lock_guard lock(slot_->mutex);
            if (slot_->stop) {
                break;
            }
        }
        // Keeps draining the device while a delivery waits for the main thread; while
        // received bytes are held back they are read once, when the hold ends.
        const TComEvents seen = watcher_.Wait(&slot_->wake, holdTimeout, holdTimeout > 0);
        holdTimeout = -1;
        slot_->ClearSignal();
        collected |= seen & mask_;
        {
            std::lock_guard lock(slot_->mutex);
            if (slot_->stop) {
                break;
            }
            if (inFlight && method_ == smThreadSync && slot_->done) {
                inFlight = false;
                slot_->done = false;
                if (slot_->failed) {
                    // A handler raised: delivery for this port stops until the next open.
                    clean = false;
                    break;
                }
            } else if (inFlight && method_ == smWindowSync && slot_->messages.empty()) {
                inFlight = false;
            }
            slot_->awaitingDone = inFlight && !collected.Empty();
        }
        if (inFlight || collected.Empty()) {
            continue;
        }
        holdTimeout = RxHoldLeft(collected, lastRxHandMs);
        if (holdTimeout > 0) {
            continue;
        }
        holdTimeout = -1;
        if (collected.Contains(evRxChar)) {
            lastRxHandMs = MonotonicMs();
        }
        const TComEvents events = collected;
        collected = TComEvents();
        if (method_ == smNone) {
            try {
                port_.Deliver(events, generation_);
            } catch (...) {
                // The event thread has no caller: the failure goes to the exception handler.
                port_.ReportHandlerException(std::current_exception());
                clean = false;
                break;
            }
        } else {
            inFlight = Hand(events);
        }
    }
    if (clean && port_.core_->device) {
        // Unread input is dropped at close, as is output still queued in the driver.
        port_.core_->device->Flush(true, true);
    }
    port_.core_->threadReads.store(false);
    alive_.store(false);
}

int TComThread::RxHoldLeft(TComEvents collected, int64_t lastRxHandMs) const {
    const int hold = port_.core_->rxHoldMs.load();
    // The 80 % mark only says that bytes pile up, which a hold lets them do.
    TComEvents others = collected;
    others.Exclude(evRxChar);
    others.Exclude(evRx80Full);
    if (hold <= 0 || lastRxHandMs < 0 || !others.Empty() ||
        port_.core_->rx.Size() >= static_cast<std::size_t>(port_.core_->rxHoldBytes.load())) {
        return 0;
    }
    const int64_t left = lastRxHandMs + hold - MonotonicMs();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool TComThread::Hand(TComEvents events) {
    std::shared_ptr<TDeliverySlot> slot = slot_;
    TMainThreadDispatcher* dispatcher = dispatcher_;
    if (method_ == smThreadSync) {
        {
            std::lock_guard lock(slot->mutex);
            if (slot->stop) {
                return false;
            }
            slot->pending = true;
            slot->done = false;
            slot->failed = false;
            slot->events = events;
            slot->generation = generation_;
        }
        if (dispatcher) {
            dispatcher->Wake([slot] { ServeThreadSync(slot); });
        }
        return true;
    }
    {
        std::lock_guard lock(slot->mutex);
        if (slot->stop) {
            return false;
        }
        const uint32_t mask = EventsToMask(events);
        for (uint32_t flag : kWindowOrder) {
            if (mask & flag) {
                slot->messages.push_back(flag);
            }
        }
        slot->generation = generation_;
    }
    if (dispatcher) {
        dispatcher->Wake([slot] { ServeWindowSync(slot); });
    }
    return true;
}

bool TComThread::ServeThreadSync(const std::shared_ptr<TDeliverySlot>& slot) {
    TComEvents events;
    uint64_t generation;
    TCustomComPort* port;
    {
        std::lock_guard lock(slot->mutex);
        if (!slot->pending || slot->stop) {
            return false;
        }
        slot->pending = false;
        slot->running = true;
        events = slot->events;
        generation = slot->generation;
        port = slot->port;
    }
    bool failed = false;
    try {
        port->Deliver(events, generation);
    } catch (...) {
        // Reported here; the event thread learns only that delivery must stop.
        failed = true;
        port->ReportHandlerException(std::current_exception());
    }
    bool wake;
    {
        std::lock_guard lock(slot->mutex);
        slot->running = false;
        slot->done = true;
        slot->failed = failed;
        wake = slot->awaitingDone;
    }
    if (wake) {
        slot->Signal();
    }
    return true;
}

bool TComThread::ServeWindowSync(const std::shared_ptr<TDeliverySlot>& slot) {
    std::deque<uint32_t> messages;
    uint64_t generation;
    TCustomComPort* port;
    bool wake;
    {
        std::lock_guard lock(slot->mutex);
        if (slot->stop || slot->messages.empty()) {
            return false;
        }
        messages.swap(slot->messages);
        generation = slot->generation;
        port = slot->port;
        wake = slot->awaitingDone;
    }
    // Received: the thread may go on while the handlers run.
    if (wake) {
        slot->Signal();
    }
    for (uint32_t flag : messages) {
        {
            std::lock_guard lock(slot->mutex);
            if (slot->stop) {
                break;
            }
        }
        port->RunWindowEvent(flag, generation);
    }
    return true;
}
