#include <algorithm>
#include <cstring>

#include "serial/CPort.h"
#include "serial/PortCore.h"

using zenta::MonotonicMs;
using zenta::TDeviceFault;
using zenta::detail::TLineWatcher;

namespace {

// Request errors the engine makes itself; no system call failed.
constexpr int kCancelled = -1;
constexpr int kNotOpen = -1;

void Complete(TAsync* a, int error) {
    a->Completed = true;
    a->Error = error;
    a->Port = nullptr;
}

// A write of n bytes may take WriteTotalMultiplier * n + WriteTotalConstant ms; both zero or
// either at its maximum means no limit.
int64_t WriteDeadline(const TComTimeouts& t, int count) {
    const uint32_t mult = static_cast<uint32_t>(t.WriteTotalMultiplier());
    const uint32_t constant = static_cast<uint32_t>(t.WriteTotalConstant());
    if ((mult == 0 && constant == 0) || mult == 0xFFFFFFFFu || constant == 0xFFFFFFFFu) {
        return -1;
    }
    const uint64_t total = static_cast<uint64_t>(mult) * static_cast<uint64_t>(count) + constant;
    return MonotonicMs() + static_cast<int64_t>(std::min<uint64_t>(total, uint64_t(1) << 40));
}

class TAsyncGuard {
  public:
    TAsyncGuard() { InitAsync(async_); }
    ~TAsyncGuard() { DoneAsync(async_); }
    PAsync& Get() { return async_; }

  private:
    PAsync async_ = nullptr;
};

}  // namespace

void InitAsync(PAsync& async) {
    async = new TAsync();
}

void DoneAsync(PAsync& async) {
    if (!async) {
        return;
    }
    if (async->Port) {
        async->Port->ForgetAsync(async);
    }
    delete[] async->Data;
    delete async;
    async = nullptr;
}

void TCustomComPort::ForgetAsync(TAsync* async) {
    std::lock_guard lock(core_->writeMutex);
    std::erase(core_->writes, async);
    if (!async->Completed) {
        Complete(async, kCancelled);
    }
    async->Port = nullptr;
}

void TCustomComPort::ProgressWrites(bool block, TAsync* until) {
    bool wrote = false;
    for (;;) {
        {
            std::lock_guard lock(core_->writeMutex);
            auto& q = core_->writes;
            while (!q.empty()) {
                TAsync* a = q.front();
                if (!core_->device) {
                    Complete(a, kNotOpen);
                    q.pop_front();
                    continue;
                }
                if (a->DeadlineMs >= 0 && MonotonicMs() >= a->DeadlineMs) {
                    // Cut short by the time limit: no failure, the count so far stands.
                    Complete(a, 0);
                    q.pop_front();
                    continue;
                }
                const long n = core_->device->Write(
                    a->Data + a->Transferred, static_cast<std::size_t>(a->Size - a->Transferred));
                if (n > 0) {
                    wrote = true;
                    a->Transferred += static_cast<int32_t>(n);
                    if (a->Transferred >= a->Size) {
                        Complete(a, 0);
                        q.pop_front();
                    }
                    continue;
                }
                if (n < 0 &&
                    core_->device->Classify(static_cast<int>(-n)) == TDeviceFault::TryAgain) {
                    break;
                }
                // A write that moves nothing without an error makes no progress either.
                Complete(a, n < 0 ? static_cast<int>(-n) : kNotOpen);
                q.pop_front();
            }
        }
        if (!block || !until || until->Completed) {
            break;
        }
        if (!core_->device || !core_->device->IsOpen()) {
            continue;  // the loop completes the requests as failed
        }
        // Short slices so the time limit is noticed.
        core_->device->Wait(nullptr, false, true, 50);
    }
    if (wrote) {
        core_->txPending.store(true);
        if (core_->slot && core_->watcher && core_->watcher->SleepsUntimed()) {
            core_->slot->Signal();
        }
    }
}

int TCustomComPort::WriteAsync(const void* buffer, int count, PAsync& async) {
    if (!async) {
        throw EComPort(CError_InvalidAsync);
    }
    if (count < 0 || (!buffer && count > 0)) {
        throw EComPort(CError_WriteFailed);
    }
    if (async->Port) {
        ForgetAsync(async);
    }
    async->Kind = okWrite;
    delete[] async->Data;
    async->Data = nullptr;
    async->Size = 0;
    if (count > 0) {
        async->Data = new char[static_cast<std::size_t>(count)];
        std::memcpy(async->Data, buffer, static_cast<std::size_t>(count));
        async->Size = count;
    }
    async->Issued = true;
    async->Completed = false;
    async->Error = 0;
    async->Transferred = 0;
    async->DeadlineMs = WriteDeadline(timeouts_, count);

    bool refused = false;
    if (!connected_ || !core_->device) {
        Complete(async, kNotOpen);
        refused = true;
    } else if (count == 0) {
        Complete(async, 0);
    } else {
        {
            std::lock_guard lock(core_->writeMutex);
            core_->writes.push_back(async);
            async->Port = this;
        }
        ProgressWrites(false, nullptr);
        refused = async->Completed && async->Error != 0;
    }
    // A device that refuses the request is closed; the wait then reports the failure.
    if (refused && connected_) {
        CloseAfterRefusal();
    }
    NotifyLinks(leTx, true);
    return async->Completed && async->Error == 0 ? async->Transferred : 0;
}

