// Engine internals shared by the port, its event thread and its transfer code.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "serial/CPort.h"

namespace zenta::detail {

// Received bytes taken from the device and not yet read by the owner.
// Received bytes between the event thread and their reader: a ring that grows to what is
// waiting (the watcher stops reading at kQueueCap) and keeps its room for the next burst.
// Read bytes are never moved, so a flood costs no copying beyond the ring's growth.
class TRxQueue {
  public:
    std::size_t Size() const;
    std::size_t Take(char* dst, std::size_t count);
    // Returns the size after appending.
    std::size_t Append(const char* src, std::size_t count);
    void Clear();

  private:
    void CopyOut(char* dst, std::size_t count) const;

    mutable std::mutex mutex_;
    std::vector<char> buf_;
    std::size_t head_ = 0;  // first waiting byte
    std::size_t size_ = 0;  // bytes waiting
};

// What reception needs of the settings; copied when they are applied.
struct TRxSettings {
    bool discardNull = false;
    char eventChar = 0;
    std::size_t fullMark = 819;  // 80 % of the input size
    int32_t bitRate = 9600;
};

// Wakes the event thread; also carries the hand-over to the main thread.
struct TDeliverySlot {
    void Signal() { wake.Set(); }
    void ClearSignal() { wake.Reset(); }

    std::mutex mutex;
    TWakeEvent wake;
    bool stop = false;
    TCustomComPort* port = nullptr;
    uint64_t generation = 0;
    // Thread sync: one wake-up waiting to run, or running, on the main thread.
    bool pending = false;
    bool running = false;
    bool done = false;
    bool failed = false;
    // The event thread holds events it can hand over only once the main thread is done:
    // only then does the main thread wake it (a wake-up costs a context switch each time).
    bool awaitingDone = false;
    TComEvents events;
    // Window sync: event flags posted, not yet received by the main thread.
    std::deque<uint32_t> messages;
};

// Watches one open device: drains input into the queue and turns what it sees into events.
// Used by one thread at a time (the event thread, or the caller of WaitForEvent).
class TLineWatcher {
  public:
    TLineWatcher(ISerialDevice& device, TRxQueue& rx, std::atomic<uint32_t>& lineErrors,
                 std::atomic<bool>& txPending, const std::atomic<bool>& ownerReads);

    void SetSettings(const TRxSettings& s);
    // Reads what the device holds now, without waiting. Returns the events it caused.
    TComEvents Drain();
    // The same, telling how many bytes it read.
    TComEvents Drain(std::size_t& read);
    // Waits for the device or wake (or timeoutMs, < 0 none), then drains and checks lines.
    // wake is only watched, never reset. Returns the events seen, all kinds. With
    // holdInput, arrivals do not end the wait: the device is drained once at its end,
    // which comes early enough that the driver's buffer cannot fill at the bit rate.
    TComEvents Wait(const TWakeEvent* wake, int timeoutMs, bool holdInput = false);
    // The owner's side of owner reads: waits for input only, then drains it.
    TComEvents WaitInput(int timeoutMs);
    // Flushes the device and, for input, empties the queue, with no read in between: a
    // byte the reader took from the device before the purge never reaches the queue after.
    // Returns the device's error number.
    int Purge(bool input, bool output);
    bool Lost() const { return lost_.load(); }
    // True once after the loss was reported: the error delivery names the loss even when
    // a query of the line errors took its bit in between.
    bool TakeLossReport() { return lossUnreported_.exchange(false); }
    int LostError() const { return lostError_.load(); }
    // The device is only read while the queue is below this. 16 MiB holds more than a
    // minute of a 2 Mbit/s line; a larger cap only let a flood into a window that is
    // briefly slower than the line cost memory (the queue's buffer briefly holds up to
    // three times its bytes while it grows).
    static constexpr std::size_t kQueueCap = 16u << 20;
    // Bytes a held wait lets pile up in the driver at most (a tty driver keeps well over
    // 64 KiB before it drops any). A device faster than its bit rate says (USB CDC, a
    // pseudo-terminal) loses nothing but is held up while the driver is full: held waits
    // are shortened until each brings about 3/4 of this, and a source that fills it within
    // kHeldMinMs is read as it comes.
    static constexpr int64_t kHoldRoom = 16 * 1024;
    // Held waits shorter than this cost more wake-ups than reading input as it comes.
    static constexpr int kHeldMinMs = 4;
    // How long input may go unread at this bit rate before kHoldRoom bytes wait.
    static int HoldRoomMs(int32_t bitRate);
    // A writer wakes the watcher only when it sleeps without a time limit; otherwise the
    // watcher notices the pending output at its next tick.
    bool SleepsUntimed() const { return untimed_.load(); }

