// How the event thread reaches the main (GUI) thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

// The engine keeps a pending delivery itself; a dispatcher only arranges for serve() to be
// called soon on the main thread. Wake is called from the event thread and must be
// thread-safe. A serve() that arrives late (after Close) does nothing, so dropping or running
// it late is always safe.
class TMainThreadDispatcher {
  public:
    virtual ~TMainThreadDispatcher() = default;
    virtual void Wake(std::function<void()> serve) = 0;

    // Used by ports that have no dispatcher of their own (nullptr: none).
    static void SetDefault(TMainThreadDispatcher* dispatcher);
    static TMainThreadDispatcher* Default();
};

// Qt-free dispatcher: a queue that the owning thread pumps (tests, console tools).
class TQueueDispatcher : public TMainThreadDispatcher {
  public:
    void Wake(std::function<void()> serve) override;

    // Runs everything queued now; returns how many ran.
    int Pump();
    // Pumps until pred() is true or timeoutMs passed; returns pred().
    bool PumpUntil(const std::function<bool()>& pred, int timeoutMs);
    std::size_t Pending() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
};