int TCustomComPort::WriteStrAsync(const std::string& text, PAsync& async) {
    if (text.empty()) {
        return 0;
    }
    return WriteAsync(text.data(), static_cast<int>(text.size()), async);
}

int TCustomComPort::ReadAsync(void* buffer, int count, PAsync& async) {
    if (!async) {
        throw EComPort(CError_InvalidAsync);
    }
    async->Kind = okRead;
    async->Issued = true;
    async->Completed = true;
    async->Error = 0;
    async->Transferred = 0;
    if (!connected_ || !core_->device || !core_->watcher) {
        throw EComPort(CError_ReadFailed);
    }
    if (count < 0 || (!buffer && count > 0)) {
        throw EComPort(CError_ReadFailed);
    }
    const bool threadReads = core_->ThreadDrains();
    const bool ownerHasInput =
        core_->ownerReads.load() && core_->rx.Size() >= static_cast<std::size_t>(count);
    if (!threadReads && !ownerHasInput) {
        core_->watcher->Drain();
    }
    const std::size_t before = core_->rx.Size();
    const std::size_t n =
        core_->rx.Take(static_cast<char*>(buffer), static_cast<std::size_t>(count));
    if (n == 0 && count > 0 && core_->watcher->Lost()) {
        throw EComPort(CError_ReadFailed, core_->watcher->LostError());
    }
    // The thread stops reading at the queue cap; tell it there is room again.
    if (threadReads && before >= TLineWatcher::kQueueCap && core_->slot) {
        core_->slot->Signal();
    }
    async->Transferred = static_cast<int32_t>(n);
    return static_cast<int>(n);
}

int TCustomComPort::ReadStrAsync(std::string& text, int count, PAsync& async) {
    text.resize(static_cast<std::size_t>(std::max(count, 0)));
    if (count <= 0) {
        return 0;
    }
    return ReadAsync(text.data(), count, async);
}

int TCustomComPort::WaitForAsync(PAsync& async) {
    if (!async) {
        throw EComPort(CError_InvalidAsync);
    }
    if (async->Kind == okWrite && !async->Completed) {
        ProgressWrites(true, async);
    }
    if (async->Error != 0) {
        throw EComPort(async->Kind == okWrite ? CError_WriteFailed : CError_ReadFailed,
                       async->Error);
    }
    if (async->Kind == okRead) {
        if (core_->rx.Size() == 0) {
            NotifyLinks(leRx, false);
        }
    } else if (async->Data && async->Transferred > 0) {
        NotifyTxBuf(async->Data, async->Transferred);
    }
    return async->Transferred;
}

bool TCustomComPort::IsAsyncCompleted(PAsync async) {
    if (!async) {
        throw EComPort(CError_InvalidAsync);
    }
    if (async->Kind == okWrite && !async->Completed) {
        ProgressWrites(false, nullptr);
    }
    if (!async->Completed) {
        return false;
    }
    if (async->Error != 0) {
        throw EComPort(CError_AsyncCheck, async->Error);
    }
    return true;
}

void TCustomComPort::AbortAllAsync() {
    if (!connected_ || !core_->device) {
        throw EComPort(CError_PurgeFailed);
    }
    std::lock_guard lock(core_->writeMutex);
    for (TAsync* a : core_->writes) {
        Complete(a, kCancelled);
    }
    core_->writes.clear();
}

void TCustomComPort::TransmitChar(char ch) {
    if (!connected_ || !core_->device) {
        throw EComPort(CError_TransmitFailed);
    }
    if (int err = core_->device->TransmitChar(ch)) {
        throw EComPort(CError_TransmitFailed, err);
    }
}

int TCustomComPort::Read(void* buffer, int count) {
    TAsyncGuard guard;
    ReadAsync(buffer, count, guard.Get());
    return WaitForAsync(guard.Get());
}

int TCustomComPort::Write(const void* buffer, int count) {
    TAsyncGuard guard;
    WriteAsync(buffer, count, guard.Get());
    return WaitForAsync(guard.Get());
}

int TCustomComPort::ReadStr(std::string& text, int count) {
    if (count <= 0) {
        text.clear();
        return 0;
    }
    text.resize(static_cast<std::size_t>(count));
    int n = 0;
    try {
        n = Read(text.data(), count);
    } catch (...) {
        // The text holds no partial read; the failure goes on to the caller.
        text.clear();
        throw;
    }
    text.resize(static_cast<std::size_t>(n));
    return n;
}

int TCustomComPort::WriteStr(const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    return Write(text.data(), static_cast<int>(text.size()));
}
