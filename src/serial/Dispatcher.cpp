#include "serial/Dispatcher.h"

#include <atomic>
#include <chrono>

namespace {
std::atomic<TMainThreadDispatcher*> g_default{nullptr};
}

void TMainThreadDispatcher::SetDefault(TMainThreadDispatcher* dispatcher) {
    g_default.store(dispatcher);
}

TMainThreadDispatcher* TMainThreadDispatcher::Default() {
    return g_default.load();
}

void TQueueDispatcher::Wake(std::function<void()> serve) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(serve));
    }
    cv_.notify_all();
}

int TQueueDispatcher::Pump() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
    }
    for (auto& f : batch) {
        f();
    }
    return static_cast<int>(batch.size());
}

bool TQueueDispatcher::PumpUntil(const std::function<bool()>& pred, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Pump();
        if (pred()) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        // Short slices: pred may also turn true by work done on other threads.
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(5), [this] { return !queue_.empty(); });
    }
}

std::size_t TQueueDispatcher::Pending() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}