  private:
    TComEvents Poll();
    TComEvents DrainAfter(const TWaitResult& r, std::size_t& read);
    void MarkLost(int err);

    ISerialDevice& device_;
    TRxQueue& rx_;
    std::atomic<uint32_t>& lineErrors_;
    std::atomic<bool>& txPending_;
    const std::atomic<bool>& ownerReads_;
    // Held from a device read to the append of its bytes, and across a purge.
    std::mutex readMutex_;
    std::mutex settingsMutex_;
    TRxSettings settings_;
    std::atomic<bool> lost_{false};
    std::atomic<int> lostError_{0};
    // Drain runs on the owner too while owner reads switch on.
    std::atomic<bool> lostReported_{false};
    std::atomic<bool> lossUnreported_{false};
    std::atomic<bool> untimed_{false};
    // When output was last reported drained; the watcher keeps ticking for a while after,
    // since exchanges of short frames write again soon.
    int64_t lastTxEmptyMs_ = -1;
    bool modemLines_ = false;
    uint32_t modem_ = 0;
    bool counters_ = false;
    TLineCounters lastCounters_;
    std::vector<char> chunk_;
    // Longest held wait for the rate last seen.
    int heldCapMs_ = 1000;
};

}  // namespace zenta::detail

struct TCustomComPort::TCore {
    TSerialDeviceFactory factory;
    std::unique_ptr<ISerialDevice> device;
    // Notes of a device that did not open, kept for TakeDeviceNotes.
    std::vector<std::string> notes;
    zenta::detail::TRxQueue rx;
    std::atomic<uint32_t> lineErrors{0};
    std::atomic<bool> txPending{false};
    // The event thread reads the device while this is set and ownerReads is not; others
    // then only use the queue.
    std::atomic<bool> threadReads{false};
    std::atomic<bool> ownerReads{false};
    std::atomic<int> rxHoldMs{0};
    std::atomic<int> rxHoldBytes{TCustomComPort::kRxHoldBytes};
    bool ThreadDrains() const { return threadReads.load() && !ownerReads.load(); }
    std::atomic<std::thread::id> threadId{};
    std::unique_ptr<zenta::detail::TLineWatcher> watcher;
    std::shared_ptr<zenta::detail::TDeliverySlot> slot;
    uint64_t generation = 0;
    // Write requests in issue order; the head is being written.
    std::mutex writeMutex;
    std::deque<TAsync*> writes;
};

// The event thread of an open port.
class TComThread {
  public:
    TComThread(TCustomComPort& port, std::shared_ptr<zenta::detail::TDeliverySlot> slot,
               zenta::detail::TLineWatcher& watcher, TMainThreadDispatcher* dispatcher,
               TSyncMethod method, TComEvents mask, uint64_t generation);
    ~TComThread();

    // Signals the stop; the loop ends at its next wake-up.
    void Stop();
    void Join();
    bool Alive() const { return alive_.load(); }
    bool OnThisThread() const { return std::this_thread::get_id() == thread_.get_id(); }

    // Main-thread side of a hand-over; false when there was nothing to serve.
    static bool ServeThreadSync(const std::shared_ptr<zenta::detail::TDeliverySlot>& slot);
    static bool ServeWindowSync(const std::shared_ptr<zenta::detail::TDeliverySlot>& slot);

  private:
    void Execute();
    bool Hand(TComEvents events);
    // How long received bytes alone are still held back (0: hand them over now).
    int RxHoldLeft(TComEvents collected, int64_t lastRxHandMs) const;

    TCustomComPort& port_;
    std::shared_ptr<zenta::detail::TDeliverySlot> slot_;
    zenta::detail::TLineWatcher& watcher_;
    TMainThreadDispatcher* dispatcher_;
    TSyncMethod method_;
    TComEvents mask_;
    uint64_t generation_;
    TThreadPriority priority_;
    std::atomic<bool> alive_{true};
    std::thread thread_;
};
