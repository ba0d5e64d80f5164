#include "support/LineDevice.h"

#include <cerrno>
#include <chrono>
#include <thread>

namespace zenta::test {

int TLineDevice::GetModemStatus(uint32_t& status) {
    status = state_->modem.load();
    return 0;
}

int TLineDevice::Counters(TLineCounters& counters) {
    counters.frame = state_->frame.load();
    counters.parity = state_->parity.load();
    counters.overrun = state_->overrun.load();
    counters.brk = state_->brk.load();
    counters.bufOverrun = state_->bufOverrun.load();
    return 0;
}

long TLineDevice::Read(void* buf, std::size_t count) {
    ++state_->reads;
    if (state_->holdInput.load()) {
        return -EAGAIN;
    }
    const long n = TPosixSerialDevice::Read(buf, count);
    if (n > 0 && state_->readPauseUs.load() > 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(state_->readPauseUs.load()));
    }
    return n;
}

zenta::TWaitResult TLineDevice::Wait(const zenta::TWakeEvent* wake, bool input, bool output,
                                     int timeoutMs) {
    ++state_->waits;
    return TPosixSerialDevice::Wait(wake, input && !state_->holdInput.load(), output, timeoutMs);
}

}  // namespace zenta::test
