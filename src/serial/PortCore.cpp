#include "serial/PortCore.h"

#include <algorithm>
#include <cstring>

namespace zenta::detail {

// --- TRxQueue ---

std::size_t TRxQueue::Size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

void TRxQueue::CopyOut(char* dst, std::size_t count) const {
    const std::size_t first = std::min(count, buf_.size() - head_);
    std::memcpy(dst, buf_.data() + head_, first);
    std::memcpy(dst + first, buf_.data(), count - first);
}

std::size_t TRxQueue::Take(char* dst, std::size_t count) {
    std::lock_guard lock(mutex_);
    const std::size_t n = std::min(count, size_);
    if (n == 0) {
        return 0;
    }
    CopyOut(dst, n);
    size_ -= n;
    head_ = size_ == 0 ? 0 : (head_ + n) % buf_.size();
    return n;
}

std::size_t TRxQueue::Append(const char* src, std::size_t count) {
    std::lock_guard lock(mutex_);
    if (count == 0) {
        return size_;
    }
    if (size_ + count > buf_.size()) {
        // Half again what is needed, in whole 64 KiB steps: a flood that fills the queue to
        // its cap grows it a few times, and never holds two large rings for long.
        constexpr std::size_t kStep = 64 * 1024;
        const std::size_t need = size_ + count;
        std::vector<char> grown((need + need / 2 + kStep - 1) / kStep * kStep);
        if (size_ > 0) {
            CopyOut(grown.data(), size_);
        }
        buf_.swap(grown);
        head_ = 0;
    }
    const std::size_t tail = (head_ + size_) % buf_.size();
    const std::size_t first = std::min(count, buf_.size() - tail);
    std::memcpy(buf_.data() + tail, src, first);
    std::memcpy(buf_.data(), src + first, count - first);
    size_ += count;
    return size_;
}

void TRxQueue::Clear() {
    std::lock_guard lock(mutex_);
    buf_.clear();
    buf_.shrink_to_fit();
    head_ = 0;
    size_ = 0;
}

// --- TLineWatcher ---

namespace {
constexpr std::size_t kChunk = 64 * 1024;
// Enough per wake-up to keep deliveries flowing under a steady stream.
constexpr std::size_t kDrainBudget = 4u << 20;
constexpr int kTickMs = 20;
// How long the watcher keeps its tick after output drained.
constexpr int64_t kTxQuietMs = 200;
}  // namespace

TLineWatcher::TLineWatcher(ISerialDevice& device, TRxQueue& rx, std::atomic<uint32_t>& lineErrors,
                           std::atomic<bool>& txPending, const std::atomic<bool>& ownerReads)
    : device_(device),
      rx_(rx),
      lineErrors_(lineErrors),
      txPending_(txPending),
      ownerReads_(ownerReads),
      chunk_(kChunk) {
    modemLines_ = device_.GetModemStatus(modem_) == 0;
    counters_ = device_.Counters(lastCounters_) == 0;
}

void TLineWatcher::SetSettings(const TRxSettings& s) {
    std::lock_guard lock(settingsMutex_);
    settings_ = s;
}

void TLineWatcher::MarkLost(int err) {
    if (lost_.exchange(true)) {
        return;
    }
    lostError_.store(err);
}

TComEvents TLineWatcher::Drain() {
    std::size_t read = 0;
    return Drain(read);
}

TComEvents TLineWatcher::Drain(std::size_t& read) {
    TComEvents ev;
    TRxSettings s;
    {
        std::lock_guard lock(settingsMutex_);
        s = settings_;
    }
    read = 0;
    while (!lost_.load() && read < kDrainBudget && rx_.Size() < kQueueCap) {
        std::lock_guard readLock(readMutex_);
        const long n = device_.Read(chunk_.data(), chunk_.size());
        if (n == 0) {
            MarkLost(-1);  // end of file: the other side hung up
            break;
        }
        if (n < 0) {
            const int err = static_cast<int>(-n);
            if (device_.Classify(err) == TDeviceFault::Gone) {
                MarkLost(err);
            }
            break;
        }
        read += static_cast<std::size_t>(n);
        // A short read took all the device held: another read would only say so.
        const bool emptied = static_cast<std::size_t>(n) < chunk_.size();
        char* begin = chunk_.data();
        char* end = begin + n;
        if (std::find(begin, end, s.eventChar) != end) {
            ev.Include(evRxFlag);
        }
        if (s.discardNull) {
            end = std::remove(begin, end, '\0');
        }
        if (end != begin) {
            const std::size_t added = static_cast<std::size_t>(end - begin);
            const std::size_t after = rx_.Append(begin, added);
            ev.Include(evRxChar);
            if (s.fullMark > 0 && after >= s.fullMark && after - added < s.fullMark) {
                ev.Include(evRx80Full);
            }
        }
        if (emptied) {
            break;
        }
    }
    if (lost_.load() && !lostReported_.exchange(true)) {
        // Reported once; afterwards the device is no longer polled.
        lossUnreported_.store(true);
        lineErrors_.fetch_or(CE_IOE);
        ev.Include(evError);
    }
    return ev;
}

TComEvents TLineWatcher::Poll() {
    TComEvents ev;
    if (lost_.load()) {
        return ev;
    }
    if (modemLines_) {
        uint32_t s = 0;
        if (device_.GetModemStatus(s) == 0) {
            const uint32_t diff = s ^ modem_;
            if (diff & MS_CTS_ON) {
                ev.Include(evCTS);
            }
            if (diff & MS_DSR_ON) {
                ev.Include(evDSR);
            }
            if (diff & MS_RLSD_ON) {
                ev.Include(evRLSD);
            }
            if ((diff & MS_RING_ON) && (s & MS_RING_ON)) {
                ev.Include(evRing);
            }
            modem_ = s;
        }
    }
    if (counters_) {
        TLineCounters c;
        if (device_.Counters(c) == 0) {
            uint32_t bits = 0;
            if (c.frame != lastCounters_.frame) {
                bits |= CE_FRAME;
            }
            if (c.parity != lastCounters_.parity) {
                bits |= CE_RXPARITY;
            }
            if (c.overrun != lastCounters_.overrun) {
                bits |= CE_OVERRUN;
            }
            if (c.bufOverrun != lastCounters_.bufOverrun) {
                bits |= CE_RXOVER;
            }
            if (bits) {
                ev.Include(evError);
            }
            if (c.brk != lastCounters_.brk) {
                bits |= CE_BREAK;
                ev.Include(evBreak);
            }
            if (bits) {
                lineErrors_.fetch_or(bits);
            }
            lastCounters_ = c;
        }
    }
    if (txPending_.load()) {
        int queued = 0;
        if (device_.OutputQueue(queued) != 0 || queued == 0) {
            txPending_.store(false);
            lastTxEmptyMs_ = MonotonicMs();
            ev.Include(evTxEmpty);
        }
    }
    return ev;
}

int TLineWatcher::HoldRoomMs(int32_t bitRate) {
    // Seven bits a byte is the shortest frame (5 data bits, a start and a stop bit).
    const int64_t bytesPerSecond = std::max<int64_t>(bitRate, 1) / 7 + 1;
    return static_cast<int>(std::clamp<int64_t>(kHoldRoom * 1000 / bytesPerSecond, 1, 1000));
}

TComEvents TLineWatcher::Wait(const TWakeEvent* wake, int timeoutMs, bool holdInput) {
    // A lost device is not watched any more, so the thread sleeps until it is stopped.
    bool watchInput =
        !lost_.load() && !ownerReads_.load() && rx_.Size() < kQueueCap && device_.IsOpen();
    int timeout = timeoutMs;
    // A source that filled the driver within a few milliseconds is read as it comes.
    const bool held = watchInput && holdInput && timeoutMs > 0 && heldCapMs_ >= kHeldMinMs;
    if (held) {
        int32_t bitRate = 0;
        {
            std::lock_guard lock(settingsMutex_);
            bitRate = settings_.bitRate;
        }
        timeout = std::min({timeout, HoldRoomMs(bitRate), heldCapMs_});
        watchInput = false;
    }
    const int64_t waitStart = held ? MonotonicMs() : 0;
    const bool recentTx = lastTxEmptyMs_ >= 0 && MonotonicMs() - lastTxEmptyMs_ < kTxQuietMs;
    const bool tick = !lost_.load() && (modemLines_ || counters_ || recentTx);
    if (tick) {
        timeout = timeout < 0 ? kTickMs : std::min(timeout, kTickMs);
    }
    // Announced before pending output is checked, so that a writer either sees the
    // announcement (and wakes the watcher) or its output is seen here.
    untimed_.store(timeout < 0);
    if (timeout < 0 && !lost_.load() && txPending_.load()) {
        timeout = kTickMs;
        untimed_.store(false);
    }
    const TWaitResult r = device_.Wait(wake, watchInput, false, timeout);
    untimed_.store(false);

    TComEvents ev;
    if (held) {
        // A tty read stops at its line buffer (4 KiB), short of what the driver holds:
        // read until nothing is left. A hang-up shows in the reads as in the wait.
        std::size_t total = 0;
        std::size_t read = 0;
        do {
            ev |= Drain(read);
            total += read;
        } while (read > 0 && total < kDrainBudget && !lost_.load());
        // The next held wait lasts as long as three quarters of the room take to fill at
        // this rate. A wait that brought the whole room may have found the driver full
        // (a pseudo-terminal keeps 20 KiB): the rate may be far higher, so it shrinks
        // fourfold.
        const int64_t waited = std::max<int64_t>(MonotonicMs() - waitStart, 1);
        const int64_t cap = total >= static_cast<std::size_t>(kHoldRoom)
                                ? waited / 4
                                : waited * (kHoldRoom * 3 / 4) /
                                      static_cast<int64_t>(std::max<std::size_t>(total, 1));
        heldCapMs_ = static_cast<int>(std::clamp<int64_t>(cap, 1, 1000));
    } else if (watchInput) {
        std::size_t read = 0;
        ev = DrainAfter(r, read);
        // Small arrivals again: held waits are worth trying again.
        if (holdInput && heldCapMs_ < kHeldMinMs && read > 0 && read < kHoldRoom / 8) {
            heldCapMs_ *= 2;
        }
    }
    ev |= Poll();
    return ev;
}

TComEvents TLineWatcher::WaitInput(int timeoutMs) {
    if (lost_.load() || !device_.IsOpen()) {
        return {};
    }
    std::size_t read = 0;
    return DrainAfter(device_.Wait(nullptr, true, false, timeoutMs), read);
}

TComEvents TLineWatcher::DrainAfter(const TWaitResult& r, std::size_t& read) {
    TComEvents ev;
    read = 0;
    if (r.input || r.hangup) {
        ev = Drain(read);
        if (r.hangup && !ev.Contains(evRxChar) && !lost_.load()) {
            MarkLost(r.hangupError);
            std::size_t more = 0;
            ev |= Drain(more);
            read += more;
        }
    }
    return ev;
}

int TLineWatcher::Purge(bool input, bool output) {
    std::lock_guard readLock(readMutex_);
    const int err = device_.Flush(input, output);
    if (input) {
        rx_.Clear();
    }
    return err;
}

}  // namespace zenta::detail
